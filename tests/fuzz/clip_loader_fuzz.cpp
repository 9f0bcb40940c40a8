// The clip loader on hostile JPEG bytes: truncated files, huge declared sizes, CMYK,
// progressive, 12-bit, and everything the fuzzer makes of them; decoded whole and for a small
// window (scaled).

#include <sys/mman.h>
#include <unistd.h>

#include "fuzz/fuzz_support.h"
#include "platform/image_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace kalvento;
    static TurboJpegLoader loader;
    static const int fd = ::memfd_create("clip", 0);
    if (fd < 0) return 0;
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != static_cast<ssize_t>(size))
        return 0;
    const std::string path = "/proc/self/fd/" + std::to_string(fd);
    cv::Mat image;
    if (loader.loadColor(path, image) && (image.empty() || image.type() != CV_8UC3))
        __builtin_trap();  // success always means a 3-channel 8-bit picture
    cv::Size whole;
    const PictureArea small{cv::Size(64, 48), 0};
    if (loader.loadShown(path, small, image, whole) &&
        (image.empty() || image.type() != CV_8UC3 || image.cols > whole.width ||
         image.rows > whole.height))
        __builtin_trap();  // a scaled picture is never bigger than its file
    return 0;
}
