// Editing on the picture, driven by mouse, wheel and key events sent to the real view.
#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QLineEdit>
#include <QFile>
#include <QMenu>
#include <QTimer>
#include <QMessageBox>
#include <QMouseEvent>
#include <QProgressDialog>
#include <QTemporaryDir>
#include <QWheelEvent>

#include <cmath>
#include <cstring>
#include <vector>

#include "editor_fixture.h"
#include "export/file_export_dlg_qt.h"
#include "interaction/editor_resources_qt.h"
#include "interaction/pattern_editor.h"

namespace {

class EditingTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        if (HasFatalFailure())
            return;
        // A known 3-segment pattern at the default view: points at x = -150, -50, 50, 150.
        CPattern& p = Pattern();
        p.m_count = 3;
        for (int i = 0; i <= 3; ++i)
            p.m_points[i] = PointF{-150.0f + 100.0f * static_cast<float>(i), 0.0f};
        for (int i = 0; i < 3; ++i)
            p.m_kneeFlags[i] = 0;
        p.UpdateKnees();
        view->m_transform.Reset();
        view->Redraw();
        view->repaint();
        ASSERT_EQ(view->devicePixelRatioF(), 1.0);
    }

    CPattern& Pattern() const { return view->GetDocument()->m_pattern; }
    // The pattern point under a pixel, which is where a grabbed or added point lands.
    PointF World(QPoint at) const { return view->m_transform.ScreenToWorld(at.x(), at.y()); }
    QPoint Pixel(PointF p) const
    {
        POINT px = view->m_transform.WorldToScreen(p);
        return QPoint(px.x, px.y);
    }

    void Send(QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons,
              Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMouseEvent event(type, QPointF(at), QPointF(view->mapToGlobal(at)), button, buttons, modifiers);
        QApplication::sendEvent(view, &event);
    }
    void Hover(QPoint at, Qt::KeyboardModifiers m = Qt::NoModifier) { Send(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton, m); }
    void Press(QPoint at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        Send(QEvent::MouseButtonPress, at, b, b, m);
    }
    void DragTo(QPoint at, Qt::MouseButton b = Qt::LeftButton, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        Send(QEvent::MouseMove, at, Qt::NoButton, b, m);
    }
    void Release(QPoint at, Qt::MouseButton b = Qt::LeftButton) { Send(QEvent::MouseButtonRelease, at, b, Qt::NoButton); }
    void Wheel(QPoint at, int delta, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        QWheelEvent event(QPointF(at), QPointF(view->mapToGlobal(at)), QPoint(), QPoint(0, delta), Qt::NoButton, m,
                          Qt::NoScrollPhase, false);
        QApplication::sendEvent(view, &event);
    }
    // Clicks at a pixel after hovering there, as a user's pointer arrives first.
    void ClickAt(QPoint at, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        Hover(at, m);
        Press(at, Qt::LeftButton, m);
        Release(at);
    }
    // Answers whether the view asked for a new picture since the last paint, then paints.
    bool Redrawn()
    {
        const bool asked = view->m_bRedraw != 0;
        view->repaint();
        return asked;
    }
};

