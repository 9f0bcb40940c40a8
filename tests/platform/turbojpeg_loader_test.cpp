// TurboJpegLoader: same pixels as cv::imread for every kind of JPEG, the fallback for other
// files, failure without a crash for broken files, and reuse of the caller's image buffer.

#include "platform/image_loader.h"

#include "support/temp_dir.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <turbojpeg.h>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

namespace kalvento {
namespace {

namespace fs = std::filesystem;

// A picture with sharp colour edges, smooth gradients and noise, so that every decoding step
// (IDCT, chroma upsampling, colour conversion, edge blocks) shows in the pixels.
cv::Mat testPicture(int width, int height, std::uint64_t seed = 7) {
    cv::Mat picture(height, width, CV_8UC3);
    for (int y = 0; y < height; ++y) {
        auto* row = picture.ptr<cv::Vec3b>(y);
        for (int x = 0; x < width; ++x) {
            row[x] = cv::Vec3b(static_cast<uchar>(x * 255 / std::max(1, width - 1)),
                               static_cast<uchar>(y * 255 / std::max(1, height - 1)),
                               static_cast<uchar>((x + y) % 256));
        }
    }
    cv::rectangle(picture, cv::Rect(width / 5, height / 4, width / 3, height / 3),
                  cv::Scalar(0, 0, 255), cv::FILLED);
    cv::circle(picture, cv::Point(width * 2 / 3, height / 2), std::max(3, height / 5),
               cv::Scalar(255, 40, 10), cv::FILLED);
    cv::line(picture, cv::Point(0, height - 1), cv::Point(width - 1, 0), cv::Scalar(20, 230, 20),
             2);
    cv::Mat noise(height, width, CV_8UC3);
    cv::RNG rng(seed);
    rng.fill(noise, cv::RNG::UNIFORM, 0, 40);
    picture += noise;
    return picture;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// Encodes with TurboJPEG, which (unlike cv::imwrite) chooses any chroma subsampling.
std::vector<unsigned char> encodeTurbo(const cv::Mat& image, int pixelFormat, int subsampling,
                                       int flags, int quality = 90) {
    tjhandle encoder = tjInitCompress();
    EXPECT_NE(encoder, nullptr);
    unsigned char* jpeg = nullptr;
    unsigned long jpegSize = 0;
    const int rc =
        tjCompress2(encoder, image.data, image.cols, static_cast<int>(image.step[0]), image.rows,
                    pixelFormat, &jpeg, &jpegSize, subsampling, quality, flags);
    EXPECT_EQ(rc, 0) << tjGetErrorStr2(encoder);
    std::vector<unsigned char> bytes;
    if (rc == 0) bytes.assign(jpeg, jpeg + jpegSize);
    tjFree(jpeg);
    tjDestroy(encoder);
    return bytes;
}

// Number of pixels where the two images differ; -1 when their sizes or types differ.
std::int64_t differingPixels(const cv::Mat& a, const cv::Mat& b) {
    if (a.size() != b.size() || a.type() != b.type()) return -1;
    cv::Mat diff;
    cv::absdiff(a, b, diff);
    cv::Mat any = diff.reshape(1, static_cast<int>(diff.total())) != 0;
    cv::Mat perPixel;
    cv::reduce(any, perPixel, 1, cv::REDUCE_MAX);
    return cv::countNonZero(perPixel);
}

// Loads `path` with the loader and with cv::imread and expects the same outcome and pixels.
void expectSameAsImread(const std::string& path, bool expectDecodable = true) {
    const cv::Mat reference = cv::imread(path, cv::IMREAD_COLOR);
    ASSERT_EQ(!reference.empty(), expectDecodable) << "cv::imread on " << path;
    TurboJpegLoader loader;
    cv::Mat loaded;
    ASSERT_EQ(loader.loadColor(path, loaded), !reference.empty()) << path;
    if (reference.empty()) {
        EXPECT_TRUE(loaded.empty());
        return;
    }
    EXPECT_EQ(loaded.type(), CV_8UC3);
    EXPECT_EQ(differingPixels(loaded, reference), 0) << path;
}

TEST(TurboJpegLoader, SameAsImreadForOpenCvJpegs) {
    test::ScopedTempDir dir;
    struct Case {
        const char* name;
        cv::Size size;
        std::vector<int> params;
    };
    const std::vector<Case> cases = {
        {"baseline.jpg", {640, 480}, {cv::IMWRITE_JPEG_QUALITY, 90}},
        {"odd_size.jpg", {333, 157}, {cv::IMWRITE_JPEG_QUALITY, 80}},
        {"tiny.jpg", {1, 1}, {}},
        {"thin.jpg", {97, 3}, {}},
        {"progressive.jpg", {321, 241}, {cv::IMWRITE_JPEG_PROGRESSIVE, 1}},
        {"optimized.jpg", {200, 150}, {cv::IMWRITE_JPEG_OPTIMIZE, 1}},
        {"restarts.jpg", {257, 129}, {cv::IMWRITE_JPEG_RST_INTERVAL, 3}},
        {"quality100.jpg", {160, 120}, {cv::IMWRITE_JPEG_QUALITY, 100}},
        {"quality5.jpg", {160, 120}, {cv::IMWRITE_JPEG_QUALITY, 5}},
        {"luma_chroma.jpg",
         {190, 110},
         {cv::IMWRITE_JPEG_LUMA_QUALITY, 95, cv::IMWRITE_JPEG_CHROMA_QUALITY, 30}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = dir / c.name;
        ASSERT_TRUE(cv::imwrite(path, testPicture(c.size.width, c.size.height), c.params));
        expectSameAsImread(path);
    }
}

TEST(TurboJpegLoader, SameAsImreadForGrayscaleJpegs) {
    test::ScopedTempDir dir;
    cv::Mat gray;
    cv::cvtColor(testPicture(301, 203), gray, cv::COLOR_BGR2GRAY);
    const std::string plain = dir / "gray.jpg";
    const std::string progressive = dir / "gray_progressive.jpg";
    ASSERT_TRUE(cv::imwrite(plain, gray));
    ASSERT_TRUE(cv::imwrite(progressive, gray, {cv::IMWRITE_JPEG_PROGRESSIVE, 1}));
    expectSameAsImread(plain);
    expectSameAsImread(progressive);

    TurboJpegLoader loader;
    cv::Mat loaded;
    ASSERT_TRUE(loader.loadColor(plain, loaded));
    ASSERT_EQ(loaded.type(), CV_8UC3);
    std::vector<cv::Mat> channels;
    cv::split(loaded, channels);
    EXPECT_EQ(cv::countNonZero(channels[0] != channels[1]), 0);
    EXPECT_EQ(cv::countNonZero(channels[1] != channels[2]), 0);
}

TEST(TurboJpegLoader, SameAsImreadForEveryChromaSubsampling) {
    test::ScopedTempDir dir;
    struct Case {
        const char* name;
        int subsampling;
    };
    const std::vector<Case> cases = {
        {"444", TJSAMP_444}, {"422", TJSAMP_422}, {"420", TJSAMP_420},
        {"440", TJSAMP_440}, {"411", TJSAMP_411}, {"gray", TJSAMP_GRAY},
    };
    const std::vector<cv::Size> sizes = {{640, 480}, {333, 157}, {17, 9}};
    for (const Case& c : cases) {
        for (const cv::Size& size : sizes) {
            for (const bool progressive : {false, true}) {
                const std::string name = std::string(c.name) + "_" + std::to_string(size.width) +
                                         (progressive ? "_progressive" : "") + ".jpg";
                SCOPED_TRACE(name);
                const cv::Mat picture = testPicture(size.width, size.height);
                const int flags = progressive ? TJFLAG_PROGRESSIVE : 0;
                const std::string path = dir / name;
                writeBytes(path, encodeTurbo(picture, TJPF_BGR, c.subsampling, flags));
                expectSameAsImread(path);
            }
        }
    }
}

TEST(TurboJpegLoader, CmykJpegLoadsLikeImread) {
    test::ScopedTempDir dir;
    cv::Mat cmyk(120, 160, CV_8UC4);
    cv::RNG rng(3);
    rng.fill(cmyk, cv::RNG::UNIFORM, 0, 256);
    cv::GaussianBlur(cmyk, cmyk, cv::Size(9, 9), 0);
    const std::string path = dir / "cmyk.jpg";
    writeBytes(path, encodeTurbo(cmyk, TJPF_CMYK, TJSAMP_444, 0));
    expectSameAsImread(path);
}

// Puts an EXIF block with the given orientation right after the start-of-image marker.
std::vector<unsigned char> withExifOrientation(const std::vector<unsigned char>& jpeg,
                                               std::uint16_t orientation, bool bigEndian) {
    std::vector<unsigned char> tiff;
    auto put16 = [&](std::uint16_t v) {
        if (bigEndian) {
            tiff.push_back(static_cast<unsigned char>(v >> 8));
            tiff.push_back(static_cast<unsigned char>(v & 0xFF));
        } else {
            tiff.push_back(static_cast<unsigned char>(v & 0xFF));
            tiff.push_back(static_cast<unsigned char>(v >> 8));
        }
    };
    auto put32 = [&](std::uint32_t v) {
        if (bigEndian) {
            put16(static_cast<std::uint16_t>(v >> 16));
            put16(static_cast<std::uint16_t>(v & 0xFFFF));
        } else {
            put16(static_cast<std::uint16_t>(v & 0xFFFF));
            put16(static_cast<std::uint16_t>(v >> 16));
        }
    };
    tiff.push_back(bigEndian ? 'M' : 'I');
    tiff.push_back(bigEndian ? 'M' : 'I');
    put16(42);
    put32(8);            // IFD0 right after the header
    put16(1);            // one entry
    put16(0x0112);       // orientation
    put16(3);            // SHORT
    put32(1);            // one value
    put16(orientation);  // the value, padded to four bytes
    put16(0);
    put32(0);  // no next IFD

    std::vector<unsigned char> body = {'E', 'x', 'i', 'f', 0, 0};
    body.insert(body.end(), tiff.begin(), tiff.end());
    const std::size_t length = body.size() + 2;
    std::vector<unsigned char> out(jpeg.begin(), jpeg.begin() + 2);  // SOI
    out.push_back(0xFF);
    out.push_back(0xE1);
    out.push_back(static_cast<unsigned char>(length >> 8));
    out.push_back(static_cast<unsigned char>(length & 0xFF));
    out.insert(out.end(), body.begin(), body.end());
    out.insert(out.end(), jpeg.begin() + 2, jpeg.end());
    return out;
}

TEST(TurboJpegLoader, ExifOrientationIsHonouredLikeImread) {
    test::ScopedTempDir dir;
    const cv::Mat picture = testPicture(160, 90);
    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", picture, jpeg));
    for (const bool bigEndian : {false, true}) {
        for (std::uint16_t orientation = 1; orientation <= 8; ++orientation) {
            const std::string name =
                "exif" + std::to_string(orientation) + (bigEndian ? "_mm" : "_ii") + ".jpg";
            SCOPED_TRACE(name);
            const std::string path = dir / name;
            writeBytes(path, withExifOrientation(jpeg, orientation, bigEndian));
            expectSameAsImread(path);
        }
    }
    // Orientations 5..8 turn the picture a quarter: the loaded image is 90 wide.
    TurboJpegLoader loader;
    cv::Mat loaded;
    ASSERT_TRUE(loader.loadColor(dir / "exif6_ii.jpg", loaded));
    EXPECT_EQ(loaded.size(), cv::Size(90, 160));
}

TEST(TurboJpegLoader, NonJpegFilesGoThroughImread) {
    test::ScopedTempDir dir;
    const cv::Mat picture = testPicture(123, 77);
    cv::Mat gray;
    cv::cvtColor(picture, gray, cv::COLOR_BGR2GRAY);
    cv::Mat deep;
    picture.convertTo(deep, CV_16UC3, 257.0);
    ASSERT_TRUE(cv::imwrite(dir / "colour.png", picture));
    ASSERT_TRUE(cv::imwrite(dir / "gray.png", gray));
    ASSERT_TRUE(cv::imwrite(dir / "deep.png", deep));
    ASSERT_TRUE(cv::imwrite(dir / "colour.bmp", picture));
    // A JPEG under another name is still a JPEG.
    ASSERT_TRUE(cv::imwrite(dir / "real.jpg", picture));
    fs::rename(dir / "real.jpg", dir / "named.png");

    for (const char* name : {"colour.png", "gray.png", "deep.png", "colour.bmp", "named.png"}) {
        SCOPED_TRACE(name);
        expectSameAsImread(dir / name);
    }
    TurboJpegLoader loader;
    cv::Mat loaded;
    ASSERT_TRUE(loader.loadColor(dir / "colour.png", loaded));
    EXPECT_EQ(differingPixels(loaded, picture), 0);  // PNG is lossless
}

TEST(TurboJpegLoader, MissingEmptyAndGarbageFilesFail) {
    test::ScopedTempDir dir;
    writeBytes(dir / "empty.jpg", {});
    std::vector<unsigned char> garbage(5000);
    cv::RNG rng(11);
    for (auto& b : garbage) b = static_cast<unsigned char>(rng.uniform(0, 256));
    garbage[0] = 'G';  // not a JPEG signature by chance
    writeBytes(dir / "garbage.jpg", garbage);
    std::vector<unsigned char> fakeJpeg = garbage;
    fakeJpeg[0] = 0xFF;
    fakeJpeg[1] = 0xD8;
    fakeJpeg[2] = 0xFF;
    fakeJpeg[3] = 0xE0;
    writeBytes(dir / "fake.jpg", fakeJpeg);
    writeBytes(dir / "signature_only.jpg", {0xFF, 0xD8, 0xFF});
    fs::create_directory(dir / "folder.jpg");

    // Found by fuzzing: cv::imread throws for a declared size above its limit.
    fs::copy_file(std::string(KALVENTO_SOURCE_DIR) +
                      "/tests/fuzz/corpus/clip_loader/crash-imread-throws-on-huge-size.jpg",
                  dir / "huge.jpg");
    // Also found by fuzzing: OpenCV's DICOM decoder aborts the process on this file.
    fs::copy_file(std::string(KALVENTO_SOURCE_DIR) +
                      "/tests/fuzz/corpus/clip_loader/crash-dicom-decoder-aborts.jpg",
                  dir / "dicom.jpg");

    TurboJpegLoader loader;
    for (const char* name : {"missing.jpg", "empty.jpg", "garbage.jpg", "fake.jpg",
                             "signature_only.jpg", "folder.jpg", "huge.jpg", "dicom.jpg"}) {
        SCOPED_TRACE(name);
        cv::Mat into = testPicture(40, 30);  // must come back empty
        EXPECT_FALSE(loader.loadColor(dir / name, into));
        EXPECT_TRUE(into.empty());
    }
    // The loader still works after failures.
    ASSERT_TRUE(cv::imwrite(dir / "good.jpg", testPicture(64, 48)));
    cv::Mat into;
    EXPECT_TRUE(loader.loadColor(dir / "good.jpg", into));
    EXPECT_EQ(into.size(), cv::Size(64, 48));
}

TEST(TurboJpegLoader, TruncatedJpegLoadsExactlyAsImreadDoes) {
    test::ScopedTempDir dir;
    for (const bool progressive : {false, true}) {
        std::vector<unsigned char> jpeg;
        ASSERT_TRUE(cv::imencode(".jpg", testPicture(320, 240), jpeg,
                                 {cv::IMWRITE_JPEG_PROGRESSIVE, progressive ? 1 : 0}));
        // Cut inside the entropy-coded data (libjpeg fills in the rest, cv::imread gives the
        // partial image) and inside the header (nothing to decode).
        for (const double fraction : {0.9, 0.6, 0.3}) {
            const auto keep = static_cast<std::size_t>(static_cast<double>(jpeg.size()) * fraction);
            const std::string name = "cut" + std::to_string(keep) + ".jpg";
            SCOPED_TRACE(name);
            writeBytes(dir / name, std::vector<unsigned char>(jpeg.begin(), jpeg.begin() + keep));
            expectSameAsImread(dir / name);
        }
        const std::string header = dir / "cut_header.jpg";
        writeBytes(header, std::vector<unsigned char>(jpeg.begin(), jpeg.begin() + 100));
        expectSameAsImread(header, false);
    }
}

TEST(TurboJpegLoader, DamagedJpegsNeverCrashAndMatchImread) {
    test::ScopedTempDir dir;
    std::vector<unsigned char> jpeg;
    ASSERT_TRUE(cv::imencode(".jpg", testPicture(200, 150), jpeg));
    cv::RNG rng(2024);
    TurboJpegLoader loader;  // one loader across all damaged files, as the player uses it
    for (int round = 0; round < 60; ++round) {
        std::vector<unsigned char> damaged = jpeg;
        const int flips = rng.uniform(1, 12);
        for (int i = 0; i < flips; ++i) {
            const auto at =
                static_cast<std::size_t>(rng.uniform(2, static_cast<int>(damaged.size())));
            damaged[at] = static_cast<unsigned char>(rng.uniform(0, 256));
        }
        if (round % 3 == 0)
            damaged.resize(
                static_cast<std::size_t>(rng.uniform(3, static_cast<int>(damaged.size()))));
        const std::string path = dir / ("damaged" + std::to_string(round) + ".jpg");
        writeBytes(path, damaged);
        SCOPED_TRACE(path);
        const cv::Mat reference = cv::imread(path, cv::IMREAD_COLOR);
        cv::Mat loaded;
        ASSERT_EQ(loader.loadColor(path, loaded), !reference.empty());
        if (!reference.empty()) {
            EXPECT_EQ(differingPixels(loaded, reference), 0);
        } else {
            EXPECT_TRUE(loaded.empty());
        }
    }
}

TEST(TurboJpegLoader, ReusesTheBufferForSameSizedClips) {
    test::ScopedTempDir dir;
    ASSERT_TRUE(cv::imwrite(dir / "a.jpg", testPicture(320, 240, 1)));
    ASSERT_TRUE(cv::imwrite(dir / "b.jpg", testPicture(320, 240, 2)));
    ASSERT_TRUE(cv::imwrite(dir / "small.jpg", testPicture(160, 120, 3)));
    TurboJpegLoader loader;
    cv::Mat clip;
    ASSERT_TRUE(loader.loadColor(dir / "a.jpg", clip));
    const uchar* buffer = clip.data;
    ASSERT_TRUE(loader.loadColor(dir / "b.jpg", clip));
    EXPECT_EQ(clip.data, buffer);
    EXPECT_EQ(differingPixels(clip, cv::imread(dir / "b.jpg")), 0);

    ASSERT_TRUE(loader.loadColor(dir / "small.jpg", clip));
    EXPECT_EQ(clip.size(), cv::Size(160, 120));
    EXPECT_EQ(differingPixels(clip, cv::imread(dir / "small.jpg")), 0);
}

TEST(TurboJpegLoader, NeverOverwritesAnImageSharedWithAnotherMat) {
    test::ScopedTempDir dir;
    ASSERT_TRUE(cv::imwrite(dir / "a.jpg", testPicture(320, 240, 1)));
    ASSERT_TRUE(cv::imwrite(dir / "b.jpg", testPicture(320, 240, 2)));
    TurboJpegLoader loader;
    cv::Mat clip;
    ASSERT_TRUE(loader.loadColor(dir / "a.jpg", clip));
    const cv::Mat shown = clip;  // e.g. the image on screen keeps a reference
    const cv::Mat before = shown.clone();
    ASSERT_TRUE(loader.loadColor(dir / "b.jpg", clip));
    EXPECT_NE(clip.data, shown.data);
    EXPECT_EQ(differingPixels(shown, before), 0);
    EXPECT_EQ(differingPixels(clip, cv::imread(dir / "b.jpg")), 0);
}

TEST(TurboJpegLoader, NeverWritesIntoMemoryItDoesNotOwn) {
    test::ScopedTempDir dir;
    ASSERT_TRUE(cv::imwrite(dir / "a.jpg", testPicture(64, 48, 1)));
    std::vector<uchar> external(64 * 48 * 3, 0x5A);
    cv::Mat clip(48, 64, CV_8UC3, external.data());
    TurboJpegLoader loader;
    ASSERT_TRUE(loader.loadColor(dir / "a.jpg", clip));
    EXPECT_NE(clip.data, external.data());
    EXPECT_EQ(std::count(external.begin(), external.end(), 0x5A),
              static_cast<std::ptrdiff_t>(external.size()));
    EXPECT_EQ(differingPixels(clip, cv::imread(dir / "a.jpg")), 0);
}

TEST(TurboJpegLoader, FailureEmptiesASharedImageWithoutTouchingTheOther) {
    test::ScopedTempDir dir;
    ASSERT_TRUE(cv::imwrite(dir / "a.jpg", testPicture(64, 48, 1)));
    TurboJpegLoader loader;
    cv::Mat clip;
    ASSERT_TRUE(loader.loadColor(dir / "a.jpg", clip));
    const cv::Mat shown = clip;
    const cv::Mat before = shown.clone();
    EXPECT_FALSE(loader.loadColor(dir / "missing.jpg", clip));
    EXPECT_TRUE(clip.empty());
    EXPECT_EQ(differingPixels(shown, before), 0);
}

}  // namespace
}  // namespace kalvento
