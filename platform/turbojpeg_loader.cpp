// Clip decoding with libjpeg-turbo's TurboJPEG API, with cv::imread for everything else.
//
// cv::imread decodes JPEG files with the same library (libjpeg-turbo through its libjpeg API,
// accurate integer IDCT, fancy upsampling) and then swaps the channels byte by byte. We decode
// straight into BGR with the same IDCT and upsampling, so the pixels are the same and the swap
// is gone. Whatever could make the two differ is handed to cv::imread instead:
//   - PNG, BMP, WebP and TIFF files (files of any other format, which OpenCV's other decoders
//     would take, do not load: some of those decoders abort the process on a damaged file);
//   - CMYK and YCCK JPEGs (cv::imread converts CMYK to BGR with a formula of its own);
//   - JPEGs with an EXIF orientation that asks for a flip or a rotation (cv::imread applies
//     it), or with EXIF data we cannot read with certainty;
//   - images larger than cv::imread accepts (it refuses them; so do we, through it);
//   - anything TurboJPEG refuses with an error (12-bit data, unusual sampling, corrupt data).
//
// Truncated and slightly corrupt JPEGs: libjpeg only warns about a premature end of the data
// or a corrupt segment and fills in the rest; cv::imread then returns that partial image. We
// stop at the first warning and give such a file to cv::imread, so it loads exactly as
// cv::imread loads it (a partial image when libjpeg can fill it in, failure otherwise). A file
// whose header cannot be read fails either way. Stopping at warnings also keeps a later fatal
// error from passing for a warning.
//
// Before anything is decoded, the size the header declares is checked: a picture of more
// than kMaxPicturePixels does not load (a small file can declare a picture of gigabytes).
// Only regular files are opened, never blocking: a FIFO under a clip's name fails at once.

#include "platform/image_loader.h"
#include "platform/picture_header.h"

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <cstdint>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <turbojpeg.h>

#include <opencv2/imgcodecs.hpp>

