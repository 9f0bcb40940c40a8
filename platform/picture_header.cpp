#include "platform/picture_header.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cerrno>
#include <vector>

#include "platform/console.h"

namespace kalvento {

namespace {

// The header bytes read for pictureRefusal: enough for every format's size field and for
// the marker segments (EXIF, ICC) in front of a JPEG's frame header.
constexpr std::size_t kHeaderBytes = 256 * 1024;

std::int64_t bigEndian(const unsigned char* p, int bytes) {
    std::int64_t value = 0;
    for (int i = 0; i < bytes; ++i) value = (value << 8) | p[i];
    return value;
}

std::int64_t littleEndian(const unsigned char* p, int bytes) {
    std::int64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | p[i];
    return value;
}

bool startsWith(const unsigned char* data, std::size_t size, const char* text, std::size_t at = 0) {
    const std::size_t length = std::char_traits<char>::length(text);
    return size >= at + length && std::equal(text, text + length, data + at);
}

// The frame header (SOFn) of a JPEG: its size; 0 x 0 when no frame header is found.
void readJpegSize(const unsigned char* data, std::size_t size, PictureHeader& header) {
    std::size_t pos = 2;
    while (pos + 9 <= size && data[pos] == 0xFF) {
        const unsigned char marker = data[pos + 1];
        if (marker == 0xFF || marker == 0x01 || (marker >= 0xD0 && marker <= 0xD7)) {
            pos += marker == 0xFF ? 1 : 2;
            continue;
        }
        const bool frame = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 &&
                           marker != 0xCC;
        if (frame) {
            header.height = bigEndian(data + pos + 5, 2);
            header.width = bigEndian(data + pos + 7, 2);
            return;
        }
        if (marker == 0xDA || marker == 0xD9) return;
        pos += 2 + static_cast<std::size_t>(bigEndian(data + pos + 2, 2));
    }
}

// The first picture (IFD0) of a TIFF: its ImageWidth and ImageLength.
void readTiffSize(const unsigned char* data, std::size_t size, PictureHeader& header) {
    const bool big = data[0] == 'M';
    auto number = [&](std::size_t at, int bytes) {
        return big ? bigEndian(data + at, bytes) : littleEndian(data + at, bytes);
    };
    const auto ifd = static_cast<std::size_t>(number(4, 4));
    if (ifd > size || size - ifd < 2) return;
    const auto entries = static_cast<std::size_t>(number(ifd, 2));
    for (std::size_t i = 0; i < entries && ifd + 2 + 12 * (i + 1) <= size; ++i) {
        const std::size_t entry = ifd + 2 + 12 * i;
        const std::int64_t tag = number(entry, 2);
        const std::int64_t type = number(entry + 2, 2);
        const std::int64_t value = type == 3 ? number(entry + 8, 2) : number(entry + 8, 4);
        if (type != 3 && type != 4) continue;
        if (tag == 256) header.width = value;
        if (tag == 257) header.height = value;
    }
}

// A WebP's first chunk: lossy (VP8), lossless (VP8L) or extended (VP8X, the canvas).
void readWebpSize(const unsigned char* data, std::size_t size, PictureHeader& header) {
    if (startsWith(data, size, "VP8 ", 12) && size >= 30) {
        header.width = littleEndian(data + 26, 2) & 0x3FFF;
        header.height = littleEndian(data + 28, 2) & 0x3FFF;
    } else if (startsWith(data, size, "VP8L", 12) && size >= 25) {
        const std::int64_t bits = littleEndian(data + 21, 4);
        header.width = (bits & 0x3FFF) + 1;
        header.height = ((bits >> 14) & 0x3FFF) + 1;
    } else if (startsWith(data, size, "VP8X", 12) && size >= 30) {
        header.width = littleEndian(data + 24, 3) + 1;
        header.height = littleEndian(data + 27, 3) + 1;
    }
}

void readBmpSize(const unsigned char* data, std::size_t size, PictureHeader& header) {
    if (size < 26) return;
    if (littleEndian(data + 14, 4) == 12) {  // the old OS/2 header: 16-bit sizes
        header.width = littleEndian(data + 18, 2);
        header.height = littleEndian(data + 20, 2);
        return;
    }
    header.width = static_cast<std::int32_t>(littleEndian(data + 18, 4));
    header.height = static_cast<std::int32_t>(littleEndian(data + 22, 4));
    header.width = std::abs(header.width);
    header.height = std::abs(header.height);  // negative: rows stored top down
}

}  // namespace

std::optional<PictureHeader> peekPictureHeader(const unsigned char* data, std::size_t size) {
    static const unsigned char png[] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PictureHeader header{PictureFormat::Jpeg};
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF) {
        readJpegSize(data, size, header);
    } else if (size >= sizeof png && std::equal(png, png + sizeof png, data)) {
        header.format = PictureFormat::Png;
        if (size >= 24 && startsWith(data, size, "IHDR", 12)) {
            header.width = bigEndian(data + 16, 4);
            header.height = bigEndian(data + 20, 4);
        }
    } else if (startsWith(data, size, "BM")) {
        header.format = PictureFormat::Bmp;
        readBmpSize(data, size, header);
    } else if (startsWith(data, size, "RIFF") && startsWith(data, size, "WEBP", 8)) {
        header.format = PictureFormat::Webp;
        readWebpSize(data, size, header);
    } else if (size >= 8 && (startsWith(data, size, "II*") || startsWith(data, size, "MM"))) {
        header.format = PictureFormat::Tiff;
        const bool classic = data[0] == 'I' ? data[2] == 42 && data[3] == 0
                                            : data[2] == 0 && data[3] == 42;
        if (!classic) return std::nullopt;  // BigTIFF and the like are not taken
        readTiffSize(data, size, header);
    } else {
        return std::nullopt;
    }
    return header;
}

