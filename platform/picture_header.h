#pragma once
// What a picture file's header says of its size, read before anything is decoded: a picture
// whose pixels would not fit a sane amount of memory is refused without decoding it.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace kalvento {

// The most pixels a clip or an imported picture may have (100 million: a 10000 x 10000
// picture, 300 MB decoded). A picture above it is refused on import and does not load as a
// clip.
inline constexpr std::int64_t kMaxPicturePixels = 100'000'000;

enum class PictureFormat { Jpeg, Png, Bmp, Webp, Tiff };

struct PictureHeader {
    PictureFormat format;
    std::int64_t width = 0;   // 0 when the header does not say (yet)
    std::int64_t height = 0;
};

// The format and size the first bytes of a file declare: a JPEG, PNG, BMP, WebP or TIFF
// signature; nullopt for anything else. The size of a JPEG is left 0 (the JPEG decoder reads
// its header); for the other formats a header that cannot be read gives the size 0 x 0.
std::optional<PictureHeader> peekPictureHeader(const unsigned char* data, std::size_t size);

// What the first bytes of the file at `path` say of it as a picture.
struct PictureCheck {
    enum class Verdict { Fine, NotRegular, Unreadable, NotAPicture, TooLarge };
    Verdict verdict = Verdict::Fine;
    std::string why;  // for the console; empty when Fine
};
PictureCheck checkPicture(const std::string& path);

// Why the picture file at `path` cannot load, for the console: a file that is not a regular
// file, one that is no picture of a known format, or one with more pixels than
// kMaxPicturePixels. Empty when its header gives no reason (it may still fail to decode).
// Reads only the file's first bytes, never blocks on a FIFO or device.
std::string pictureRefusal(const std::string& path);

// The same reason for the header bytes `data` (a JPEG's size given as jpegWidth x jpegHeight).
std::string pictureRefusal(const unsigned char* data, std::size_t size, std::int64_t jpegWidth = 0,
                           std::int64_t jpegHeight = 0);

// Opens the file at `path` for reading only when it is a regular file (a FIFO or a device
// would block or never end): -1 otherwise, with errno. The descriptor is blocking again.
int openRegularFile(const std::string& path);

}  // namespace kalvento
