// Support for the GUI tests: one QApplication for the whole test program (gtest_main owns
// main()), settings and data folders redirected to a temporary folder, and small helpers.
#pragma once

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <cstdlib>
#include <functional>

#include "view/zarnix4_view_qt.h"

namespace gui_test {

// The temporary home of the test program: settings, data and runtime folders live in it.
inline QTemporaryDir& Home()
{
    static QTemporaryDir home;
    return home;
}

inline QApplication& App()
{
    static int argc = 1;
    static char name[] = "test_gui";
    static char* argv[] = {name, nullptr};
    static QApplication* app = [] {
        const QString home = Home().path();
        QDir(home).mkpath(QStringLiteral("config"));
        QDir(home).mkpath(QStringLiteral("data"));
        QDir(home).mkpath(QStringLiteral("runtime"));
        QFile::setPermissions(QDir(home).filePath(QStringLiteral("runtime")),
                              QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        setenv("XDG_CONFIG_HOME", QDir(home).filePath(QStringLiteral("config")).toLocal8Bit().constData(), 1);
        setenv("XDG_DATA_HOME", QDir(home).filePath(QStringLiteral("data")).toLocal8Bit().constData(), 1);
        setenv("XDG_RUNTIME_DIR", QDir(home).filePath(QStringLiteral("runtime")).toLocal8Bit().constData(), 1);
        if (std::getenv("QT_QPA_PLATFORM") == nullptr)
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
        // Another test of the program may have made the application object already.
        auto* created = qobject_cast<QApplication*>(QCoreApplication::instance());
        if (created == nullptr)
            created = new QApplication(argc, argv);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QDir(home).filePath(QStringLiteral("config")));
        // The tests look at the picture right after an event: views draw it in the paint.
        // Tests of background drawing switch it on for their view.
        CZarnix4View::SetBackgroundDrawingDefault(false);
        return created;
    }();
    return *app;
}

// Runs `action` on the next modal dialog that opens (message box, file dialog), once it is up.
inline void OnNextModal(std::function<void(QWidget*)> action)
{
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, action]() {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            timer->stop();
            timer->deleteLater();
            action(modal);
        }
    });
    timer->start();
}

// Lets events run until `condition` holds or `timeoutMs` have passed; answers the condition.
// (QTest's QTRY_ macros report to QTest's log, not to GoogleTest, so they are not used.)
template <class Condition>
bool WaitFor(Condition condition, int timeoutMs = 5000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QTest::qWait(10);
    }
    return true;
}

// Writes a text file (bytes as given) and answers its path.
inline QString WriteFile(const QString& name, const QByteArray& bytes)
{
    const QString path = QDir(Home().path()).filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
    return path;
}

}  // namespace gui_test
