// The picture reader of the import and the clip loader on hostile PNG, BMP, WebP and TIFF
// bytes (seeds of each, small and with huge declared sizes): the header peek must agree with
// itself and the loader must never crash, hang or give anything but a 3-channel picture of at
// most the pixel limit.

#include <sys/mman.h>
#include <unistd.h>

#include "fuzz/fuzz_support.h"
#include "platform/image_loader.h"
#include "platform/picture_header.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    const std::optional<PictureHeader> header = peekPictureHeader(data, size);
    if (header && (header->width < 0 || header->height < 0)) __builtin_trap();
    (void)pictureRefusal(data, size);
    static TurboJpegLoader loader;
    static const int fd = ::memfd_create("picture", 0);
    if (fd < 0) return 0;
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    cv::Mat image;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (loader.loadColor(path, image) &&
        (image.empty() || image.type() != CV_8UC3 ||
         static_cast<int64_t>(image.cols) * image.rows > kMaxPicturePixels))
        __builtin_trap();  // success always means a 3-channel 8-bit picture within the limit
    (void)pictureRefusal(path);
    return 0;
}
