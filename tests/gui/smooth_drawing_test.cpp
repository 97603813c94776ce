// View > Smooth Drawing and Edit > Copy Picture, as a user meets them.
#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>

#include "editor_fixture.h"

namespace {

// How many pixels of the picture are neither white nor black nor one of the overlay's
// colours: the antialiased picture's intermediate levels.
int IntermediateGreys(const QImage& picture)
{
    const QImage image = picture.convertToFormat(QImage::Format_RGB32);
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QRgb c = image.pixel(x, y);
            const int r = qRed(c);
            count += r == qGreen(c) && r == qBlue(c) && r > 20 && r < 200;
        }
    }
    return count;
}

TEST_F(EditorTest, SmoothDrawingIsOffByDefaultAndRemembered)
{
    QAction* smooth = frame->Action(ID_VIEW_SMOOTH_DRAWING);
    ASSERT_NE(smooth, nullptr);
    EXPECT_TRUE(smooth->isCheckable());
    EXPECT_FALSE(smooth->isChecked());
    EXPECT_FALSE(view->SmoothDrawing());
    // A new document at 9 iterations: the dragon's lines are diagonal.
    view->m_nIterations = 9;
    view->Redraw();
    EXPECT_TRUE(PaintRegenerates());
    EXPECT_EQ(IntermediateGreys(view->CanvasImage()), 0);

    smooth->trigger();
    EXPECT_TRUE(smooth->isChecked());
    EXPECT_TRUE(view->SmoothDrawing());
    EXPECT_TRUE(PaintRegenerates());
    const QImage picture = view->CanvasImage();
    EXPECT_EQ(picture.width(), view->DeviceSize().width());
    EXPECT_GT(IntermediateGreys(picture), 100);
    // The pattern overlay is still drawn: the middle point's square, seen without the fractal.
    view->OnToggleDisplay(ID_VIEW_SHOW_FRACTAL);
    EXPECT_TRUE(PaintRegenerates());
    const POINT middle = view->m_transform.WorldToScreen(m_app->Document()->m_pattern.m_points[1]);
    const QRgb square = view->CanvasImage().pixel(middle.x - 3, middle.y);
    EXPECT_EQ(qGreen(square), 223);
    EXPECT_EQ(qRed(square), 207);

    // The next start remembers the switch.
    m_app.reset();
    m_app = std::make_unique<CZarnix4App>();
    ASSERT_TRUE(m_app->InitInstance(QString()));
    EXPECT_TRUE(m_app->MainFrame()->Action(ID_VIEW_SMOOTH_DRAWING)->isChecked());
    EXPECT_TRUE(m_app->MainFrame()->View()->SmoothDrawing());
    m_app->MainFrame()->Action(ID_VIEW_SMOOTH_DRAWING)->trigger();
    EXPECT_FALSE(m_app->MainFrame()->View()->SmoothDrawing());
}

TEST_F(EditorTest, CopyPicturePutsTheViewOnTheClipboard)
{
    QAction* copy = frame->Action(ID_EDIT_COPY);
    ASSERT_NE(copy, nullptr);
    EXPECT_TRUE(copy->text().startsWith(QStringLiteral("&Copy Picture")));
    QGuiApplication::clipboard()->clear();
    view->setFocus();
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    ASSERT_NE(data, nullptr);
    ASSERT_TRUE(data->hasFormat(QStringLiteral("image/png")));
    QImage image;
    ASSERT_TRUE(image.loadFromData(data->data(QStringLiteral("image/png")), "PNG"));
    EXPECT_EQ(image.size(), view->DeviceSize());
    EXPECT_GT(IntermediateGreys(image), 0);
    ASSERT_TRUE(data->hasFormat(QStringLiteral("image/svg+xml")));
    const QByteArray svg = data->data(QStringLiteral("image/svg+xml"));
    EXPECT_TRUE(svg.contains("<svg")) << svg.left(200).toStdString();
    EXPECT_TRUE(svg.contains("<path"));

    // A fractal of too many lines for an SVG goes as PNG only, and the status bar says so.
    view->m_nIterations = 25;
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    ASSERT_NE(QGuiApplication::clipboard()->mimeData(), nullptr);
    EXPECT_TRUE(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("image/png")));
    EXPECT_FALSE(QGuiApplication::clipboard()->mimeData()->hasFormat(QStringLiteral("image/svg+xml")));
    EXPECT_TRUE(Pane0().contains(QStringLiteral("picture only")));
    view->m_nIterations = 7;
    // The window's own picture is unchanged and needs no redraw for the copy.
    EXPECT_FALSE(PaintRegenerates());
}

// On a real X display (run the GUI tests under xvfb-run with QT_QPA_PLATFORM=xcb) another
// program sees the copied types; skipped elsewhere.
TEST_F(EditorTest, CopyPictureOffersItsTypesToOtherPrograms)
{
    if (QGuiApplication::platformName() != QStringLiteral("xcb") || QStandardPaths::findExecutable("xclip").isEmpty())
        GTEST_SKIP() << "needs an X display and xclip";
    ASSERT_TRUE(view->CopyPicture());
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"), {"-selection", "clipboard", "-t", "TARGETS", "-o"});
    // The clipboard is served by this process's event loop while xclip asks.
    ASSERT_TRUE(gui_test::WaitFor([&]() { return xclip.state() == QProcess::NotRunning; }, 5000));
    const QString targets = QString::fromUtf8(xclip.readAllStandardOutput());
    EXPECT_TRUE(targets.contains(QStringLiteral("image/png"))) << targets.toStdString();
    EXPECT_TRUE(targets.contains(QStringLiteral("image/svg+xml"))) << targets.toStdString();
}

}  // namespace
