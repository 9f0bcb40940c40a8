// The size a picture's header declares, read before decoding: pictures above the pixel limit
// and files that are not regular files do not load, whatever their format.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include <opencv2/imgcodecs.hpp>

#include "platform/image_loader.h"
#include "platform/picture_header.h"
#include "support/temp_dir.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;

std::string le(uint32_t value, int bytes) {
    std::string text;
    for (int i = 0; i < bytes; ++i) text += static_cast<char>(value >> (8 * i));
    return text;
}

std::string be(uint32_t value, int bytes) {
    std::string text;
    for (int i = bytes - 1; i >= 0; --i) text += static_cast<char>(value >> (8 * i));
    return text;
}

// The first bytes of a file of each format declaring `w` x `h`.
std::string header(PictureFormat format, uint32_t w, uint32_t h) {
    switch (format) {
    case PictureFormat::Jpeg:
        return std::string("\xFF\xD8\xFF\xC0\0\x11\x08", 7) + be(h, 2) + be(w, 2) +
               std::string(12, '\1');
    case PictureFormat::Png:
        return std::string("\x89PNG\r\n\x1a\n\0\0\0\x0dIHDR", 16) + be(w, 4) + be(h, 4) +
               std::string(9, '\0');
    case PictureFormat::Bmp:
        return "BM" + std::string(12, '\0') + le(40, 4) + le(w, 4) + le(h, 4) + std::string(8, '\0');
    case PictureFormat::Webp:
        return "RIFF" + le(100, 4) + "WEBPVP8X" + le(10, 4) + std::string(4, '\0') + le(w - 1, 3) +
               le(h - 1, 3);
    case PictureFormat::Tiff:
        return "II*" + std::string(1, '\0') + le(8, 4) + le(2, 2) + le(256, 2) + le(4, 2) +
               le(1, 4) + le(w, 4) + le(257, 2) + le(3, 2) + le(1, 4) + le(h, 4);
    }
    return {};
}

TEST(PictureHeader, EveryFormatsSizeIsReadAndABombRefused) {
    struct Row {
        PictureFormat format;
        uint32_t width, height;
        bool refused;
    };
    const Row rows[] = {
        {PictureFormat::Jpeg, 640, 480, false},   {PictureFormat::Jpeg, 30000, 30000, true},
        {PictureFormat::Png, 10000, 10000, false}, {PictureFormat::Png, 30000, 30000, true},
        {PictureFormat::Bmp, 64, 48, false},       {PictureFormat::Bmp, 20000, 6000, true},
        {PictureFormat::Webp, 16383, 6000, false}, {PictureFormat::Webp, 16384, 16384, true},
        {PictureFormat::Tiff, 64, 48, false},      {PictureFormat::Tiff, 100001, 1001, true},
    };
    for (const Row& row : rows) {
        const std::string bytes = header(row.format, row.width, row.height);
        const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
        const std::optional<PictureHeader> peeked = peekPictureHeader(data, bytes.size());
        ASSERT_TRUE(peeked) << static_cast<int>(row.format);
        EXPECT_EQ(peeked->format, row.format);
        EXPECT_EQ(peeked->width, row.width) << static_cast<int>(row.format);
        EXPECT_EQ(peeked->height, row.height) << static_cast<int>(row.format);
        EXPECT_EQ(pictureRefusal(data, bytes.size()).empty(), !row.refused)
            << static_cast<int>(row.format) << " " << row.width << "x" << row.height;
    }
    const std::string gif = "GIF89a";
    EXPECT_FALSE(peekPictureHeader(reinterpret_cast<const unsigned char*>(gif.data()), gif.size()));
}

// The loader refuses them before decoding (a declared picture of gigabytes would otherwise
// be allocated), and never waits on a FIFO.
TEST(PictureHeader, TheLoaderRefusesBombsAndFifos) {
    ScopedTempDir dir;
    TurboJpegLoader loader;
    cv::Mat into;
    for (PictureFormat format : {PictureFormat::Jpeg, PictureFormat::Png, PictureFormat::Bmp,
                                 PictureFormat::Webp, PictureFormat::Tiff}) {
        const std::string path = dir / ("bomb" + std::to_string(static_cast<int>(format)));
        std::ofstream(path, std::ios::binary) << header(format, 30000, 30000);
        EXPECT_FALSE(loader.loadColor(path, into)) << path;
        EXPECT_TRUE(into.empty());
        EXPECT_NE(pictureRefusal(path).find("30000 x 30000 pixels"), std::string::npos);
    }
    const std::string fifo = dir / "clip_00001.jpg";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    EXPECT_FALSE(loader.loadColor(fifo, into));
    EXPECT_EQ(pictureRefusal(fifo), "it is not a regular file");
}

// WebP and TIFF load like PNG and BMP.
TEST(PictureHeader, WebpAndTiffLoad) {
    ScopedTempDir dir;
    TurboJpegLoader loader;
    const cv::Mat picture(24, 32, CV_8UC3, cv::Scalar(30, 120, 210));
    for (const char* name : {"a.webp", "a.tiff", "a.bmp", "a.png"}) {
        const std::string path = dir / name;
        ASSERT_TRUE(cv::imwrite(path, picture, {cv::IMWRITE_WEBP_QUALITY, 101})) << name;
        cv::Mat loaded;
        ASSERT_TRUE(loader.loadColor(path, loaded)) << name;
        EXPECT_EQ(loaded.size(), picture.size()) << name;
        EXPECT_NEAR(loaded.at<cv::Vec3b>(5, 5)[2], 210, 3) << name;
    }
}

}  // namespace
}  // namespace kalvento::test
