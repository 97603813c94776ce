// The status bar says when the picture is incomplete, and "Ready" again once it is whole.
#include <QDir>

#include "editor_fixture.h"

TEST_F(EditorTest, IncompletePictureIsNamedInTheStatusBarUntilAWholeOneFollows)
{
    // The dragon example in fill mode needs twice the 8,000 points of the default Draw Limit.
    const QDir examples(QDir(QStringLiteral(ZARNIX_TEST_DATA_DIR)).filePath(QStringLiteral("../../examples")));
    ASSERT_TRUE(m_app->OpenDocumentFile(examples.filePath(QStringLiteral("dragon.zarnix"))));
    view->repaint();
    EXPECT_EQ(Pane0(), "Ready");
    frame->OnCommand(ID_VIEW_FILL_MODE);
    view->repaint();
    EXPECT_EQ(Pane0(), "Drawing stopped at the fill point budget after 8,000 points");

    // A menu prompt replaces it for as long as the item is highlighted; idle shows it again.
    frame->OnMenuSelect(ID_FILE_OPEN);
    EXPECT_NE(Pane0(), "Drawing stopped at the fill point budget after 8,000 points");
    frame->OnSetMessageString(AFX_IDS_IDLEMESSAGE);
    EXPECT_EQ(Pane0(), "Drawing stopped at the fill point budget after 8,000 points");

    // A larger Draw Limit gives the points it needs: whole again.
    TypeInto(1004, QStringLiteral("3000"));
    view->repaint();
    EXPECT_EQ(Pane0(), "Ready");

    // A deadline that has passed before the picture starts stops it at the 256th point.
    view->m_nDrawLimit = -1;
    frame->OnCommand(ID_VIEW_FILL_MODE);
    view->repaint();
    EXPECT_EQ(Pane0(), "Drawing stopped at the Draw Limit after 256 lines");

    // An outcome the user was told of (an export's) stays through the repaint that follows.
    frame->SetMessageText(QStringLiteral("Exported"));
    view->Redraw();
    view->repaint();
    EXPECT_EQ(Pane0(), "Exported");
    view->m_nDrawLimit = 1000;
    view->Redraw();
    view->repaint();
    frame->OnSetMessageString(AFX_IDS_IDLEMESSAGE);
    EXPECT_EQ(Pane0(), "Ready");
}
