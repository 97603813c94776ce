// Handles over the picture (window only) and the status hints while the pointer moves.
#include <QApplication>
#include <QImage>
#include <QMouseEvent>

#include <QComboBox>
#include <QPushButton>

#include <cmath>

#include "editor_fixture.h"
#include "interaction/editor_resources_qt.h"
#include "interaction/grid_settings_dlg_qt.h"
#include "interaction/pattern_editor.h"

namespace {

class HandlesTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        if (HasFatalFailure())
            return;
        // Points at x = -150, -50, 50, 150 on the x axis; knee 1 reversed and hidden.
        CPattern& p = view->GetDocument()->m_pattern;
        p.m_count = 3;
        for (int i = 0; i <= 3; ++i)
            p.m_points[i] = PointF{-150.0f + 100.0f * static_cast<float>(i), 0.0f};
        p.m_kneeFlags[0] = 0;
        p.m_kneeFlags[1] = KNEE_REVERSE | KNEE_HIDE;
        p.m_kneeFlags[2] = 0;
        p.UpdateKnees();
        view->m_transform.Reset();
        view->Redraw();
        view->repaint();
        ASSERT_EQ(view->devicePixelRatioF(), 1.0);
    }

    QPoint Pixel(PointF p) const
    {
        const POINT px = view->m_transform.WorldToScreen(p);
        return QPoint(px.x, px.y);
    }
    void Move(QPoint at, Qt::MouseButtons buttons = Qt::NoButton)
    {
        QMouseEvent event(QEvent::MouseMove, QPointF(at), QPointF(view->mapToGlobal(at)), Qt::NoButton, buttons,
                          Qt::NoModifier);
        QApplication::sendEvent(view, &event);
    }
    void Button(QEvent::Type type, QPoint at, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        QMouseEvent event(type, QPointF(at), QPointF(view->mapToGlobal(at)), Qt::LeftButton, buttons, modifiers);
        QApplication::sendEvent(view, &event);
    }
    // Drags point `index` so that the pointer ends `offset` pixels away.
    void DragPoint(int index, QPoint offset, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        const QPoint start = Pixel(view->GetDocument()->m_pattern.m_points[index]);
        Move(start);
        Button(QEvent::MouseButtonPress, start, Qt::LeftButton, modifiers);
        const QPoint end = start + offset;
        QMouseEvent move(QEvent::MouseMove, QPointF(start + offset / 2), QPointF(view->mapToGlobal(start + offset / 2)),
                         Qt::NoButton, Qt::LeftButton, modifiers);
        QApplication::sendEvent(view, &move);
        QMouseEvent last(QEvent::MouseMove, QPointF(end), QPointF(view->mapToGlobal(end)), Qt::NoButton,
                         Qt::LeftButton, modifiers);
        QApplication::sendEvent(view, &last);
        Button(QEvent::MouseButtonRelease, end, Qt::NoButton, modifiers);
    }
    // The window as the user sees it, and the canvas that exports copy.
    QImage Window() { return view->grab().toImage().convertToFormat(QImage::Format_RGB32); }
};

