// New, Open, Save and Save As through the window, the caption, the recent files, the
// initial update after each, and the ways a file reaches the editor (drop, a later start).
#include <QDialogButtonBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QPushButton>
#include <QUrl>

#include "app/single_instance_qt.h"
#include "editor_fixture.h"

namespace {

// A document with a view section: Koch-like pattern, 4 iterations, fill on, a moved view.
const QByteArray kWithView =
    "ZARNIX4\r\n4\r\n-90.000000 0.000000\r\n-30.000000 0.000000\r\n0.000000 52.000000\r\n"
    "30.000000 0.000000\r\n90.000000 0.000000\r\n0\r\n0\r\n0\r\n0\r\n"
    "Iterations: 4\r\nPattern: 0\r\nFractal: 1\r\nFill: 1\r\nOrigin: 12.500000 -3.000000\r\nScale: 2.500000\r\n";
// The same pattern without the view section.
const QByteArray kWithoutView =
    "ZARNIX4\r\n4\r\n-90.000000 0.000000\r\n-30.000000 0.000000\r\n0.000000 52.000000\r\n"
    "30.000000 0.000000\r\n90.000000 0.000000\r\n0\r\n0\r\n0\r\n0\r\n";

QByteArray ReadAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Closes the next message box and hands back its text.
void CaptureNextMessage(QString* text)
{
    gui_test::OnNextModal([text](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            *text = box->text();
            box->accept();
        } else {
            modal->close();
        }
    });
}

}  // namespace

TEST_F(EditorTest, CaptionNamesTheDocument)
{
    EXPECT_EQ(Title(), "Untitled - Zarnix 4");
    const QString path = gui_test::WriteFile("caption.zarnix", kWithView);
    ASSERT_TRUE(m_app->OpenDocumentFile(path));
    EXPECT_EQ(Title(), "caption.zarnix - Zarnix 4");
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    EXPECT_EQ(Title(), "Untitled - Zarnix 4");
    EXPECT_TRUE(m_app->PathName().isEmpty());
}

TEST_F(EditorTest, OpenWithViewSectionBringsSettingsAndKeepsItsView)
{
    TypeInto(IDC_DETAIL, "5");
    TypeInto(IDC_DRAW_LIMIT, "2500");
    view->setFocus();
    const QString path = gui_test::WriteFile("with_view.zarnix", kWithView);
    ASSERT_TRUE(m_app->OpenDocumentFile(path));
    CZarnix4Doc* doc = m_app->Document();
    EXPECT_EQ(doc->m_pattern.m_count, 4);
    EXPECT_FLOAT_EQ(doc->m_pattern.m_points[2].y, 52.0f);
    // The file's settings are shown: iterations in field and slider, the switches.
    EXPECT_EQ(view->m_nIterations, 4);
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "4");
    EXPECT_EQ(bar->Slider()->value(), 4);
    EXPECT_FALSE(frame->Action(ID_VIEW_SHOW_PATTERN)->isChecked());
    EXPECT_FALSE(Button(ID_VIEW_SHOW_PATTERN)->isChecked());
    EXPECT_TRUE(frame->Action(ID_VIEW_FILL_MODE)->isChecked());
    EXPECT_TRUE(Button(ID_VIEW_FILL_MODE)->isChecked());
    // Its view stays; Detail and Draw Limit are the user's, not the file's.
    EXPECT_FLOAT_EQ(view->m_transform.m_scale, 2.5f);
    EXPECT_FLOAT_EQ(view->m_transform.m_origin.x, 12.5f);
    EXPECT_EQ(view->m_bLoadedFromFile, 0);
    EXPECT_EQ(view->m_nDetail, 5);
    EXPECT_EQ(Field(IDC_DETAIL)->text(), "5");
    EXPECT_EQ(view->m_nDrawLimit, 2500);
    EXPECT_EQ(Field(IDC_DRAW_LIMIT)->text(), "2500");
    EXPECT_TRUE(PaintRegenerates());

    // New resets the view but keeps the settings in force.
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    EXPECT_FLOAT_EQ(view->m_transform.m_scale, 1.0f);
    EXPECT_FLOAT_EQ(view->m_transform.m_origin.x, 0.0f);
    EXPECT_EQ(view->m_nIterations, 4);
    EXPECT_EQ(view->m_bFill, 1);
    EXPECT_EQ(doc->m_pattern.m_count, 2);
}

