#include "platform/video_devices.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>

namespace kalvento {

namespace {

// The first line of a small sysfs file, "" when it cannot be read.
std::string firstLine(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::string line;
    if (in) std::getline(in, line);
    if (line.size() > 255) line.resize(255);
    return line;
}

// The discrete frame sizes of one pixel format; a stepwise range gives its smallest and
// largest size.
void addFrameSizes(int fd, uint32_t pixelFormat, std::vector<cv::Size>& sizes) {
    v4l2_frmsizeenum size{};
    size.pixel_format = pixelFormat;
    for (size.index = 0; size.index < 64 && ::ioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) == 0;
         ++size.index) {
        if (size.type == V4L2_FRMSIZE_TYPE_DISCRETE) {
            sizes.emplace_back(size.discrete.width, size.discrete.height);
        } else {
            sizes.emplace_back(size.stepwise.min_width, size.stepwise.min_height);
            sizes.emplace_back(size.stepwise.max_width, size.stepwise.max_height);
            break;
        }
    }
}

// Asks /dev/videoN whether it captures pictures and which sizes it offers.
void queryDevice(VideoDevice& device) {
    int fd = ::open(videoDevicePath(device.number).c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return;
    v4l2_capability caps{};
    if (::ioctl(fd, VIDIOC_QUERYCAP, &caps) == 0) {
        uint32_t own = (caps.capabilities & V4L2_CAP_DEVICE_CAPS) ? caps.device_caps
                                                                   : caps.capabilities;
        device.captures = (own & V4L2_CAP_VIDEO_CAPTURE) != 0;
    }
    v4l2_fmtdesc format{};
    format.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    for (format.index = 0; format.index < 32 && ::ioctl(fd, VIDIOC_ENUM_FMT, &format) == 0;
         ++format.index)
        addFrameSizes(fd, format.pixelformat, device.sizes);
    ::close(fd);
    auto byArea = [](const cv::Size& a, const cv::Size& b) {
        return a.area() != b.area() ? a.area() < b.area() : a.width < b.width;
    };
    std::sort(device.sizes.begin(), device.sizes.end(), byArea);
    device.sizes.erase(std::unique(device.sizes.begin(), device.sizes.end()), device.sizes.end());
}

}  // namespace

std::string videoDevicePath(int number) {
    return "/dev/video" + std::to_string(number);
}

std::vector<VideoDevice> listVideoDevices(const std::string& sysfsRoot, bool queryDevices) {
    std::vector<VideoDevice> devices;
    std::error_code error;
    std::filesystem::path folder = std::filesystem::path(sysfsRoot) / "class" / "video4linux";
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        if (name.rfind("video", 0) != 0) continue;
        VideoDevice device;
        const char* digits = name.data() + 5;
        auto [end, ec] = std::from_chars(digits, name.data() + name.size(), device.number);
        if (ec != std::errc() || end != name.data() + name.size() || digits == end) continue;
        device.name = firstLine(entry.path() / "name");
        if (queryDevices) queryDevice(device);
        devices.push_back(std::move(device));
    }
    std::sort(devices.begin(), devices.end(),
              [](const VideoDevice& a, const VideoDevice& b) { return a.number < b.number; });
    return devices;
}

std::string describeVideoDevices(const std::vector<VideoDevice>& devices) {
    std::string text;
    for (const VideoDevice& device : devices) {
        if (!device.captures) continue;
        if (!text.empty()) text += ", ";
        text += videoDevicePath(device.number);
        if (!device.name.empty()) text += " (" + device.name + ")";
    }
    return text.empty() ? "none" : text;
}

std::string cameraListText(const std::vector<VideoDevice>& devices) {
    if (devices.empty()) return "no video capture devices\n";
    std::string text;
    for (const VideoDevice& device : devices) {
        text += videoDevicePath(device.number) + "  " +
                (device.name.empty() ? std::string("(no name)") : device.name);
        if (!device.captures) text += "  (gives no pictures)";
        for (const cv::Size& size : device.sizes)
            text += "  " + std::to_string(size.width) + "x" + std::to_string(size.height);
        text += "\n";
    }
    return text;
}

}  // namespace kalvento
