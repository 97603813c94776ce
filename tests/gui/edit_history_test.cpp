// The edit history: every change of the pattern is one step that Edit > Undo and Redo (and
// their keys) take back and put again exactly, with the view transform left alone.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QWheelEvent>

#include <cstring>
#include <functional>

#include "editor_fixture.h"
#include "interaction/editor_resources_qt.h"
#include "interaction/pattern_editor.h"

namespace {

bool SameBytes(const CPattern& a, const CPattern& b)
{
    return std::memcmp(&a, &b, sizeof(CPattern)) == 0;
}

class EditHistoryTest : public EditorTest {
protected:
    void SetUp() override
    {
        EditorTest::SetUp();
        if (HasFatalFailure())
            return;
        // Points at x = -150, -50, 50, 150; a moved view, which undo must not touch.
        CPattern& p = Pattern();
        p.m_count = 3;
        for (int i = 0; i <= 3; ++i)
            p.m_points[i] = PointF{-150.0f + 100.0f * static_cast<float>(i), 0.0f};
        for (int i = 0; i < 3; ++i)
            p.m_kneeFlags[i] = 0;
        p.UpdateKnees();
        view->m_transform.m_origin = PointF{5.0f, -3.0f};
        view->m_transform.m_scale = 1.25f;
        view->setFocus();
    }

