#include "app/desktop_integration_qt.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QStandardPaths>

#include "app/zarnix4_app_qt.h"

namespace {

QByteArray ResourceBytes(const QString& name)
{
    QFile file(name);
    if (!file.open(QIODevice::ReadOnly))
        return QByteArray();
    return file.readAll();
}

// The icons: sizes in the hicolor theme, for the program and for its documents.
constexpr int kIconSizes[] = {16, 32, 48, 128, 256};

}  // namespace

CDesktopIntegration::CDesktopIntegration(QString dataHome, QString executable)
    : m_dataHome(std::move(dataHome)), m_executable(std::move(executable))
{
    InitZarnixResources();
}

QString CDesktopIntegration::DefaultDataHome()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

QString CDesktopIntegration::QuoteExecArgument(const QString& path)
{
    // Plain paths go as they are; any other is quoted, with the characters that are special
    // inside quotes escaped, and then every backslash doubled for the string value itself.
    static const QString plain = QStringLiteral(
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789/._-+,:@");
    bool isPlain = !path.isEmpty();
    for (QChar c : path) {
        if (!plain.contains(c)) {
            isPlain = false;
            break;
        }
    }
    QString result;
    if (isPlain) {
        result = path;
    } else {
        QString inner;
        for (QChar c : path) {
            if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
                inner += QLatin1Char('\\');
            inner += c;
        }
        result = QLatin1Char('"') + inner + QLatin1Char('"');
        result.replace(QLatin1Char('\\'), QStringLiteral("\\\\"));
    }
    // A percent sign would be taken as a field code.
    result.replace(QLatin1Char('%'), QStringLiteral("%%"));
    return result;
}

QString CDesktopIntegration::DesktopEntry() const
{
    QString entry = QString::fromUtf8(ResourceBytes(QStringLiteral(":/desktop/zarnix4.desktop")));
    // The installed entry starts "zarnix4" from the search path; the user's entry names
    // this very program.
    entry.replace(QStringLiteral("Exec=zarnix4 %f"), QStringLiteral("Exec=%1 %f").arg(QuoteExecArgument(m_executable)));
    return entry;
}

bool CDesktopIntegration::WriteIfChanged(const QString& relativePath, const QByteArray& content)
{
    if (content.isEmpty())
        return false;
    const QString path = QDir(m_dataHome).filePath(relativePath);
    QFile current(path);
    if (current.open(QIODevice::ReadOnly) && current.readAll() == content)
        return false;
    current.close();
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(content) != content.size() || !file.commit())
        return false;
    m_written.append(path);
    return true;
}

QStringList CDesktopIntegration::Update(bool refreshCaches)
{
    m_written.clear();
    if (m_dataHome.isEmpty() || QDir::isRelativePath(m_dataHome))
        return m_written;

    const bool mimeChanged = WriteIfChanged(QStringLiteral("mime/packages/zarnix4.xml"),
                                            ResourceBytes(QStringLiteral(":/desktop/zarnix4-mime.xml")));
    const bool entryChanged = WriteIfChanged(QStringLiteral("applications/zarnix4.desktop"), DesktopEntry().toUtf8());
    // Icon theme folders are read without a cache in the user's data folder; building one
    // there would hide icons added later, so none is built.
    for (int size : kIconSizes) {
        const QString folder = QStringLiteral("icons/hicolor/%1x%1/").arg(size);
        WriteIfChanged(folder + QStringLiteral("apps/zarnix4.png"),
                                       ResourceBytes(QStringLiteral(":/icons/zarnix4-%1.png").arg(size)));
        WriteIfChanged(folder + QStringLiteral("mimetypes/application-x-zarnix.png"),
                                       ResourceBytes(QStringLiteral(":/icons/document-%1.png").arg(size)));
    }
    WriteIfChanged(QStringLiteral("icons/hicolor/scalable/apps/zarnix4.svg"),
                                   ResourceBytes(QStringLiteral(":/icons/zarnix4.svg")));
    WriteIfChanged(QStringLiteral("icons/hicolor/scalable/mimetypes/application-x-zarnix.svg"),
                                   ResourceBytes(QStringLiteral(":/icons/document.svg")));

    if (refreshCaches) {
        // The desktop reads the document types and launchers from caches; the tools that
        // rebuild them are optional, and are started without waiting for them.
        auto refresh = [](const QString& tool, const QStringList& arguments) {
            const QString program = QStandardPaths::findExecutable(tool);
            if (!program.isEmpty())
                QProcess::startDetached(program, arguments);
        };
        if (mimeChanged)
            refresh(QStringLiteral("update-mime-database"), {QDir(m_dataHome).filePath(QStringLiteral("mime"))});
        if (entryChanged)
            refresh(QStringLiteral("update-desktop-database"), {QDir(m_dataHome).filePath(QStringLiteral("applications"))});
    }
    return m_written;
}