TEST_F(HandlesTest, HandlesAreDrawnInTheWindowOnlyAndCanBeSwitchedOff)
{
    ASSERT_TRUE(view->ShowHandles());
    EXPECT_TRUE(frame->Action(ID_VIEW_HANDLES)->isChecked());
    const QPoint point = Pixel(PointF{-50.0f, 0.0f});
    const QPoint badge = Pixel(view->GetDocument()->m_pattern.m_knees[1]) + QPoint(10, 0);
    const QImage canvas = view->CanvasImage().convertToFormat(QImage::Format_RGB32).copy();
    QImage window = Window();
    // The handle's white fill sits over the pattern's line; the badge's dark box beside knee 1.
    EXPECT_EQ(window.pixel(point) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_NE(canvas.pixel(point) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_LT(qGray(window.pixel(badge)), 80);
    EXPECT_GT(qGray(canvas.pixel(badge)), 150);
    // The canvas itself holds no handle.
    view->repaint();
    EXPECT_EQ(view->CanvasImage().convertToFormat(QImage::Format_RGB32), canvas);

    frame->OnCommand(ID_VIEW_HANDLES);
    EXPECT_FALSE(view->ShowHandles());
    EXPECT_FALSE(frame->Action(ID_VIEW_HANDLES)->isChecked());
    window = Window();
    EXPECT_EQ(window.pixel(point), canvas.pixel(point));
    EXPECT_EQ(window.pixel(badge), canvas.pixel(badge));
    // Remembered for the next run.
    EXPECT_FALSE(QSettings(QString::fromLatin1(CRecentFileList::kOrganization),
                           QString::fromLatin1(CRecentFileList::kApplication))
                     .value(QStringLiteral("View/Handles"), true)
                     .toBool());
}

TEST_F(HandlesTest, HoverHighlightsAndTheStatusBarSaysWhatAClickDoes)
{
    const QPoint point = Pixel(PointF{50.0f, 0.0f});
    Move(point);
    EXPECT_EQ(Pane0(), QStringLiteral("Point 2: drag to move \u00b7 Ctrl+click removes \u00b7 right-click for more"));
    // The hovered handle turns orange.
    QImage window = Window();
    const QRgb hovered = window.pixel(point);
    EXPECT_GT(qRed(hovered), 200);
    EXPECT_LT(qBlue(hovered), 80);

    Move(Pixel(view->GetDocument()->m_pattern.m_knees[1]));
    EXPECT_EQ(Pane0(), QStringLiteral("Knee 1 (reverse, hidden): click steps the direction \u00b7 Shift+click shows "
                                      "\u00b7 right-click for more"));
    Move(Pixel(PointF{100.0f, -150.0f}));
    EXPECT_EQ(Pane0(), QStringLiteral("Ctrl+click adds a point to segment 2"));
    // The coordinate pane still shows the pointer's position.
    EXPECT_EQ(frame->PointerPane()->text(), QStringLiteral("100.000  -150.000"));

    // Off the picture the idle text comes back and nothing is highlighted.
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(view, &leave);
    EXPECT_EQ(Pane0(), QStringLiteral("Ready"));
}

TEST_F(HandlesTest, TheGrabbedPointIsMarkedWhileDragging)
{
    const QPoint start = Pixel(PointF{50.0f, 0.0f});
    Move(start);
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(start), QPointF(view->mapToGlobal(start)), Qt::LeftButton,
                      Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(view, &press);
    const QPoint to = start + QPoint(0, -40);
    Move(to, Qt::LeftButton);
    view->repaint();
    const QRgb grabbed = Window().pixel(to);
    EXPECT_GT(qRed(grabbed), 200);
    EXPECT_LT(qGreen(grabbed), 100);
    QMouseEvent release(QEvent::MouseButtonRelease, QPointF(to), QPointF(view->mapToGlobal(to)), Qt::LeftButton,
                        Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(view, &release);
    EXPECT_EQ(view->GetDocument()->m_pattern.m_points[2], (PointF{50.0f, 40.0f}));
}

TEST_F(HandlesTest, SnappedDragLandsOnTheSquareLatticeAsOneStep)
{
    QTest::keyClick(frame, Qt::Key_G, Qt::ControlModifier);
    ASSERT_TRUE(view->SnapToGrid());
    EXPECT_TRUE(frame->Action(ID_VIEW_SNAP_TO_GRID)->isChecked());
    const CPattern before = view->GetDocument()->m_pattern;
    const int steps = view->History().Count();
    DragPoint(2, QPoint(7, -33));  // to about (57, 33)
    EXPECT_EQ(view->GetDocument()->m_pattern.m_points[2], (PointF{60.0f, 30.0f}));
    EXPECT_EQ(view->History().Count(), steps + 1);
    frame->OnCommand(ID_EDIT_UNDO);
    EXPECT_EQ(view->GetDocument()->m_pattern.m_points[2], before.m_points[2]);

    // Alt bypasses the snap: the point follows the pointer.
    DragPoint(2, QPoint(7, -33), Qt::AltModifier);
    const PointF free = view->GetDocument()->m_pattern.m_points[2];
    EXPECT_EQ(free, view->m_transform.ScreenToWorld(Pixel(before.m_points[2]).x() + 7, Pixel(before.m_points[2]).y() - 33));
    EXPECT_NE(std::fmod(free.x, 10.0f), 0.0f);

    // Ctrl+click in empty space adds a point on the lattice.
    const QPoint empty = Pixel(PointF{-97.0f, 62.0f});
    Move(empty, Qt::NoButton);
    Button(QEvent::MouseButtonPress, empty, Qt::LeftButton, Qt::ControlModifier);
    Button(QEvent::MouseButtonRelease, empty, Qt::NoButton, Qt::ControlModifier);
    const CPattern& p = view->GetDocument()->m_pattern;
    ASSERT_EQ(p.m_count, 4);
    bool found = false;
    for (int i = 0; i <= p.m_count; ++i)
        found = found || p.m_points[i] == (PointF{-100.0f, 60.0f});
    EXPECT_TRUE(found);
}

TEST_F(HandlesTest, TriangularLatticeMakesSixtyDegreePeaks)
{
    view->SetGrid(GridSettings{GridKind::Triangular, 50.0f});
    frame->OnCommand(ID_VIEW_SNAP_TO_GRID);
    // Point 1 at (-50, 0) dragged up near the apex over (-75 .. -25).
    DragPoint(1, QPoint(-22, -40));
    const PointF peak = view->GetDocument()->m_pattern.m_points[1];
    EXPECT_NEAR(peak.x, -75.0, 1e-3);
    EXPECT_NEAR(peak.y, 25.0 * std::sqrt(3.0), 1e-3);
}

TEST_F(HandlesTest, GridIsDrawnInTheWindowOnlyAndSetInItsDialog)
{
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<CGridSettingsDlg*>(modal);
        ASSERT_NE(dlg, nullptr);
        EXPECT_EQ(dlg->SpacingEdit()->text(), QStringLiteral("10.000"));
        dlg->SpacingEdit()->setText(QStringLiteral("0"));
        EXPECT_FALSE(dlg->OkButton()->isEnabled());
        dlg->SpacingEdit()->setText(QStringLiteral("abc"));
        EXPECT_FALSE(dlg->OkButton()->isEnabled());
        dlg->SpacingEdit()->setText(QStringLiteral("40"));
        EXPECT_TRUE(dlg->OkButton()->isEnabled());
        dlg->KindBox()->setCurrentIndex(0);
        dlg->OkButton()->click();
    });
    frame->OnCommand(ID_VIEW_GRID_SETTINGS);
    EXPECT_EQ(view->Grid().spacing, 40.0f);
    EXPECT_TRUE(view->ShowGrid());
    EXPECT_TRUE(frame->Action(ID_VIEW_GRID)->isChecked());
    // The vertical line x = 40, away from the pattern, darkens the window but not the canvas.
    const QPoint onLine = Pixel(PointF{40.0f, 100.0f});
    view->repaint();
    const QImage canvas = view->CanvasImage().convertToFormat(QImage::Format_RGB32);
    const QImage window = Window();
    EXPECT_EQ(canvas.pixel(onLine) & 0xFFFFFF, 0xFFFFFFu);
    EXPECT_LT(qGray(window.pixel(onLine)), 250);
    EXPECT_GT(qGray(window.pixel(onLine)), 150);  // faint
    frame->OnCommand(ID_VIEW_GRID);
    EXPECT_EQ(Window().pixel(onLine) & 0xFFFFFF, 0xFFFFFFu);
}

TEST_F(HandlesTest, SetCoordinateTakesLengthAndAngle)
{
    Move(Pixel(PointF{-50.0f, 0.0f}));
    QString shownLength, shownAngle;
    gui_test::OnNextModal([&](QWidget* modal) {
        auto* dlg = qobject_cast<CSetCoordinateDlg*>(modal);
        ASSERT_NE(dlg, nullptr);
        shownLength = dlg->LengthEdit()->text();
        shownAngle = dlg->AngleEdit()->text();
        dlg->AngleEdit()->selectAll();
        QTest::keyClicks(dlg->AngleEdit(), QStringLiteral("60"));
        // The x and y fields follow the typed angle.
        EXPECT_EQ(dlg->XEdit()->text(), QStringLiteral("-100.000000"));
        QTest::keyClick(dlg, Qt::Key_Return);
    });
    view->WindowProc(WM_COMMAND, ID_POINT_SET_COORDINATE, 0);
    EXPECT_EQ(shownLength, QStringLiteral("100.000000"));
    EXPECT_EQ(shownAngle, QStringLiteral("0.000000"));
    const PointF p = view->GetDocument()->m_pattern.m_points[1];
    EXPECT_NEAR(p.x, -100.0, 1e-4);
    EXPECT_NEAR(p.y, 50.0 * std::sqrt(3.0), 1e-4);
}

}  // namespace
