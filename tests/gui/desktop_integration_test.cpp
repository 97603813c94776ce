// The desktop files written into the user's data folder, the About box, and the local
// socket of the single-instance hand-off.
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLocalSocket>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "app/about_dlg_qt.h"
#include "app/desktop_integration_qt.h"
#include "app/single_instance_qt.h"
#include "gui_test_support.h"

namespace {

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

TEST(DesktopIntegration, WritesMissingAndStaleFilesOnly)
{
    gui_test::App();
    QTemporaryDir data;
    ASSERT_TRUE(data.isValid());
    CDesktopIntegration integration(data.path(), QStringLiteral("/opt/zarnix 4/bin/zarnix4"));
    const QStringList first = integration.Update(false);
    const QDir dir(data.path());
    const QString entry = dir.filePath("applications/zarnix4.desktop");
    const QString mime = dir.filePath("mime/packages/zarnix4.xml");
    EXPECT_TRUE(first.contains(entry));
    EXPECT_TRUE(first.contains(mime));
    EXPECT_TRUE(first.contains(dir.filePath("icons/hicolor/48x48/apps/zarnix4.png")));
    EXPECT_TRUE(first.contains(dir.filePath("icons/hicolor/32x32/mimetypes/application-x-zarnix.png")));
    EXPECT_TRUE(first.contains(dir.filePath("icons/hicolor/scalable/apps/zarnix4.svg")));
    for (const QString& path : first) {
        EXPECT_TRUE(path.startsWith(data.path())) << path.toStdString();
        EXPECT_GT(QFile(path).size(), 0) << path.toStdString();
    }

    // The launcher starts this very program, quoted because of the blank in its path.
    const QByteArray text = ReadAll(entry);
    EXPECT_TRUE(text.contains("Exec=\"/opt/zarnix 4/bin/zarnix4\" %f\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("MimeType=application/x-zarnix;"));
    const QByteArray types = ReadAll(mime);
    EXPECT_TRUE(types.contains("<glob pattern=\"*.zarnix\"/>"));
    EXPECT_TRUE(types.contains("value=\"ZARNIX4\""));

    // All current: nothing written again.
    EXPECT_TRUE(integration.Update(false).isEmpty());
    // A stale file (another program path, or damaged) is rewritten; the others are left.
    QFile damaged(mime);
    ASSERT_TRUE(damaged.open(QIODevice::WriteOnly | QIODevice::Truncate));
    damaged.write("old");
    damaged.close();
    CDesktopIntegration moved(data.path(), QStringLiteral("/usr/bin/zarnix4"));
    const QStringList again = moved.Update(false);
    EXPECT_EQ(again.size(), 2);
    EXPECT_TRUE(again.contains(mime));
    EXPECT_TRUE(again.contains(entry));
    EXPECT_TRUE(ReadAll(entry).contains("Exec=/usr/bin/zarnix4 %f\n"));
}

TEST(DesktopIntegration, RelativeOrEmptyDataFolderIsNeverUsed)
{
    gui_test::App();
    EXPECT_TRUE(CDesktopIntegration(QString(), QStringLiteral("/usr/bin/zarnix4")).Update(false).isEmpty());
    EXPECT_TRUE(CDesktopIntegration(QStringLiteral("relative/data"), QStringLiteral("/usr/bin/zarnix4")).Update(false).isEmpty());
    EXPECT_FALSE(QDir(QStringLiteral("relative")).exists());
}

TEST(DesktopIntegration, ExecArgumentQuoting)
{
    EXPECT_EQ(CDesktopIntegration::QuoteExecArgument("/usr/bin/zarnix4"), "/usr/bin/zarnix4");
    EXPECT_EQ(CDesktopIntegration::QuoteExecArgument("/a b/z"), "\"/a b/z\"");
    // Inside quotes ", `, $ and \ are escaped, then each backslash doubled; % is doubled.
    EXPECT_EQ(CDesktopIntegration::QuoteExecArgument("/a$b/\"z\""), "\"/a\\\\$b/\\\\\"z\\\\\"\"");
    EXPECT_EQ(CDesktopIntegration::QuoteExecArgument("/100%/z"), "\"/100%%/z\"");
}

TEST(AboutBox, ShowsItsTextsAndClosesWithOk)
{
    gui_test::App();
    CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), "About Zarnix4");
    QStringList texts;
    for (QLabel* label : dialog.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Zarnix Version 4.0"));
    EXPECT_TRUE(texts.contains("Mouse:"));
    EXPECT_TRUE(texts.contains("- move points / change knee direction"));
    EXPECT_TRUE(texts.contains("Iteration Bar:"));
    EXPECT_TRUE(texts.contains("- line segments limit in fill mode"));
    QPushButton* ok = dialog.findChild<QPushButton*>();
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), "OK");
    dialog.show();
    QTest::mouseClick(ok, Qt::LeftButton);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_FALSE(dialog.isVisible());
    // Escape closes it too.
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
}

TEST(SingleInstance, ReceivesPathsAndRefusesOverlongMessages)
{
    gui_test::App();
    QTemporaryDir dir;
    const QString name = QDir(dir.path()).filePath("editor.socket");
    CSingleInstance server;
    ASSERT_TRUE(server.Listen(name));
    QSignalSpy received(&server, &CSingleInstance::fileReceived);

    // A client that sends its path in pieces.
    QLocalSocket client;
    client.connectToServer(name);
    ASSERT_TRUE(client.waitForConnected(2000));
    client.write("/tmp/some ");
    client.flush();
    QTest::qWait(50);
    client.write("file.zarnix\n");
    client.flush();
    EXPECT_TRUE(gui_test::WaitFor([&] { return received.count() == 1; }));
    EXPECT_EQ(received.value(0).value(0).toString(), "/tmp/some file.zarnix");
    EXPECT_TRUE(gui_test::WaitFor([&] { return client.bytesAvailable() > 0 || client.state() != QLocalSocket::ConnectedState; }));
    EXPECT_EQ(client.readAll(), "OK\n");

    // A flood without a line end is cut off and hands nothing over.
    QLocalSocket flood;
    flood.connectToServer(name);
    ASSERT_TRUE(flood.waitForConnected(2000));
    flood.write(QByteArray(CSingleInstance::kMaxMessage + 10, 'x'));
    flood.flush();
    EXPECT_TRUE(gui_test::WaitFor([&] { return flood.state() == QLocalSocket::UnconnectedState; }));
    QTest::qWait(50);
    EXPECT_EQ(received.count(), 1);

    // A second editor cannot take the same name while the first listens.
    CSingleInstance second;
    EXPECT_FALSE(second.Listen(name));
}

TEST(SingleInstance, LeftoverSocketIsReplaced)
{
    gui_test::App();
    QTemporaryDir dir;
    const QString name = QDir(dir.path()).filePath("stale.socket");
    // A plain file where the socket should be stands for one left by an editor that died.
    QFile leftover(name);
    ASSERT_TRUE(leftover.open(QIODevice::WriteOnly));
    leftover.close();
    CSingleInstance server;
    EXPECT_TRUE(server.Listen(name));
    // Nobody listens elsewhere: a hand-off finds no editor.
    EXPECT_FALSE(CSingleInstance::HandOff(QDir(dir.path()).filePath("nobody.socket"), "/tmp/x.zarnix", 500));
}
