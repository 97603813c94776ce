// Every document in examples/ opens with its own view and shows its whole fractal.
#include <QDir>
#include <QImage>

#include "editor_fixture.h"

namespace {

bool IsInk(QRgb pixel)
{
    return (pixel & 0xFFFFFF) != 0xFFFFFF;
}

}  // namespace

TEST_F(EditorTest, ExamplesOpenFramedWithTheirFractal)
{
    const QDir examples(QDir(QStringLiteral(ZARNIX_TEST_DATA_DIR)).filePath(QStringLiteral("../../examples")));
    const QStringList files = examples.entryList({QStringLiteral("*.zarnix")}, QDir::Files, QDir::Name);
    ASSERT_GE(files.size(), 6);
    frame->resize(900, 700);
    ASSERT_TRUE(gui_test::WaitFor([&] { return view->width() > 850; }));
    for (const QString& name : files) {
        SCOPED_TRACE(name.toStdString());
        ASSERT_TRUE(m_app->OpenDocumentFile(examples.filePath(name)));
        // Each example brings its view settings, so the transform is not the default one.
        EXPECT_NE(view->m_transform.m_scale, 1.0f);
        view->repaint();
        const QImage image = view->CanvasImage().convertToFormat(QImage::Format_RGB32);
        int ink = 0;
        int left = image.width(), right = -1, top = image.height(), bottom = -1;
        for (int y = 0; y < image.height(); ++y) {
            const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < image.width(); ++x) {
                if (!IsInk(row[x]))
                    continue;
                ++ink;
                left = std::min(left, x);
                right = std::max(right, x);
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        }
        EXPECT_GT(ink, 2000);
        // The whole picture lies inside the view with a margin, and fills a good part of it.
        EXPECT_GT(left, 8);
        EXPECT_GT(top, 8);
        EXPECT_LT(right, image.width() - 8);
        EXPECT_LT(bottom, image.height() - 8);
        EXPECT_GT(std::max(right - left, bottom - top), image.width() / 3);
    }
}
