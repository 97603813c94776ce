// What the window shows about the pattern being edited: the metrics pane, and the View and
// Help items that frame, zoom and explain.
#include <QDir>
#include <QStatusBar>

#include "editor_fixture.h"

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
    EXPECT_TRUE(pane->isVisible());
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