TEST_F(EditingTest, DraggingAPointFollowsThePointerAndKeepsItsTarget)
{
    const QPoint start = Pixel(PointF{-50.0f, 0.0f}) + QPoint(3, 2);
    Hover(start);
    Press(start);
    ASSERT_TRUE(Redrawn());
    // The point jumps to the pointer.
    EXPECT_EQ(Pattern().m_points[1], World(start));
    // Across point 2 and beyond: still point 1 follows.
    const QPoint over2 = Pixel(Pattern().m_points[2]);
    DragTo(over2);
    DragTo(over2 + QPoint(20, -30));
    EXPECT_EQ(Pattern().m_points[1], World(over2 + QPoint(20, -30)));
    EXPECT_EQ(Pattern().m_points[2], (PointF{50.0f, 0.0f}));
    EXPECT_TRUE(Redrawn());
    // Shift or Ctrl held during the drag: the point stops following; releasing the key resumes.
    DragTo(over2 + QPoint(40, -40), Qt::LeftButton, Qt::ShiftModifier);
    DragTo(over2 + QPoint(45, -45), Qt::LeftButton, Qt::ControlModifier);
    EXPECT_EQ(Pattern().m_points[1], World(over2 + QPoint(20, -30)));
    DragTo(over2 + QPoint(50, -50));
    EXPECT_EQ(Pattern().m_points[1], World(over2 + QPoint(50, -50)));
    // A move without the button ends the drag.
    Release(over2 + QPoint(50, -50));
    Hover(over2 + QPoint(80, -80));
    EXPECT_EQ(Pattern().m_points[1], World(over2 + QPoint(50, -50)));
    EXPECT_TRUE(frame->isWindowModified());
}

TEST_F(EditingTest, KneeClicksStepDirectionAndShiftHides)
{
    const QPoint knee = Pixel(Pattern().m_knees[1]);
    Pattern().m_kneeFlags[1] = KNEE_HIDE | KNEE_STATIC;
    ClickAt(knee);
    EXPECT_EQ(Pattern().m_kneeFlags[1], KNEE_REVERSE);
    EXPECT_TRUE(Redrawn());
    ClickAt(knee);
    EXPECT_EQ(Pattern().m_kneeFlags[1], KNEE_MIRROR);
    ClickAt(knee, Qt::ShiftModifier);
    EXPECT_EQ(Pattern().m_kneeFlags[1], KNEE_MIRROR | KNEE_HIDE);
    ClickAt(knee, Qt::ShiftModifier);
    EXPECT_EQ(Pattern().m_kneeFlags[1], KNEE_MIRROR);
    Redrawn();
    // Ctrl + Shift: no handler knows the code.
    ClickAt(knee, Qt::ShiftModifier | Qt::ControlModifier);
    EXPECT_EQ(Pattern().m_kneeFlags[1], KNEE_MIRROR);
    EXPECT_EQ(Pattern().m_count, 3);
    EXPECT_FALSE(Redrawn());
}

TEST_F(EditingTest, CtrlClickAddsAndRemovesAndRefusesAtTheLimits)
{
    const QPoint empty = Pixel(PointF{0.0f, 80.0f});
    ClickAt(empty, Qt::ControlModifier);
    ASSERT_EQ(Pattern().m_count, 4);
    EXPECT_EQ(Pattern().m_points[2], World(empty));
    EXPECT_TRUE(Redrawn());
    ClickAt(empty, Qt::ControlModifier);
    EXPECT_EQ(Pattern().m_count, 3);
    ClickAt(Pixel(Pattern().m_points[1]), Qt::ControlModifier);
    EXPECT_EQ(Pattern().m_count, 2);
    Redrawn();
    // At 2 segments a removal is refused without a redraw.
    ClickAt(Pixel(Pattern().m_points[1]), Qt::ControlModifier);
    EXPECT_EQ(Pattern().m_count, 2);
    EXPECT_FALSE(Redrawn());
    // At 32 segments an addition is refused without a redraw.
    while (Pattern().m_count < 32)
        Pattern().InsertPoint(Pattern().m_count, PointF{200.0f + static_cast<float>(Pattern().m_count), 150.0f});
    CPattern before = Pattern();
    ClickAt(Pixel(PointF{-300.0f, -200.0f}), Qt::ControlModifier);
    EXPECT_EQ(Pattern().m_count, 32);
    EXPECT_EQ(0, std::memcmp(&before, &Pattern(), sizeof before));
    EXPECT_FALSE(Redrawn());
}