TEST_F(EditorTest, OpenWithoutViewSectionResetsTheViewOnly)
{
    view->m_transform.m_scale = 3.0f;
    view->m_transform.m_origin = PointF{5.0f, 5.0f};
    TypeInto(IDC_ITERATIONS, "9");
    QTest::keyClick(frame, Qt::Key_M, Qt::ControlModifier);
    const QString path = gui_test::WriteFile("without_view.zarnix", kWithoutView);
    ASSERT_TRUE(m_app->OpenDocumentFile(path));
    EXPECT_EQ(m_app->Document()->m_pattern.m_count, 4);
    EXPECT_FLOAT_EQ(view->m_transform.m_scale, 1.0f);
    EXPECT_FLOAT_EQ(view->m_transform.m_origin.y, 0.0f);
    EXPECT_EQ(view->m_nIterations, 9);
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "9");
    EXPECT_EQ(view->m_bFill, 1);
    EXPECT_TRUE(frame->Action(ID_VIEW_FILL_MODE)->isChecked());
}

TEST_F(EditorTest, FailedOpenShowsWhyAndLeavesTheDocumentAlone)
{
    const QString good = gui_test::WriteFile("good.zarnix", kWithView);
    ASSERT_TRUE(m_app->OpenDocumentFile(good));
    view->m_transform.m_scale = 1.75f;
    const CPattern before = m_app->Document()->m_pattern;

    for (const QString& bad : {gui_test::WriteFile("short.zarnix", "ZA"),
                               QDir(gui_test::Home().path()).filePath("missing.zarnix")}) {
        QString message;
        CaptureNextMessage(&message);
        EXPECT_FALSE(m_app->OpenDocumentFile(bad));
        EXPECT_TRUE(message.contains(bad)) << message.toStdString();
        EXPECT_GT(message.size(), bad.size() + 30) << "a reason follows the name: " << message.toStdString();
        const CPattern& now = m_app->Document()->m_pattern;
        EXPECT_EQ(now.m_count, before.m_count);
        for (int i = 0; i <= now.m_count; ++i)
            EXPECT_EQ(now.m_points[i].x, before.m_points[i].x);
        EXPECT_FLOAT_EQ(view->m_transform.m_scale, 1.75f);
        EXPECT_EQ(view->m_nIterations, 4);
        EXPECT_EQ(m_app->PathName(), QFileInfo(good).absoluteFilePath());
        EXPECT_EQ(Title(), "good.zarnix - Zarnix 4");
    }
    // A failed file does not enter the recent list.
    EXPECT_EQ(m_app->RecentFiles(), QStringList({QFileInfo(good).absoluteFilePath()}));
}

TEST_F(EditorTest, SaveAppendsExtensionAndRoundTrips)
{
    const QString base = QDir(gui_test::Home().path()).filePath("round_trip");
    QFile::remove(base + ".zarnix");
    TypeInto(IDC_ITERATIONS, "11");
    QTest::keyClick(frame, Qt::Key_P, Qt::ControlModifier);
    view->m_transform.m_scale = 0.5f;
    const float middleX = m_app->Document()->m_pattern.m_points[1].x;
    ASSERT_TRUE(m_app->DoSave(base));
    EXPECT_EQ(m_app->PathName(), base + ".zarnix");
    EXPECT_EQ(Title(), "round_trip.zarnix - Zarnix 4");
    const QByteArray bytes = ReadAll(base + ".zarnix");
    EXPECT_TRUE(bytes.startsWith("ZARNIX4\r\n"));
    EXPECT_TRUE(bytes.contains("Iterations: 11\r\nPattern: 0\r\n"));

    // Ctrl+S writes the same file again, without any dialog.
    QFile::remove(base + ".zarnix");
    QTest::keyClick(frame, Qt::Key_S, Qt::ControlModifier);
    EXPECT_EQ(ReadAll(base + ".zarnix"), bytes);

    // New, then Open brings it all back.
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_P, Qt::ControlModifier);
    TypeInto(IDC_ITERATIONS, "3");
    ASSERT_TRUE(m_app->OpenDocumentFile(base + ".zarnix"));
    EXPECT_EQ(view->m_nIterations, 11);
    EXPECT_EQ(view->m_bShowPattern, 0);
    EXPECT_FLOAT_EQ(view->m_transform.m_scale, 0.5f);
    EXPECT_FLOAT_EQ(m_app->Document()->m_pattern.m_points[1].x, middleX);
}