    CPattern& Pattern() const { return view->GetDocument()->m_pattern; }
    CEditHistory& History() const { return view->History(); }
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
    void Hover(QPoint at) { Send(QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton); }
    void ClickAt(QPoint at, Qt::KeyboardModifiers m = Qt::NoModifier)
    {
        Hover(at);
        Send(QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton, m);
        Send(QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton, m);
    }
    QString UndoText() const { return frame->Action(ID_EDIT_UNDO)->text(); }
    QString RedoText() const { return frame->Action(ID_EDIT_REDO)->text(); }
    void ExpectViewUnchanged() const
    {
        EXPECT_EQ(view->m_transform.m_origin, (PointF{5.0f, -3.0f}));
        EXPECT_EQ(view->m_transform.m_scale, 1.25f);
    }
};

TEST_F(EditHistoryTest, EditMenuSitsBetweenFileAndViewAndStartsEmpty)
{
    QStringList titles;
    for (QAction* a : frame->menuBar()->actions())
        titles << a->text();
    EXPECT_EQ(titles, QStringList({"&File", "&Edit", "&View", "&Help"}));
    EXPECT_EQ(frame->EditMenu()->actions().value(0), frame->Action(ID_EDIT_UNDO));
    EXPECT_EQ(frame->EditMenu()->actions().value(1), frame->Action(ID_EDIT_REDO));
    EXPECT_EQ(UndoText(), "&Undo\tCtrl+Z");
    EXPECT_FALSE(frame->Action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_FALSE(frame->Action(ID_EDIT_REDO)->isEnabled());
    EXPECT_TRUE(frame->Action(ID_EDIT_REDO)->shortcuts().contains(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)));
}

TEST_F(EditHistoryTest, ADragIsOneStepAndUndoRestoresThePatternExactly)
{
    const CPattern original = Pattern();
    const QPoint start = Pixel(Pattern().m_points[1]) + QPoint(2, 1);
    Hover(start);
    Send(QEvent::MouseButtonPress, start, Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= 10; ++i)
        Send(QEvent::MouseMove, start + QPoint(7 * i, -5 * i), Qt::NoButton, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, start + QPoint(70, -50), Qt::LeftButton, Qt::NoButton);
    const CPattern dragged = Pattern();
    ASSERT_FALSE(dragged.SameAs(original));
    EXPECT_EQ(History().Count(), 1);
    EXPECT_EQ(UndoText(), "&Undo Move Point\tCtrl+Z");
    EXPECT_TRUE(frame->Action(ID_EDIT_UNDO)->isEnabled());

    // A wheel zoom is a view setting, not a step.
    QWheelEvent wheel(QPointF(start), QPointF(view->mapToGlobal(start)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view, &wheel);
    EXPECT_EQ(History().Count(), 1);
    view->m_transform.m_origin = PointF{5.0f, -3.0f};
    view->m_transform.m_scale = 1.25f;

    view->repaint();
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_TRUE(SameBytes(Pattern(), original));
    EXPECT_NE(view->m_bRedraw, 0);
    ExpectViewUnchanged();
    EXPECT_FALSE(frame->Action(ID_EDIT_UNDO)->isEnabled());
    EXPECT_EQ(RedoText(), "&Redo Move Point\tCtrl+Y");

    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_TRUE(SameBytes(Pattern(), dragged));
    QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
    EXPECT_TRUE(SameBytes(Pattern(), dragged));
    ExpectViewUnchanged();

    // A second drag is a second step; a press and release on empty space is none.
    const QPoint other = Pixel(Pattern().m_points[2]);
    Hover(other);
    Send(QEvent::MouseButtonPress, other, Qt::LeftButton, Qt::LeftButton);
    Send(QEvent::MouseMove, other + QPoint(0, 30), Qt::NoButton, Qt::LeftButton);
    Send(QEvent::MouseButtonRelease, other + QPoint(0, 30), Qt::LeftButton, Qt::NoButton);
    ClickAt(Pixel(PointF{0.0f, 200.0f}));
    EXPECT_EQ(History().Count(), 2);
    frame->Action(ID_EDIT_UNDO)->trigger();
    EXPECT_TRUE(SameBytes(Pattern(), dragged));
}

TEST_F(EditHistoryTest, EveryKindOfEditIsAStepNamedInTheMenu)
{
    struct Case {
        const char* name;
        std::function<void()> edit;
    };
    const QPoint knee = Pixel(Pattern().m_knees[1]);
    auto command = [this](QPoint at, uint32_t id) {
        Hover(at);
        view->WindowProc(WM_COMMAND, id, 0);
    };
    const Case cases[] = {
        {"Change Knee Direction", [&] { ClickAt(knee); }},
        {"Hide Knee", [&] { ClickAt(knee, Qt::ShiftModifier); }},
        // The menu's items toggle one flag each; the name says which way.
        {"Unreverse Knee", [&] { command(knee, ID_KNEE_REVERSE); }},
        {"Mirror Knee", [&] { command(knee, ID_KNEE_MIRROR); }},
        {"Set Knee Static", [&] { command(knee, ID_KNEE_STATIC); }},
        {"Unhide Knee", [&] { command(knee, ID_KNEE_HIDE); }},
        {"Add Point", [&] { ClickAt(Pixel(PointF{0.0f, 150.0f}), Qt::ControlModifier); }},
        {"Remove Point", [&] { ClickAt(Pixel(Pattern().m_points[2]), Qt::ControlModifier); }},
        {"Add Point", [&] { command(Pixel(PointF{0.0f, -150.0f}), ID_POINT_ADD); }},
        {"Remove Point", [&] { command(Pixel(Pattern().m_points[1]), ID_POINT_REMOVE); }},
        {"Set Coordinate", [&] {
             gui_test::OnNextModal([](QWidget* modal) {
                 auto* dlg = qobject_cast<CSetCoordinateDlg*>(modal);
                 ASSERT_NE(dlg, nullptr);
                 dlg->XEdit()->setText("12.5");
                 QTest::keyClick(dlg, Qt::Key_Return);
             });
             command(Pixel(Pattern().m_points[2]), ID_POINT_SET_COORDINATE);
         }},
        {"Set as Default View", [&] { QTest::keyClick(frame, Qt::Key_D, Qt::ControlModifier); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        view->m_transform.m_origin = PointF{5.0f, -3.0f};
        view->m_transform.m_scale = 1.25f;
        const CPattern before = Pattern();
        c.edit();
        // After a dialog the window takes the keys again once it is active.
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
        const CPattern after = Pattern();
        ASSERT_FALSE(after.SameAs(before));
        EXPECT_EQ(UndoText(), QStringLiteral("&Undo %1\tCtrl+Z").arg(QLatin1String(c.name)));
        const PointF origin = view->m_transform.m_origin;
        QTest::keyClick(view, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_TRUE(SameBytes(Pattern(), before));
        QTest::keyClick(view, Qt::Key_Y, Qt::ControlModifier);
        EXPECT_TRUE(SameBytes(Pattern(), after));
        EXPECT_EQ(view->m_transform.m_origin, origin);
    }
    // Cancelled Set Coordinate and a refused removal make no step.
    const int steps = History().Count();
    gui_test::OnNextModal([](QWidget* modal) { QTest::keyClick(modal, Qt::Key_Escape); });
    command(Pixel(Pattern().m_points[1]), ID_POINT_SET_COORDINATE);
    EXPECT_EQ(History().Count(), steps);

    // Undone all the way: the first pattern, and the hit state names what is there now.
    while (History().CanUndo())
        frame->Action(ID_EDIT_UNDO)->trigger();
    EXPECT_EQ(Pattern().m_count, 3);
    EXPECT_TRUE(view->m_hitKind == HIT_NONE || view->m_hitIndex <= Pattern().m_count);
}

TEST_F(EditHistoryTest, NewAndOpenClearTheHistory)
{
    ClickAt(Pixel(Pattern().m_knees[0]));
    ASSERT_TRUE(History().CanUndo());
    gui_test::OnNextModal([](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        ASSERT_NE(box, nullptr);
        box->button(QMessageBox::Discard)->click();
    });
    QTest::keyClick(frame, Qt::Key_N, Qt::ControlModifier);
    EXPECT_FALSE(History().CanUndo());
    EXPECT_FALSE(frame->Action(ID_EDIT_UNDO)->isEnabled());
}

}  // namespace