TEST_F(EditingTest, WheelZoomsAboutThePointerAndMiddleDragPans)
{
    const QPoint at = Pixel(PointF{50.0f, 0.0f}) + QPoint(0, -30);
    Hover(at);
    const PointF under = view->m_pointer;
    Wheel(at, 120);
    EXPECT_NEAR(view->m_transform.m_scale, std::exp(0.1), 1e-5);
    EXPECT_LE((Pixel(under) - at).manhattanLength(), 1);
    EXPECT_TRUE(Redrawn());
    Wheel(at, -240);
    EXPECT_NEAR(view->m_transform.m_scale, std::exp(-0.1), 1e-5);

    view->m_transform.Reset();
    view->m_transform.m_scale = 2.0f;
    const QPoint from(200, 150);
    Press(from, Qt::MiddleButton);
    DragTo(from + QPoint(10, 10), Qt::MiddleButton);
    EXPECT_FLOAT_EQ(view->m_transform.m_origin.x, -5.0f);
    EXPECT_FLOAT_EQ(view->m_transform.m_origin.y, 5.0f);
    // A middle move with Shift held is not a pan.
    DragTo(from + QPoint(50, 50), Qt::MiddleButton, Qt::ShiftModifier);
    EXPECT_FLOAT_EQ(view->m_transform.m_origin.x, -5.0f);
    // Shift + middle press restores the default view.
    Press(from, Qt::MiddleButton, Qt::ShiftModifier);
    EXPECT_EQ(view->m_transform.m_scale, 1.0f);
    EXPECT_EQ(view->m_transform.m_origin, (PointF{0.0f, 0.0f}));
}

TEST_F(EditingTest, RestoreAndSetDefaultViewKeys)
{
    view->m_transform.m_origin = PointF{10.0f, 20.0f};
    view->m_transform.m_scale = 2.0f;
    std::vector<QPoint> pixels;
    for (int i = 0; i <= Pattern().m_count; ++i)
        pixels.push_back(Pixel(Pattern().m_points[i]));
    QTest::keyClick(frame, Qt::Key_D, Qt::ControlModifier);
    EXPECT_EQ(view->m_transform.m_scale, 1.0f);
    for (int i = 0; i <= Pattern().m_count; ++i)
        EXPECT_EQ(Pixel(Pattern().m_points[i]), pixels[static_cast<size_t>(i)]) << i;
    EXPECT_EQ(Pattern().m_points[1], (PointF{-120.0f, -40.0f}));  // (-50 - 10) * 2, (0 - 20) * 2

    view->m_transform.m_scale = 3.0f;
    QTest::keyClick(frame, Qt::Key_R, Qt::ControlModifier);
    EXPECT_EQ(view->m_transform.m_scale, 1.0f);
    EXPECT_TRUE(Redrawn());
}

