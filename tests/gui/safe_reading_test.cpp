// Opening files that are no documents: the message says so in plain words first; a FIFO is
// refused at once; Set as Default View is refused when a point would overflow.
#include <QFileInfo>
#include <QMessageBox>

#include <sys/stat.h>

#include "editor_fixture.h"

namespace {

// Closes the next message box and hands back its text.
void CaptureNextMessage(QString* text)
{
    gui_test::OnNextModal([text](QWidget* modal) {
        if (auto* box = qobject_cast<QMessageBox*>(modal))
            *text = box->text();
        modal->close();
    });
}

TEST_F(EditorTest, FilesThatAreNoDocumentsAreRefusedWithPlainWords)
{
    const CPattern before = m_app->Document()->m_pattern;
    QString message;
    const QString text = gui_test::WriteFile("letter.zarnix", "Dear reader,\nthis is a letter.\n");
    CaptureNextMessage(&message);
    EXPECT_FALSE(m_app->OpenDocumentFile(text));
    EXPECT_TRUE(message.startsWith("'letter.zarnix' is not a Zarnix document.")) << message.toStdString();
    EXPECT_TRUE(message.contains(QFileInfo(text).absoluteFilePath())) << message.toStdString();

    const QString fifo = QFileInfo(gui_test::Home().path() + "/pipe.zarnix").absoluteFilePath();
    ASSERT_EQ(::mkfifo(fifo.toLocal8Bit().constData(), 0666), 0);
    CaptureNextMessage(&message);
    EXPECT_FALSE(m_app->OpenDocumentFile(fifo));
    EXPECT_TRUE(message.contains("FIFO")) << message.toStdString();
    EXPECT_TRUE(m_app->Document()->m_pattern.SameAs(before));
}

TEST_F(EditorTest, SetAsDefaultViewIsRefusedWhenAPointWouldOverflow)
{
    CPattern& pattern = m_app->Document()->m_pattern;
    pattern.m_points[0] = PointF{-3.0e38f, 0.0f};
    pattern.UpdateKnees();
    view->m_transform.m_origin = PointF{3.0e38f, 0.0f};
    view->m_transform.m_scale = 1000.0f;
    const CPattern before = pattern;
    QTest::keyClick(frame, Qt::Key_D, Qt::ControlModifier);
    EXPECT_TRUE(pattern.SameAs(before));
    EXPECT_EQ(view->m_transform.m_scale, 1000.0f);
    EXPECT_FALSE(view->History().CanUndo());
    EXPECT_TRUE(Pane0().contains("refused")) << Pane0().toStdString();
}

}  // namespace
