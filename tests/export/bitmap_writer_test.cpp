// The bitmap writer: header fields, the order of the rows, and the refusals.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "common/export_test_support.h"
#include "view/memory_canvas.h"

using namespace export_test;

namespace {

uint32_t Get32(const std::string& bytes, size_t at)
{
    uint32_t v = 0;
    for (int i = 3; i >= 0; --i)
        v = (v << 8) | static_cast<uint8_t>(bytes[at + i]);
    return v;
}

uint16_t Get16(const std::string& bytes, size_t at)
{
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[at]) | (static_cast<uint8_t>(bytes[at + 1]) << 8));
}

// A canvas of width x height whose bitmap has exactly that size, every pixel distinct.
void PrepareCanvas(CMemoryCanvas& canvas, int32_t width, int32_t height)
{
    canvas.m_nWidth = width;
    canvas.m_nHeight = height;
    ASSERT_TRUE(canvas.m_bitmap.Create(width, height));
    for (int32_t y = 0; y < height; ++y) {
        for (int32_t x = 0; x < width; ++x)
            canvas.m_bitmap.Row(y)[x] = PixelFromColor(RGB(static_cast<uint8_t>(10 * x + 1), static_cast<uint8_t>(y + 100),
                                                           static_cast<uint8_t>(200 - x - y)));
    }
}

void ExpectHeader(const std::string& file, int32_t width, int32_t height)
{
    const uint32_t image = 4u * static_cast<uint32_t>(width) * static_cast<uint32_t>(height);
    ASSERT_EQ(file.size(), 54u + image);
    EXPECT_EQ(file.substr(0, 2), "BM");
    EXPECT_EQ(Get32(file, 2), 54u + image);  // file size
    EXPECT_EQ(Get16(file, 6), 0);
    EXPECT_EQ(Get16(file, 8), 0);
    EXPECT_EQ(Get32(file, 10), 54u);  // pixel data offset
    EXPECT_EQ(Get32(file, 14), 40u);  // info header size
    EXPECT_EQ(static_cast<int32_t>(Get32(file, 18)), width);
    EXPECT_EQ(static_cast<int32_t>(Get32(file, 22)), height);  // positive: bottom-up rows
    EXPECT_EQ(Get16(file, 26), 1);   // planes
    EXPECT_EQ(Get16(file, 28), 32);  // bits per pixel
    EXPECT_EQ(Get32(file, 30), 0u);  // uncompressed
    EXPECT_EQ(Get32(file, 34), image);
    for (size_t at = 38; at < 54; at += 4)
        EXPECT_EQ(Get32(file, at), 0u) << at;  // resolutions and colour counts
}

TEST(BitmapWriterTest, ThreeByTwoStoresCanvasRowsInMemoryOrder)
{
    ScratchFolder folder;
    CMemoryCanvas canvas;
    PrepareCanvas(canvas, 3, 2);
    std::string error;
    ASSERT_EQ(canvas.SaveBitmap(folder.File("small.bmp").c_str(), &error), 1) << error;
    const std::string file = ReadBytes(folder.File("small.bmp"));
    ExpectHeader(file, 3, 2);
    ASSERT_EQ(file.size(), 78u);
    // Row k of the file is canvas row k; each pixel blue, green, red, 0.
    for (int y = 0; y < 2; ++y) {
        for (int x = 0; x < 3; ++x) {
            const size_t at = 54 + 12 * y + 4 * x;
            EXPECT_EQ(static_cast<uint8_t>(file[at + 0]), 200 - x - y) << x << "," << y;
            EXPECT_EQ(static_cast<uint8_t>(file[at + 1]), y + 100) << x << "," << y;
            EXPECT_EQ(static_cast<uint8_t>(file[at + 2]), 10 * x + 1) << x << "," << y;
            EXPECT_EQ(static_cast<uint8_t>(file[at + 3]), 0) << x << "," << y;
        }
    }
}

