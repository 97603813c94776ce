#include "app/examples_menu_qt.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

QString ExamplesDirectory()
{
    const QDir installed(QCoreApplication::applicationDirPath() + QStringLiteral("/../share/zarnix4/examples"));
    if (installed.exists())
        return installed.absolutePath();
#ifdef ZARNIX_SOURCE_EXAMPLES_DIR
    const QDir source(QStringLiteral(ZARNIX_SOURCE_EXAMPLES_DIR));
    if (source.exists())
        return source.absolutePath();
#endif
    return QString();
}

QStringList ExampleFiles(const QString& directory)
{
    QStringList paths;
    if (directory.isEmpty())
        return paths;
    const QDir dir(directory);
    for (const QString& name : dir.entryList({QStringLiteral("*.zarnix")}, QDir::Files | QDir::Readable, QDir::Name))
        paths << dir.filePath(name);
    return paths;
}

QString ExampleTitle(const QString& path)
{
    QStringList words = QFileInfo(path).completeBaseName().split(QLatin1Char('_'), Qt::SkipEmptyParts);
    for (QString& word : words)
        word[0] = word[0].toUpper();
    return words.join(QLatin1Char(' '));
}
