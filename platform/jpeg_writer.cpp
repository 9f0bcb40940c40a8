#include "platform/jpeg_writer.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include <opencv2/imgcodecs.hpp>

namespace kalvento {

namespace {

// Writes `bytes` to the file `path` (made or emptied), synced; errno on failure, else 0.
int writeFileSynced(const std::string& path, const std::vector<unsigned char>& bytes) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0644);
    if (fd < 0) return errno;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) break;
        done += static_cast<std::size_t>(n);
    }
    int error = done == bytes.size() ? 0 : errno;
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) ::unlink(path.c_str());
    return error;
}

}  // namespace

bool OpenCvJpegWriter::write(const std::string& path, const cv::Mat& picture) {
    error_ = 0;
    std::vector<unsigned char> bytes;
    try {
        if (!cv::imencode(".jpg", picture, bytes, {cv::IMWRITE_JPEG_QUALITY, 95})) return false;
    } catch (const cv::Exception&) {
        return false;
    }
    error_ = writeFileSynced(path, bytes);
    return error_ == 0;
}

}  // namespace kalvento