TEST_F(EditorTest, FailedSaveShowsWhyAndKeepsTheName)
{
    const QString good = gui_test::WriteFile("kept.zarnix", kWithView);
    ASSERT_TRUE(m_app->OpenDocumentFile(good));
    const QString target = QDir(gui_test::Home().path()).filePath("no_such_folder/out.zarnix");
    QString message;
    CaptureNextMessage(&message);
    EXPECT_FALSE(m_app->DoSave(target));
    EXPECT_TRUE(message.contains(target)) << message.toStdString();
    EXPECT_FALSE(QFile::exists(target));
    EXPECT_EQ(m_app->PathName(), QFileInfo(good).absoluteFilePath());
    EXPECT_EQ(ReadAll(good), kWithView);
}

TEST_F(EditorTest, SaveAsDialogUsesTheZarnixFilter)
{
    const QString target = QDir(gui_test::Home().path()).filePath("dialog_saved");
    QFile::remove(target + ".zarnix");
    QStringList filters;
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        filters = dialog->nameFilters();
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(target);
        static_cast<QDialog*>(dialog)->accept();
    });
    // Save on an untitled document asks for a name.
    frame->Action(ID_FILE_SAVE)->trigger();
    EXPECT_EQ(filters, QStringList({"Zarnix Files (*.zarnix)"}));
    EXPECT_TRUE(QFile::exists(target + ".zarnix"));
    EXPECT_EQ(Title(), "dialog_saved.zarnix - Zarnix 4");
}

TEST_F(EditorTest, OpenDialogOpensTheChosenFile)
{
    const QString path = gui_test::WriteFile("dialog_open.zarnix", kWithView);
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        if (dialog == nullptr) {
            modal->close();
            return;
        }
        EXPECT_EQ(dialog->nameFilters().value(0), "Zarnix Files (*.zarnix)");
        // Typed into the dialog's name field, as a user would.
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(path);
        static_cast<QDialog*>(dialog)->accept();
    });
    QTest::keyClick(frame, Qt::Key_O, Qt::ControlModifier);
    EXPECT_EQ(m_app->PathName(), QFileInfo(path).absoluteFilePath());
    EXPECT_EQ(m_app->Document()->m_pattern.m_count, 4);
}

TEST_F(EditorTest, RecentFilesKeepFiveMostRecentFirstAndSurviveRestart)
{
    QStringList paths;
    for (int i = 0; i < 7; ++i) {
        paths << QFileInfo(gui_test::WriteFile(QStringLiteral("recent%1.zarnix").arg(i), kWithView)).absoluteFilePath();
        ASSERT_TRUE(m_app->OpenDocumentFile(paths.last()));
    }
    // Opening an older one again moves it to the top.
    ASSERT_TRUE(m_app->OpenDocumentFile(paths[4]));
    const QStringList expected = {paths[4], paths[6], paths[5], paths[3], paths[2]};
    EXPECT_EQ(m_app->RecentFiles(), expected);

    // The menu lists them in place of the greyed item.
    QStringList entries;
    for (uint32_t id = ID_FILE_MRU_FILE1; id < ID_FILE_MRU_FILE1 + 5; ++id)
        entries << (frame->Action(id) ? frame->Action(id)->text() : QString());
    EXPECT_TRUE(entries[0].startsWith("&1 ") && entries[0].endsWith("recent4.zarnix")) << entries[0].toStdString();
    EXPECT_TRUE(entries[4].startsWith("&5 ") && entries[4].endsWith("recent2.zarnix")) << entries[4].toStdString();
    EXPECT_EQ(frame->Action(ID_FILE_MRU_FILE1 + 5), nullptr);

    // A later run reads the same list.
    m_app.reset();
    CZarnix4App second;
    ASSERT_TRUE(second.InitInstance(QString(), false));
    EXPECT_EQ(second.RecentFiles(), expected);

    // Choosing an entry opens it; one that cannot be opened leaves the list.
    second.MainFrame()->Action(ID_FILE_MRU_FILE1 + 2)->trigger();
    EXPECT_EQ(second.PathName(), paths[5]);
    QFile::remove(paths[3]);
    QString message;
    CaptureNextMessage(&message);
    second.MainFrame()->Action(ID_FILE_MRU_FILE1 + 3)->trigger();
    EXPECT_FALSE(second.RecentFiles().contains(paths[3]));
    EXPECT_EQ(second.RecentFiles().size(), 4);
}