namespace kalvento {

namespace {

// Files above this size are not buffered; cv::imread reads them from the disk itself.
constexpr std::int64_t kMaxBufferedFileBytes = std::int64_t{256} << 20;

bool hasJpegSignature(const unsigned char* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

enum class Orientation { Upright, Turned, Unknown };

std::uint32_t readTiff16(const unsigned char* p, bool bigEndian) {
    return bigEndian ? (std::uint32_t{p[0]} << 8) | p[1] : (std::uint32_t{p[1]} << 8) | p[0];
}

std::uint32_t readTiff32(const unsigned char* p, bool bigEndian) {
    return bigEndian ? (readTiff16(p, true) << 16) | readTiff16(p + 2, true)
                     : (readTiff16(p + 2, false) << 16) | readTiff16(p, false);
}

// The orientation tag of an EXIF block (the bytes after "Exif\0\0": a TIFF header and IFD0).
Orientation exifOrientation(const unsigned char* tiff, std::size_t size) {
    if (size < 8) return Orientation::Unknown;
    bool bigEndian;
    if (tiff[0] == 'M' && tiff[1] == 'M') {
        bigEndian = true;
    } else if (tiff[0] == 'I' && tiff[1] == 'I') {
        bigEndian = false;
    } else {
        return Orientation::Unknown;
    }
    if (readTiff16(tiff + 2, bigEndian) != 42) return Orientation::Unknown;
    const std::size_t ifd = readTiff32(tiff + 4, bigEndian);
    if (ifd > size || size - ifd < 2) return Orientation::Unknown;
    const std::size_t entries = readTiff16(tiff + ifd, bigEndian);
    if ((size - ifd - 2) / 12 < entries) return Orientation::Unknown;
    for (std::size_t i = 0; i < entries; ++i) {
        const unsigned char* entry = tiff + ifd + 2 + 12 * i;
        if (readTiff16(entry, bigEndian) != 0x0112) continue;
        const std::uint32_t type = readTiff16(entry + 2, bigEndian);
        if (type != 3) return Orientation::Unknown;  // must be one SHORT
        const std::uint32_t value = readTiff16(entry + 8, bigEndian);
        // 1 is upright; 2..8 are the flips and turns; other values are ignored by cv::imread.
        return value >= 2 && value <= 8 ? Orientation::Turned : Orientation::Upright;
    }
    return Orientation::Upright;
}

// Walks the marker segments in front of the first scan and looks at the EXIF orientation.
// Upright when there is no EXIF block or it keeps the image upright; Unknown when the
// segments or the EXIF block cannot be read with certainty.
Orientation jpegOrientation(const unsigned char* data, std::size_t size) {
    std::size_t pos = 2;  // after SOI
    int exifBlocks = 0;
    Orientation result = Orientation::Upright;
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) return Orientation::Unknown;
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return result;         // start of scan / end of image
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {  // no length field
            pos += 2;
            continue;
        }
        const std::size_t length = (std::size_t{data[pos + 2]} << 8) | data[pos + 3];
        if (length < 2 || length > size - pos - 2) return Orientation::Unknown;
        const unsigned char* body = data + pos + 4;
        const std::size_t bodySize = length - 2;
        if (marker == 0xE1 && bodySize >= 6 && body[0] == 'E' && body[1] == 'x' && body[2] == 'i' &&
            body[3] == 'f' && body[4] == 0 && body[5] == 0) {
            if (++exifBlocks > 1) return Orientation::Unknown;
            result = exifOrientation(body + 6, bodySize - 6);
            if (result != Orientation::Upright) return result;
        }
        pos += 2 + length;
    }
    return Orientation::Unknown;  // no scan found: let cv::imread decide
}

// Reads the whole regular file at `path` into `buffer` (grown, never shrunk). The byte count
// on success; -1 when the file is missing, unreadable, not a regular file or empty; -2 when it
// is too big to buffer.
std::int64_t readWholeFile(const std::string& path, std::vector<unsigned char>& buffer) {
    const int fd = openRegularFile(path);
    if (fd < 0) return -1;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_size <= 0) {
        ::close(fd);
        return -1;
    }
    const std::int64_t expected = info.st_size;
    if (expected > kMaxBufferedFileBytes) {
        ::close(fd);
        return -2;
    }
    const auto want = static_cast<std::size_t>(expected);
    if (buffer.size() < want) buffer.resize(want);
    std::size_t have = 0;
    while (have < want) {
        const ssize_t got = ::read(fd, buffer.data() + have, want - have);
        if (got < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return -1;
        }
        if (got == 0) break;  // the file shrank while we read it
        have += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (have == 0) return -1;
    return static_cast<std::int64_t>(have);
}

// Makes `into` an 8-bit BGR image of the given size that we may write to: its own buffer is
// kept when the size matches and no other Mat shares it.
void prepareTarget(cv::Mat& into, int width, int height) {
    const bool ownsAlone = into.u != nullptr && into.u->refcount == 1;
    if (!into.empty() && !ownsAlone) into.release();
    into.create(height, width, CV_8UC3);
}

bool loadWithOpenCv(const std::string& path, cv::Mat& into) {
    cv::Mat decoded;
    try {
        decoded = cv::imread(path, cv::IMREAD_COLOR);
    } catch (const cv::Exception&) {
        // cv::imread throws for some files it refuses (a declared size above its limit, for
        // one) instead of returning nothing: such a clip simply does not load.
        decoded.release();
    }
    if (decoded.empty()) {
        into.release();
        return false;
    }
    into = decoded;
    return true;
}

// The marker of the frame header (SOFn) in front of the first scan; 0 when the segments cannot
// be read. 0xC0 and 0xC1 are sequential (baseline and extended) frames, the ones decoded
// scaled; progressive and lossless frames decode whole.
unsigned char frameMarker(const unsigned char* data, std::size_t size) {
    std::size_t pos = 2;  // after SOI
    while (pos + 4 <= size) {
        if (data[pos] != 0xFF) return 0;
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF) {  // fill byte
            ++pos;
            continue;
        }
        if (marker == 0xDA || marker == 0xD9) return 0;  // a scan before any frame header
        if (marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += 2;
            continue;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 &&
                           marker != 0xC8 && marker != 0xCC;
        if (frame) return marker;
        const std::size_t length = (std::size_t{data[pos + 2]} << 8) | data[pos + 3];
        if (length < 2 || length > size - pos - 2) return 0;
        pos += 2 + length;
    }
    return 0;
}

bool isSequentialFrame(unsigned char marker) {
    return marker == 0xC0 || marker == 0xC1;
}

}  // namespace