TEST_F(EditingTest, ContextMenusOfferTheItemsOfTheHitWithKneeChecks)
{
    CEditorContextMenu& menus = view->ContextMenu();
    auto texts = [&](uint8_t k) {
        QStringList list;
        for (QAction* a : menus.SubMenu(k)->actions())
            list << (a->isSeparator() ? QStringLiteral("-") : a->text());
        return list;
    };
    EXPECT_EQ(texts(0), QStringList({"&Add Point\tCtrl+LMouse"}));
    EXPECT_EQ(texts(1), QStringList({"&Remove\tCtrl+LMouse", "-", "Set &Coordinate..."}));
    EXPECT_EQ(texts(2), QStringList({"&Add Point\tCtrl+LMouse", "-", "&Reverse", "&Mirror", "&Static", "&Hide"}));

    const QPoint knee = Pixel(Pattern().m_knees[2]);
    Pattern().m_kneeFlags[2] = KNEE_REVERSE | KNEE_STATIC;
    Hover(knee);
    Press(knee, Qt::RightButton);
    QMenu* kneeMenu = menus.SubMenu(HIT_KNEE);
    ASSERT_TRUE(gui_test::WaitFor([&] { return kneeMenu->isVisible(); }));
    EXPECT_TRUE(menus.Action(HIT_KNEE, ID_KNEE_REVERSE)->isChecked());
    EXPECT_FALSE(menus.Action(HIT_KNEE, ID_KNEE_MIRROR)->isChecked());
    EXPECT_TRUE(menus.Action(HIT_KNEE, ID_KNEE_STATIC)->isChecked());
    EXPECT_FALSE(menus.Action(HIT_KNEE, ID_KNEE_HIDE)->isChecked());
    // Choosing Hide reaches the knee of the right press.
    menus.Action(HIT_KNEE, ID_KNEE_HIDE)->trigger();
    kneeMenu->hide();
    EXPECT_EQ(Pattern().m_kneeFlags[2], KNEE_REVERSE | KNEE_STATIC | KNEE_HIDE);
    EXPECT_TRUE(Redrawn());
    // Reopened after a click changed the flags: the checks follow.
    ClickAt(knee);
    Press(knee, Qt::RightButton);
    ASSERT_TRUE(gui_test::WaitFor([&] { return kneeMenu->isVisible(); }));
    EXPECT_TRUE(menus.Action(HIT_KNEE, ID_KNEE_MIRROR)->isChecked());
    EXPECT_FALSE(menus.Action(HIT_KNEE, ID_KNEE_HIDE)->isChecked());
    kneeMenu->hide();

    // Space menu: Add Point at the right-press position.
    const QPoint empty = Pixel(PointF{0.0f, 100.0f});
    Hover(empty);
    Press(empty, Qt::RightButton);
    QMenu* spaceMenu = menus.SubMenu(HIT_NONE);
    ASSERT_TRUE(gui_test::WaitFor([&] { return spaceMenu->isVisible(); }));
    menus.Action(HIT_NONE, ID_POINT_ADD)->trigger();
    spaceMenu->hide();
    EXPECT_EQ(Pattern().m_count, 4);
    EXPECT_EQ(Pattern().m_points[2], World(empty));

    // A right press with a key held opens nothing.
    Press(empty, Qt::RightButton, Qt::ShiftModifier);
    QCoreApplication::processEvents();
    EXPECT_FALSE(menus.SubMenu(HIT_POINT)->isVisible());
    EXPECT_FALSE(spaceMenu->isVisible());
}

TEST_F(EditingTest, SetCoordinateWithOkAndWithEscape)
{
    const QPoint point = Pixel(Pattern().m_points[2]);
    Hover(point);
    Press(point, Qt::RightButton);
    QMenu* pointMenu = view->ContextMenu().SubMenu(HIT_POINT);
    ASSERT_TRUE(gui_test::WaitFor([&] { return pointMenu->isVisible(); }));
    pointMenu->hide();

    QString shownX, shownY;
    bool focusOnX = false;
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<CSetCoordinateDlg*>(modal);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->windowTitle(), "Set Coordinate");
        shownX = dlg->XEdit()->text();
        shownY = dlg->YEdit()->text();
        focusOnX = dlg->XEdit()->hasFocus();
        dlg->XEdit()->setText("12.5");
        dlg->YEdit()->setText("-7");
        QTest::keyClick(dlg, Qt::Key_Return);
    });
    view->WindowProc(WM_COMMAND, ID_POINT_SET_COORDINATE, 0);
    EXPECT_EQ(shownX, "50.000000");
    EXPECT_EQ(shownY, "0.000000");
    EXPECT_TRUE(focusOnX);
    EXPECT_EQ(Pattern().m_points[2], (PointF{12.5f, -7.0f}));
    EXPECT_TRUE(Redrawn());

    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<CSetCoordinateDlg*>(modal);
        ASSERT_NE(dlg, nullptr);
        dlg->XEdit()->setText("99");
        QTest::keyClick(dlg, Qt::Key_Escape);
    });
    view->WindowProc(WM_COMMAND, ID_POINT_SET_COORDINATE, 0);
    EXPECT_EQ(Pattern().m_points[2], (PointF{12.5f, -7.0f}));
    EXPECT_FALSE(Redrawn());
}