TEST(BitmapWriterTest, RowsWrittenAsTheyBecomeFinalGiveTheSavedFile)
{
    ScratchFolder folder;
    CMemoryCanvas canvas;
    PrepareCanvas(canvas, 5, 7);
    std::string error;
    CBitmapFileStream stream;
    ASSERT_TRUE(stream.Open(canvas, folder.File("streamed.bmp").c_str(), &error)) << error;
    stream.RowsFinished(2);
    stream.RowsFinished(1);  // never backwards
    stream.RowsFinished(4);
    // Drawn anew after all: rows told before change, and the file starts again.
    canvas.m_bitmap.Row(0)[0] = 0x123456;
    canvas.m_bitmap.Row(3)[4] = 0x654321;
    stream.RowsRedrawn();
    stream.RowsFinished(3);
    EXPECT_FALSE(std::filesystem::exists(folder.File("streamed.bmp")));  // only when closed
    canvas.m_bitmap.Row(6)[1] = 0xABCDEF;
    ASSERT_TRUE(stream.Close(&error)) << error;
    ASSERT_EQ(canvas.SaveBitmap(folder.File("saved.bmp").c_str(), &error), 1) << error;
    EXPECT_TRUE(ReadBytes(folder.File("streamed.bmp")) == ReadBytes(folder.File("saved.bmp")));

    // Abandoned, it leaves nothing behind.
    {
        CBitmapFileStream abandoned;
        ASSERT_TRUE(abandoned.Open(canvas, folder.File("abandoned.bmp").c_str(), &error)) << error;
        abandoned.RowsFinished(7);
    }
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"saved.bmp", "streamed.bmp"}));
}

TEST(BitmapWriterTest, ViewSizedPictureHasTheDocumentedFileSize)
{
    ScratchFolder folder;
    CMemoryCanvas canvas;
    PrepareCanvas(canvas, 800, 600);
    ASSERT_EQ(canvas.SaveBitmap(folder.File("view.bmp").c_str()), 1);
    const std::string file = ReadBytes(folder.File("view.bmp"));
    EXPECT_EQ(file.size(), 1920054u);
    ExpectHeader(file, 800, 600);
    // The last stored row is the canvas's last row.
    const size_t last = 54 + 599u * 3200u;
    EXPECT_EQ(static_cast<uint8_t>(file[last + 1]), static_cast<uint8_t>(599 + 100));
}

TEST(BitmapWriterTest, RefusesWithoutAMatchingBitmapAndWritesNothing)
{
    ScratchFolder folder;
    const std::string name = folder.File("out.bmp");
    std::string error;

    CMemoryCanvas empty;
    empty.m_nWidth = 10;
    empty.m_nHeight = 10;
    EXPECT_EQ(empty.SaveBitmap(name.c_str(), &error), 0);
    EXPECT_FALSE(error.empty());

    // The screen-sized bitmap of a view is larger than its canvas: not a picture to save.
    CMemoryCanvas larger;
    PrepareCanvas(larger, 20, 10);
    larger.m_nWidth = 10;
    error.clear();
    EXPECT_EQ(larger.SaveBitmap(name.c_str(), &error), 0);
    EXPECT_FALSE(error.empty());

    EXPECT_TRUE(folder.Entries().empty());
}

TEST(BitmapWriterTest, FileThatCannotBeCreatedIsReportedAndOldFileKept)
{
    ScratchFolder folder;
    CMemoryCanvas canvas;
    PrepareCanvas(canvas, 4, 4);
    std::filesystem::create_directory(folder.File("taken.bmp"));
    WriteBytes(folder.File("locked.bmp"), "old");
    std::filesystem::permissions(folder.File("locked.bmp"), std::filesystem::perms::owner_read);
    for (const std::string& name : {folder.File("taken.bmp"), folder.File("locked.bmp"), folder.File("none/x.bmp")}) {
        std::string error;
        EXPECT_EQ(canvas.SaveBitmap(name.c_str(), &error), 0) << name;
        EXPECT_FALSE(error.empty()) << name;
    }
    EXPECT_EQ(ReadBytes(folder.File("locked.bmp")), "old");
    EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"locked.bmp", "taken.bmp"}));
}

}  // namespace
