// The view's repaint protocol and what it shows.
#include <QElapsedTimer>
#include <QImage>

#include <cmath>
#include <cstdio>

#include "editor_fixture.h"

namespace {

// Counts the pixels of an image that are not white.
int InkPixels(const QImage& image)
{
    int ink = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            ink += (image.pixel(x, y) & 0xFFFFFF) != 0xFFFFFF ? 1 : 0;
    return ink;
}

}  // namespace

TEST_F(EditorTest, PaintRegeneratesOnlyWhenTheFlagIsSet)
{
    view->repaint();
    EXPECT_FALSE(PaintRegenerates()) << "a second paint copies the cached picture";
    EXPECT_EQ(view->m_bRedraw, 0);
    // A resize to the same size keeps the picture.
    view->resize(view->size());
    EXPECT_FALSE(PaintRegenerates());
    // A real resize redraws, with the canvas at the view's size in device pixels.
    frame->resize(frame->width() + 31, frame->height() + 17);
    EXPECT_TRUE(gui_test::WaitFor([&] { return view->m_nWidth == view->DeviceSize().width(); }));
    EXPECT_EQ(view->m_nHeight, view->DeviceSize().height());
    EXPECT_EQ(view->m_transform.m_center.x, view->m_nWidth >> 1);
    EXPECT_TRUE(PaintRegenerates());
    EXPECT_FALSE(PaintRegenerates());
}

TEST_F(EditorTest, PictureFollowsTheSwitches)
{
    // The picture alone, without the handles drawn over it.
    frame->OnCommand(ID_VIEW_HANDLES);
    ASSERT_FALSE(view->ShowHandles());
    view->repaint();
    const QImage shown = view->grab().toImage();
    EXPECT_GT(InkPixels(shown), 100) << "the new pattern's fractal is drawn";
    // Pattern and fractal both off: plain white.
    QTest::keyClick(frame, Qt::Key_P, Qt::ControlModifier);
    QTest::keyClick(frame, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(InkPixels(view->grab().toImage()), 0);
    // The widget shows exactly the canvas.
    QTest::keyClick(frame, Qt::Key_F, Qt::ControlModifier);
    const QImage again = view->grab().toImage().convertToFormat(QImage::Format_RGB32);
    const QImage canvas = view->CanvasImage();
    ASSERT_EQ(again.size(), canvas.size() / canvas.devicePixelRatio());
    EXPECT_EQ(InkPixels(again), InkPixels(canvas));
}

TEST_F(EditorTest, StaysUsableWithALargePatternAtManyIterations)
{
    // 32 segments around most of a circle: every copy is half as long as its parent, so
    // at 99 iterations the picture never ends by itself; the Draw Limit bounds each paint.
    CPattern& pattern = m_app->Document()->m_pattern;
    pattern.m_count = 32;
    for (int i = 0; i <= 32; ++i) {
        const double angle = (10.0 + 340.0 * i / 32.0) * 3.14159265358979 / 180.0;
        pattern.m_points[i] = PointF{static_cast<float>(200.0 * std::sin(angle)), static_cast<float>(200.0 * std::cos(angle))};
    }
    for (int i = 0; i < 32; ++i)
        pattern.m_kneeFlags[i] = static_cast<uint8_t>(i % 4);
    pattern.UpdateKnees();
    TypeInto(IDC_ITERATIONS, "99");
    ASSERT_EQ(view->m_nIterations, 99);
    QElapsedTimer timer;
    timer.start();
    view->repaint();
    const qint64 first = timer.restart();
    QTest::keyClick(frame, Qt::Key_M, Qt::ControlModifier);
    view->repaint();
    const qint64 fill = timer.elapsed();
    // The budget is 1000 ms; allow for the clock being read every 256 lines and slow machines.
    std::printf("paint %lld ms, fill paint %lld ms\n", static_cast<long long>(first), static_cast<long long>(fill));
    EXPECT_LT(first, 2500);
    EXPECT_LT(fill, 2500);
    // Between paints the window answers at once.
    timer.restart();
    QTest::keyClick(frame, Qt::Key_F11);
    QTest::keyClick(frame, Qt::Key_F11);
    EXPECT_LT(timer.elapsed(), 500);
}