TEST_F(EditingTest, CursorFollowsTheHitAndCtrl)
{
    struct Case {
        PointF at;
        bool ctrl;
        uint8_t cursor;
    };
    const std::vector<Case> cases = {
        {{0.0f, 150.0f}, false, CURSOR_ARROW}, {{0.0f, 150.0f}, true, CURSOR_ADD},
        {{0.0f, 0.0f}, false, CURSOR_KNEE},    {{0.0f, 0.0f}, true, CURSOR_ADD},
        {{50.0f, 0.0f}, false, CURSOR_MOVE},   {{50.0f, 0.0f}, true, CURSOR_REMOVE},
    };
    view->setFocus();
    for (const Case& c : cases) {
        Hover(Pixel(c.at));
        if (c.ctrl)
            QTest::keyPress(view, Qt::Key_Control, Qt::ControlModifier);
        EXPECT_EQ(view->m_cursorIndex, c.cursor) << c.at.x << "," << c.at.y << " ctrl " << c.ctrl;
        EXPECT_EQ(view->cursor().shape(), view->EditorCursor(c.cursor).shape());
        if (c.ctrl)
            QTest::keyRelease(view, Qt::Key_Control);
        EXPECT_FALSE(view->m_bCtrl);
    }
    // Outside the client area Ctrl changes the state but not the cursor.
    Hover(Pixel(PointF{50.0f, 0.0f}));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    QTest::keyPress(view, Qt::Key_Control, Qt::ControlModifier);
    EXPECT_TRUE(view->m_bCtrl);
    EXPECT_EQ(view->m_cursorIndex, CURSOR_MOVE);
    QTest::keyRelease(view, Qt::Key_Control);
}

TEST_F(EditingTest, StatusPaneShowsThePointerPosition)
{
    view->m_transform.m_scale = 4.0f;
    const POINT c = view->m_transform.m_center;
    Hover(QPoint(c.x + 1, c.y + 4));
    EXPECT_EQ(frame->PointerPane()->text(), "0.250  -1.000");
    // Not while panning.
    Press(QPoint(c.x, c.y), Qt::MiddleButton);
    DragTo(QPoint(c.x + 40, c.y), Qt::MiddleButton);
    EXPECT_EQ(frame->PointerPane()->text(), "0.250  -1.000");
}

TEST_F(EditingTest, ExportFromTheWindowReportsTheOutcomeAndKeepsTheView)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QImage before = view->CanvasImage().copy();
    const CDrawSettings settings = view->DrawSettings();
    const int32_t width = settings.width, height = settings.height;

    // Ctrl+E, a name without extension, the Bitmap type, Save: the status pane says "Exported".
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<CFileExportDlg*>(modal);
        if (dlg == nullptr) {
            ADD_FAILURE() << "unexpected modal " << modal->metaObject()->className();
            qobject_cast<QDialog*>(modal)->reject();
            return;
        }
        EXPECT_EQ(dlg->WidthEdit()->text().toInt(), width);
        // Typed into the name field, as a user does (the dialog is up and the field has the focus).
        dlg->setDirectory(dir.path());
        auto* name = dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        ASSERT_NE(name, nullptr);
        name->setText(QStringLiteral("shot"));
        dlg->accept();
        if (dlg->isVisible()) {
            ADD_FAILURE() << "the export dialog did not take the file name";
            dlg->reject();
        }
    });
    QTest::keyClick(frame, Qt::Key_E, Qt::ControlModifier);
    EXPECT_EQ(Pane0(), "Exported");
    QFile file(dir.filePath("shot.bmp"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), 54 + 4 * static_cast<qint64>(width) * height);
    file.close();

    // The export had the view's own size; the next paint still shows the view's picture.
    EXPECT_EQ(view->DrawSettings(), settings);
    view->repaint();
    EXPECT_EQ(view->CanvasImage(), before);

    // Cancelling the dialog: "Cancel", nothing written.
    gui_test::OnNextModal([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    frame->OnCommand(ID_FILE_EXPORT);
    EXPECT_EQ(Pane0(), "Cancel");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).size(), 1);
}