TurboJpegLoader::TurboJpegLoader() : decoder_(tjInitDecompress()) {
    int count = 0;
    const tjscalingfactor* factors = tjGetScalingFactors(&count);
    for (int i = 0; factors != nullptr && i < count; ++i)
        scales_.push_back(ScaleFactor{factors[i].num, factors[i].denom});
}

TurboJpegLoader::~TurboJpegLoader() {
    if (decoder_ != nullptr) tjDestroy(static_cast<tjhandle>(decoder_));
}

bool TurboJpegLoader::loadColor(const std::string& path, cv::Mat& into) {
    cv::Size whole;
    return loadShown(path, PictureArea{}, into, whole);
}

bool TurboJpegLoader::loadShown(const std::string& path, const PictureArea& area, cv::Mat& into,
                                cv::Size& whole) {
    damaged_ = false;
    whole = cv::Size();
    const std::int64_t fileSize = readWholeFile(path, fileBuffer_);
    const bool refused = fileSize == -1 || (fileSize == -2 && !pictureRefusal(path).empty()) ||
                         (fileSize > 0 && !pictureRefusal(fileBuffer_.data(),
                                                          static_cast<std::size_t>(fileSize))
                                               .empty());
    if (refused) {
        into.release();
        return false;
    }
    const bool ok = fileSize < 0 || decoder_ == nullptr
                        ? loadWithOpenCv(path, into)
                        : decodeBuffered(path, static_cast<std::size_t>(fileSize), area, into,
                                         whole);
    if (ok && whole.empty()) whole = into.size();
    return ok;
}

bool TurboJpegLoader::decodeBuffered(const std::string& path, std::size_t size,
                                     const PictureArea& area, cv::Mat& into, cv::Size& whole) {
    const unsigned char* data = fileBuffer_.data();
    // Clips are pictures: PNG, BMP, WebP and TIFF are read like cv::imread reads them, but no
    // other format is handed to OpenCV, whose decoders for other formats (DICOM among them)
    // can abort the whole process on a damaged file.
    if (!hasJpegSignature(data, size)) return loadWithOpenCv(path, into);

    auto* handle = static_cast<tjhandle>(decoder_);
    const auto jpegSize = static_cast<unsigned long>(size);
    int width = 0;
    int height = 0;
    int subsampling = 0;
    int colorspace = 0;
    if (tjDecompressHeader3(handle, data, jpegSize, &width, &height, &subsampling, &colorspace) !=
            0 ||
        width <= 0 || height <= 0 || colorspace == TJCS_CMYK || colorspace == TJCS_YCCK ||
        jpegOrientation(data, size) != Orientation::Upright) {
        return loadWithOpenCv(path, into);
    }
    if (static_cast<std::int64_t>(width) * height > kMaxPicturePixels) {
        into.release();
        return false;
    }

    // A sequential JPEG shown smaller than it is decodes at a scale; a failed scaled decode
    // (libjpeg stops at a warning) is tried again whole.
    const ScaleFactor scale =
        isSequentialFrame(frameMarker(data, size))
            ? smallestCoveringScale({width, height}, shownSizeIn({width, height}, area), scales_)
            : ScaleFactor{};
    if (!(scale == ScaleFactor{})) {
        const int scaledWidth = scaledSide(width, scale);
        const int scaledHeight = scaledSide(height, scale);
        prepareTarget(into, scaledWidth, scaledHeight);
        if (tjDecompress2(handle, data, jpegSize, into.data, scaledWidth,
                          static_cast<int>(into.step[0]), scaledHeight, TJPF_BGR,
                          TJFLAG_STOPONWARNING) == 0) {
            whole = cv::Size(width, height);
            return true;
        }
    }
    prepareTarget(into, width, height);
    const auto pitch = static_cast<int>(into.step[0]);
    // No TJFLAG_FASTDCT / TJFLAG_FASTUPSAMPLE: the accurate IDCT and fancy upsampling are what
    // cv::imread uses, and they keep the pixels identical to it.
    if (tjDecompress2(handle, data, jpegSize, into.data, width, pitch, height, TJPF_BGR,
                      TJFLAG_STOPONWARNING) != 0) {
        // A warning is damaged data libjpeg can fill in: the picture loads, but partly grey.
        damaged_ = tjGetErrorCode(handle) == TJERR_WARNING;
        return loadWithOpenCv(path, into);
    }
    return true;
}

}  // namespace kalvento
