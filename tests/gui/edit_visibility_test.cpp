// What the window shows about the pattern being edited: the metrics pane, and the View and
// Help items that frame, zoom and explain.
#include <QDir>
#include <QStatusBar>

#include <cmath>

#include "app/mouse_keys_dlg_qt.h"
#include "editor_fixture.h"
#include "view/fractal_bounds.h"

namespace {

QString ExamplePath(const char* name)
{
    return QDir(QStringLiteral(ZARNIX_TEST_DATA_DIR)).filePath(QStringLiteral("../../examples/%1.zarnix").arg(name));
}

}  // namespace

TEST_F(EditorTest, MetricsPaneFollowsThePatternAndTheIterations)
{
    ASSERT_TRUE(m_app->OpenDocumentFile(ExamplePath("koch")));
    view->repaint();
    QLabel* pane = frame->MetricsPane();
    ASSERT_NE(pane, nullptr);
    // Shown beside the message pane in a window with room for both.
    frame->resize(frame->screen()->availableGeometry().width(), frame->height());
    EXPECT_TRUE(gui_test::WaitFor([&] { return pane->isVisible(); }));
    EXPECT_EQ(pane->text(), QStringLiteral("4 segments \u00b7 4096 lines \u00b7 D 1.2619"));

    TypeInto(IDC_ITERATIONS, QStringLiteral("9"));
    view->repaint();
    EXPECT_EQ(pane->text(), QStringLiteral("4 segments \u00b7 262144 lines \u00b7 D 1.2619"));

    // A pattern whose replaced segment outgrows the baseline has no finite dimension.
    CPattern before = view->GetDocument()->m_pattern;
    CPattern& pattern = view->GetDocument()->m_pattern;
    pattern.m_points[2] = PointF{0.0f, 400.0f};
    pattern.UpdateKnees();
    view->RecordStep(QStringLiteral("Move Point"), before);
    view->repaint();
    EXPECT_EQ(pane->text(), QStringLiteral("4 segments \u00b7 262144 lines \u00b7 D unbounded"));
}

TEST_F(EditorTest, FitAndZoomKeysFrameTheFractalAndZoomAboutTheCentre)
{
    ASSERT_TRUE(m_app->OpenDocumentFile(ExamplePath("dragon")));
    view->setFocus();
    // Ctrl+0 frames the dragon: its box, at the iterations on show, lies inside the view and
    // reaches the margin on one side.
    QTest::keyClick(view, Qt::Key_0, Qt::ControlModifier);
    FractalBoundsResult bounds;
    ASSERT_TRUE(ComputeFractalBounds(view->GetDocument()->m_pattern, view->m_nIterations, bounds));
    const CViewTransform& t = view->m_transform;
    const POINT low = t.WorldToScreen(static_cast<float>(bounds.box.minX), static_cast<float>(bounds.box.maxY));
    const POINT high = t.WorldToScreen(static_cast<float>(bounds.box.maxX), static_cast<float>(bounds.box.minY));
    const QSize size = view->DeviceSize();
    const int margin = std::max(4, std::min(size.width(), size.height()) / 25);
    EXPECT_GE(low.x, margin - 1);
    EXPECT_GE(low.y, margin - 1);
    EXPECT_LE(high.x, size.width() - margin + 1);
    EXPECT_LE(high.y, size.height() - margin + 1);
    EXPECT_TRUE(std::abs(low.x - margin) <= 1 || std::abs(low.y - margin) <= 1) << low.x << " " << low.y;

    // Zoom In (Ctrl++ and Ctrl+=) and Zoom Out (Ctrl+-): a wheel notch each, about the centre.
    const PointF origin = t.m_origin;
    const float scale = t.m_scale;
    QTest::keyClick(view, Qt::Key_Plus, Qt::ControlModifier);
    EXPECT_NEAR(t.m_scale, scale * std::exp(0.1f), scale * 1e-5f);
    QTest::keyClick(view, Qt::Key_Equal, Qt::ControlModifier);
    EXPECT_NEAR(t.m_scale, scale * std::exp(0.2f), scale * 1e-5f);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    QTest::keyClick(view, Qt::Key_Minus, Qt::ControlModifier);
    EXPECT_NEAR(t.m_scale, scale, scale * 1e-5f);
    EXPECT_NEAR(t.m_origin.x, origin.x, 1e-3f);
    EXPECT_NEAR(t.m_origin.y, origin.y, 1e-3f);
}