TEST_F(EditingTest, ALongExportCanBeCancelledAndLeavesNoFile)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    bool progressShown = false;
    bool repaintedWithoutScene = false;
    // 3^16 points of Illustrator text, at another size than the view's (which asks the view
    // for a new picture): far longer than the half second before the progress shows.
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<CFileExportDlg*>(modal);
        ASSERT_NE(dlg, nullptr);
        dlg->setDirectory(dir.path());
        dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("long"));
        dlg->IterationsEdit()->setText(QStringLiteral("16"));
        dlg->OnPaneCommand(WM_COMMAND, (static_cast<uint64_t>(EN_KILLFOCUS) << 16) | IDC_EXPORT_ITERATIONS);
        dlg->WidthEdit()->setText(QStringLiteral("1000"));
        dlg->OnPaneCommand(WM_COMMAND, (static_cast<uint64_t>(EN_KILLFOCUS) << 16) | IDC_EXPORT_WIDTH);
        dlg->selectNameFilter(QStringLiteral("Adobe Illustrator (*.ai)"));
        dlg->OnTypeChange();
        dlg->accept();
        // Then the progress dialog: cancel it once it is up.
        gui_test::OnNextModal([&](QWidget* progress) {
            if (auto* bar = qobject_cast<QProgressDialog*>(progress)) {
                progressShown = true;
                // The window repaints meanwhile, from the picture it had, without
                // regenerating into the canvas the export is using.
                const int scenes = view->SceneCount();
                view->repaint();
                repaintedWithoutScene = view->SceneCount() == scenes;
                bar->cancel();
            }
        });
    });
    frame->OnCommand(ID_FILE_EXPORT);
    EXPECT_TRUE(progressShown);
    EXPECT_TRUE(repaintedWithoutScene);
    EXPECT_EQ(Pane0(), "Cancel");
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(view->m_nIterations, 7);
    EXPECT_EQ(view->m_pProgress, nullptr);
    EXPECT_EQ(view->m_bIllustrator, 0);
}

TEST_F(EditingTest, AnExportIsSealedFromInputAndAResizeWaitsForItsEnd)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const CPattern before = Pattern();
    const float scale = view->m_transform.m_scale;
    const QSize oldCanvas(view->m_nWidth, view->m_nHeight);
    bool inputsSent = false;
    bool progressAfterSecondExport = false;
    // 3^14 points of Illustrator text: long enough for the input below to arrive meanwhile.
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<CFileExportDlg*>(modal);
        ASSERT_NE(dlg, nullptr);
        dlg->setDirectory(dir.path());
        dlg->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"))->setText(QStringLiteral("sealed"));
        dlg->IterationsEdit()->setText(QStringLiteral("14"));
        dlg->OnPaneCommand(WM_COMMAND, (static_cast<uint64_t>(EN_KILLFOCUS) << 16) | IDC_EXPORT_ITERATIONS);
        dlg->selectNameFilter(QStringLiteral("Adobe Illustrator (*.ai)"));
        dlg->OnTypeChange();
        dlg->accept();
        gui_test::OnNextModal([&](QWidget* progress) {
            if (qobject_cast<QProgressDialog*>(progress) == nullptr) {
                ADD_FAILURE() << "no progress dialog";
                return;
            }
            // A Ctrl+click that would add a point, a wheel notch that would zoom, keys in a
            // field, a resize of the window and a second Export.
            Press(QPoint(300, 250), Qt::LeftButton, Qt::ControlModifier);
            Release(QPoint(300, 250));
            Wheel(QPoint(300, 250), 120);
            QTest::keyClicks(Field(IDC_ITERATIONS), QStringLiteral("5"));
            frame->resize(frame->width() + 60, frame->height() + 40);
            frame->OnCommand(ID_FILE_EXPORT);
            progressAfterSecondExport = QApplication::activeModalWidget() == progress;
            inputsSent = true;
        });
    });
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ADD_FAILURE() << "stuck at " << modal->metaObject()->className() << " "
                          << (box ? box->text().toStdString() : std::string());
            if (box)
                box->accept();
            else if (auto* bar = qobject_cast<QProgressDialog*>(modal))
                bar->cancel();
        }
    });
    watchdog.start(8000);
    frame->OnCommand(ID_FILE_EXPORT);
    ASSERT_TRUE(inputsSent) << "the export ended before the input was sent";
    EXPECT_TRUE(progressAfterSecondExport);
    EXPECT_EQ(Pane0(), "Exported");
    EXPECT_TRUE(QFile::exists(dir.filePath("sealed.ai")));
    EXPECT_EQ(0, std::memcmp(&before, &Pattern(), sizeof before));
    EXPECT_EQ(view->m_transform.m_scale, scale);
    EXPECT_EQ(Field(IDC_ITERATIONS)->text(), "7");
    EXPECT_EQ(view->m_nIterations, 7);
    // The resize took effect once the export was over.
    QCoreApplication::processEvents();
    EXPECT_EQ(QSize(view->m_nWidth, view->m_nHeight), view->size());
    EXPECT_NE(QSize(view->m_nWidth, view->m_nHeight), oldCanvas);
}