std::string pictureRefusal(const unsigned char* data, std::size_t size, std::int64_t jpegWidth,
                           std::int64_t jpegHeight) {
    const std::optional<PictureHeader> header = peekPictureHeader(data, size);
    if (!header) return "it is no JPEG, PNG, BMP, WebP or TIFF picture";
    std::int64_t width = header->width, height = header->height;
    if (header->format == PictureFormat::Jpeg && jpegWidth > 0) width = jpegWidth;
    if (header->format == PictureFormat::Jpeg && jpegHeight > 0) height = jpegHeight;
    if (width > 0 && height > 0 && width > kMaxPicturePixels / height)
        return strf("it is %lld x %lld pixels, more than the %lld million a picture may have",
                    static_cast<long long>(width), static_cast<long long>(height),
                    static_cast<long long>(kMaxPicturePixels / 1'000'000));
    return {};
}

int openRegularFile(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return -1;
    if (!S_ISREG(info.st_mode)) {
        errno = EINVAL;
        return -1;
    }
    // Non-blocking, should the name have become a FIFO since: its open would wait for a writer.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0) return -1;
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

PictureCheck checkPicture(const std::string& path) {
    using Verdict = PictureCheck::Verdict;
    const int fd = openRegularFile(path);
    if (fd < 0)
        return errno == EINVAL ? PictureCheck{Verdict::NotRegular, "it is not a regular file"}
                               : PictureCheck{Verdict::Unreadable, "it cannot be read"};
    std::vector<unsigned char> head(kHeaderBytes);
    std::size_t have = 0;
    while (have < head.size()) {
        const ssize_t got = ::read(fd, head.data() + have, head.size() - have);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    ::close(fd);
    std::string why = pictureRefusal(head.data(), have);
    if (why.empty()) return {};
    const bool picture = peekPictureHeader(head.data(), have).has_value();
    return {picture ? Verdict::TooLarge : Verdict::NotAPicture, std::move(why)};
}

std::string pictureRefusal(const std::string& path) {
    return checkPicture(path).why;
}

}  // namespace kalvento