TEST_F(EditorTest, EscapeLeavesFullScreenAndCtrlQQuits)
{
    QTest::keyClick(frame, Qt::Key_Escape);
    EXPECT_FALSE(frame->IsFullScreenMode());
    QTest::keyClick(frame, Qt::Key_F11);
    ASSERT_TRUE(frame->IsFullScreenMode());
    QTest::keyClick(view, Qt::Key_Escape);
    EXPECT_FALSE(frame->IsFullScreenMode());
    EXPECT_FALSE(frame->Action(ID_VIEW_FULL_SCREEN)->isChecked());

    QTest::keyClick(frame, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_TRUE(gui_test::WaitFor([&] { return !frame->isVisible(); }));
}

TEST_F(EditorTest, MouseAndKeysListsGesturesAndEveryShortcut)
{
    QTest::keyClick(frame, Qt::Key_F1);
    CMouseKeysDlg* dialog = frame->MouseKeysDialog();
    ASSERT_NE(dialog, nullptr);
    EXPECT_TRUE(gui_test::WaitFor([&] { return dialog->isVisible(); }));
    const QString rows = dialog->Rows().join(QLatin1Char('\n'));
    for (const char* expected : {"Middle drag", "Shift + click on a knee", "Ctrl + click on a point", "Mouse wheel"})
        EXPECT_TRUE(rows.contains(QLatin1String(expected))) << expected;
    // Every action with a key is listed with its key.
    for (QAction* action : frame->actions()) {
        if (action->shortcut().isEmpty() || action->text().isEmpty())
            continue;
        EXPECT_TRUE(rows.contains(action->shortcut().toString(QKeySequence::NativeText)))
            << action->text().toStdString();
    }
}

TEST_F(EditorTest, ExamplesOpenAsUntitledCopies)
{
    QMenu* examples = frame->ExamplesMenu();
    ASSERT_NE(examples, nullptr);
    QStringList titles;
    for (QAction* action : examples->actions())
        titles << action->text();
    EXPECT_EQ(titles, QStringList({"Dragon", "Koch", "Levy C", "Peano", "Sierpinski Arrowhead", "Tree"}));
    examples->actions().at(1)->trigger();
    EXPECT_EQ(view->GetDocument()->m_pattern.m_count, 4);
    EXPECT_EQ(m_app->PathName(), QString());
    EXPECT_TRUE(m_app->Caption().startsWith(QStringLiteral("Untitled")));
    EXPECT_TRUE(m_app->RecentFiles().isEmpty());
}

TEST_F(EditorTest, BarFieldsAndButtonsExplainThemselves)
{
    EXPECT_EQ(Field(IDC_DETAIL)->toolTip(), QStringLiteral("Detail: smallest line drawn, in pixels"));
    EXPECT_EQ(Field(IDC_DRAW_LIMIT)->toolTip(), QStringLiteral("Draw Limit: time for one picture, in milliseconds"));
    EXPECT_FALSE(Field(IDC_ITERATIONS)->toolTip().isEmpty());
    for (int id : {IDC_ITERATIONS, IDC_DETAIL, IDC_DRAW_LIMIT})
        EXPECT_TRUE(Field(id)->hasFrame()) << id;
    for (QAction* action : frame->ToolBar()->actions()) {
        if (!action->isSeparator()) {
            EXPECT_FALSE(action->toolTip().isEmpty()) << action->data().toUInt();
        }
    }
    EXPECT_EQ(frame->Action(ID_VIEW_SHOW_FRACTAL)->toolTip(), QStringLiteral("Show Fractal (Ctrl+F)"));
}

TEST_F(EditorTest, WindowSizeAndBarLayoutAreRemembered)
{
    frame->resize(700, 500);
    QTest::keyClick(frame, Qt::Key_F11);
    QTest::keyClick(frame, Qt::Key_F11);
    frame->resize(700, 500);
    frame->OnCommand(ID_VIEW_TOOLBAR);
    frame->OnCommand(ID_VIEW_STATUS_BAR);
    ASSERT_TRUE(frame->close());
    m_app.reset();

    m_app = std::make_unique<CZarnix4App>();
    ASSERT_TRUE(m_app->InitInstance(QString()));
    frame = m_app->MainFrame();
    EXPECT_EQ(frame->size(), QSize(700, 500));
    EXPECT_TRUE(frame->ToolBar()->isHidden());
    EXPECT_TRUE(frame->statusBar()->isHidden());
    EXPECT_FALSE(frame->Action(ID_VIEW_TOOLBAR)->isChecked());
    EXPECT_FALSE(frame->IterationBar()->isHidden());
    EXPECT_TRUE(frame->Action(ID_VIEW_ITERATION_BAR)->isChecked());
}