TEST_F(EditingTest, TheHitStateFollowsAViewResetUnderThePointer)
{
    const QPoint at(330, 180);
    QCursor::setPos(view->mapToGlobal(at));
    QTest::mouseMove(view, at);
    ASSERT_TRUE(gui_test::WaitFor([&] { return view->underMouse(); }, 2000));
    for (int way = 0; way < 3; ++way) {
        view->m_transform.m_scale = 2.0f;
        view->m_transform.m_origin = PointF{40.0f, 10.0f};
        Hover(at);
        if (way == 0) {
            frame->OnCommand(ID_VIEW_RESTORE_DEFAULT);
        } else if (way == 1) {
            Press(at, Qt::MiddleButton, Qt::ShiftModifier);
            Release(at, Qt::MiddleButton);
        } else {
            frame->OnCommand(ID_VIEW_SET_DEFAULT);
        }
        EXPECT_EQ(view->m_transform.m_scale, 1.0f) << way;
        EXPECT_EQ(view->m_pointer, World(at)) << way;
    }
    // A Ctrl+click without moving adds the point under the pointer, not where it was before.
    const int count = Pattern().m_count;
    Press(at, Qt::LeftButton, Qt::ControlModifier);
    Release(at);
    ASSERT_EQ(Pattern().m_count, count + 1);
    bool found = false;
    for (int i = 0; i <= Pattern().m_count; ++i)
        found = found || Pattern().m_points[i] == World(at);
    EXPECT_TRUE(found);
}

TEST_F(EditingTest, AFileHandedOverWaitsUntilNoDialogIsOpen)
{
    const QString path = gui_test::WriteFile(QStringLiteral("handed.zarnix"),
                                             "ZARNIX4\r\n2\r\n-1 0\r\n0 1\r\n1 0\r\n0\r\n0\r\n");
    QDialog modal(frame);
    modal.setModal(true);
    modal.show();
    ASSERT_TRUE(gui_test::WaitFor([&] { return QApplication::activeModalWidget() == &modal; }));
    m_app->OpenWhenIdle(path);
    QTest::qWait(300);
    EXPECT_EQ(Pattern().m_count, 3);  // not while the dialog is up
    modal.reject();
    EXPECT_TRUE(gui_test::WaitFor([&] { return Pattern().m_count == 2; }));
    EXPECT_EQ(Pattern().m_points[1], (PointF{0.0f, 1.0f}));
}

}  // namespace
