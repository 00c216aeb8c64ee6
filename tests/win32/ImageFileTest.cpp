// The Windows build's image files: the format a name asks for, a bitmap's exact pixels, the
// encoders' files, and the refusals that leave an old file as it was.

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "support/UniqueFolder.h"
#include "win32/ImageFile.h"

namespace kestiva {
namespace {

// 5 x 3 pixels, each a colour of its own, so that a swapped channel, row or column shows.
PixelBuffer testPicture() {
    PixelBuffer picture;
    picture.resize(5, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x)
            picture.view().row(y)[x] = 0xFF000000u | uint32_t(x * 50) << 16 |
                                       uint32_t(y * 100) << 8 | uint32_t(255 - x * 20 - y * 7);
    return picture;
}

std::string fileBytes(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t littleEndian(const std::string& bytes, std::size_t at, int count) {
    uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = value << 8 | uint8_t(bytes[at + std::size_t(i)]);
    return value;
}

class ImageFileTest : public testing::Test {
protected:
    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder_, ignored);
    }
    std::string file(const std::string& name) const { return (folder_ / name).generic_string(); }

    std::filesystem::path folder_ =
        test::makeUniqueFolder(std::filesystem::temp_directory_path(), "kestiva-image-");
};

TEST(ImageFormat, TheExtensionNamesTheFormatInAnyCase) {
    const struct {
        const char* path;
        const char* format;
    } cases[] = {
        {"graph.bmp", "bmp"},
        {"GRAPH.BMP", "bmp"},
        {"a/b.c/graph.Jpg", "jpg"},
        {"graph.jpeg", "jpeg"},
        {"graph.png", "png"},
        {"C:\\x.y\\graph.PNG", "png"},
        {"graph.tar.png", "png"},
        {"graph", ""},
        {"graph.", ""},
        {"graph.gif", ""},
        {"folder.png/graph", ""},
        {"folder.png\\graph", ""},
        {"graph.pngx", ""},
        {".png", "png"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(imageFormatForPath(c.path), c.format) << c.path;
}

TEST_F(ImageFileTest, ABitmapHoldsEveryPixelBottomRowFirst) {
    const PixelBuffer picture = testPicture();
    ASSERT_TRUE(saveImageFile(picture, file("picture.BMP")));
    const std::string bytes = fileBytes(file("picture.BMP"));
    ASSERT_EQ(bytes.substr(0, 2), "BM");
    const uint32_t offset = littleEndian(bytes, 10, 4);
    EXPECT_EQ(littleEndian(bytes, 2, 4), bytes.size());
    EXPECT_EQ(littleEndian(bytes, 18, 4), 5u);   // width
    EXPECT_EQ(littleEndian(bytes, 22, 4), 3u);   // height, positive: bottom row first
    EXPECT_EQ(littleEndian(bytes, 28, 2), 24u);  // bits a pixel
    const std::size_t stride = 16;               // 15 bytes padded to 4
    ASSERT_EQ(bytes.size(), offset + 3 * stride);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 5; ++x) {
            const std::size_t at = offset + std::size_t(2 - y) * stride + std::size_t(x) * 3;
            EXPECT_EQ(0xFF000000u | littleEndian(bytes, at, 3), picture.at(x, y)) << x << "," << y;
        }
    // The clipboard's bitmap is this file after its file header.
    EXPECT_EQ(bitmapFileBytes(picture), bytes);
}

TEST_F(ImageFileTest, PngAndJpegFilesCarryTheirSignatureAndSize) {
    const PixelBuffer picture = testPicture();
    ASSERT_TRUE(saveImageFile(picture, file("picture.png")));
    const std::string png = fileBytes(file("picture.png"));
    ASSERT_GT(png.size(), 24u);
    EXPECT_EQ(png.substr(0, 8), "\x89PNG\r\n\x1A\n");
    EXPECT_EQ(png.substr(12, 4), "IHDR");
    EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x05\0\0\0\x03", 8));  // big-endian size
    for (const char* name : {"picture.jpg", "picture.JPEG"}) {
        ASSERT_TRUE(saveImageFile(picture, file(name))) << name;
        const std::string jpeg = fileBytes(file(name));
        ASSERT_GT(jpeg.size(), 4u) << name;
        EXPECT_EQ(jpeg.substr(0, 3), "\xFF\xD8\xFF") << name;
        EXPECT_EQ(jpeg.substr(jpeg.size() - 2), "\xFF\xD9") << name;
    }
}

TEST_F(ImageFileTest, ARefusedSaveLeavesTheOldFileAsItWas) {
    const PixelBuffer picture = testPicture();
    for (const char* name : {"old.gif", "old.png"}) {
        std::ofstream(file(name), std::ios::binary) << "old picture";
        SCOPED_TRACE(name);
        if (std::string(name) == "old.gif") {
            EXPECT_FALSE(saveImageFile(picture, file(name)));  // no encoder
        } else {
            EXPECT_FALSE(saveImageFile(PixelBuffer(), file(name)));  // nothing to write
        }
        EXPECT_EQ(fileBytes(file(name)), "old picture");
    }
    EXPECT_FALSE(saveImageFile(picture, file("missing/picture.bmp")));
    EXPECT_FALSE(std::filesystem::exists(file("missing")));
    // A folder where the file would go is not replaced.
    std::filesystem::create_directory(file("taken.png"));
    EXPECT_FALSE(saveImageFile(picture, file("taken.png")));
    EXPECT_TRUE(std::filesystem::is_directory(file("taken.png")));
    // Nothing but the files above is left behind: no temporary file of a refused save.
    int entries = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder_))
        ++entries;
    EXPECT_EQ(entries, 3);
}

}  // namespace
}  // namespace kestiva