TEST_F(EditorTest, DroppedFileOpens)
{
    const QString path = gui_test::WriteFile("dropped.zarnix", kWithView);
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(path)});
    const QPoint at(view->width() / 2, view->height() / 2);
    QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(frame, &drop);
    EXPECT_TRUE(gui_test::WaitFor([&] { return m_app->PathName() == QFileInfo(path).absoluteFilePath(); }));
    EXPECT_EQ(m_app->Document()->m_pattern.m_count, 4);
}

TEST_F(EditorTest, LaterStartHandsItsFileToTheRunningEditor)
{
    ASSERT_TRUE(m_app->StartSingleInstanceServer(CSingleInstance::DefaultServerName()));
    const QString path = gui_test::WriteFile("handed.zarnix", kWithView);
    QProcess later;
    later.start(QStringLiteral(ZARNIX_EXECUTABLE), {path});
    ASSERT_TRUE(later.waitForStarted(5000));
    ASSERT_TRUE(gui_test::WaitFor([&] { return later.state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(later.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(later.exitCode(), 0) << later.readAllStandardError().toStdString();
    EXPECT_TRUE(gui_test::WaitFor([&] { return m_app->PathName() == QFileInfo(path).absoluteFilePath(); }));
    EXPECT_EQ(m_app->Document()->m_pattern.m_count, 4);
}

TEST_F(EditorTest, TheHandOffStaysWithinTheDisplaysSession)
{
    const QByteArray saved[3] = {qgetenv("QT_QPA_PLATFORM"), qgetenv("DISPLAY"), qgetenv("WAYLAND_DISPLAY")};
    qunsetenv("WAYLAND_DISPLAY");
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("DISPLAY", ":1");
    const QString first = CSingleInstance::DefaultServerName();
    qputenv("DISPLAY", "host:1.0");
    const QString remote = CSingleInstance::DefaultServerName();
    qunsetenv("DISPLAY");
    const QString none = CSingleInstance::DefaultServerName();
    qunsetenv("QT_QPA_PLATFORM");
    qputenv("WAYLAND_DISPLAY", "wayland-0");
    const QString wayland = CSingleInstance::DefaultServerName();
    const char* names[3] = {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"};
    for (int i = 0; i < 3; ++i) {
        if (saved[i].isNull())
            qunsetenv(names[i]);
        else
            qputenv(names[i], saved[i]);
    }
    EXPECT_TRUE(first.endsWith("zarnix4-x11-_1.socket")) << first.toStdString();
    EXPECT_TRUE(remote.endsWith("zarnix4-x11-host_1.0.socket")) << remote.toStdString();
    EXPECT_TRUE(none.isEmpty()) << none.toStdString();
    EXPECT_TRUE(wayland.endsWith("zarnix4-wayland-wayland-0.socket")) << wayland.toStdString();

    // A start without a display says so and ends, handing nothing to a window elsewhere.
    QProcess start;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* name : names)
        environment.remove(QString::fromLatin1(name));
    start.setProcessEnvironment(environment);
    start.start(QStringLiteral(ZARNIX_EXECUTABLE), {gui_test::WriteFile("nodisplay.zarnix", kWithView)});
    ASSERT_TRUE(start.waitForFinished(20000));
    EXPECT_NE(start.exitCode(), 0);
    EXPECT_TRUE(start.readAllStandardError().contains("no display")) << "exit " << start.exitCode();
}

TEST_F(EditorTest, FileThatCannotBeOpenedAtStartEndsTheStart)
{
    CZarnix4App other;
    QString message;
    CaptureNextMessage(&message);
    const QString missing = QDir(gui_test::Home().path()).filePath("not_there.zarnix");
    EXPECT_FALSE(other.InitInstance(missing, false));
    EXPECT_TRUE(message.contains(missing)) << message.toStdString();
}
