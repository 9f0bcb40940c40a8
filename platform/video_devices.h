#pragma once
// The video capture devices of the machine, as the kernel lists them in sysfs
// (class/video4linux/videoN, one per /dev/videoN).

#include <string>
#include <vector>

#include <opencv2/core/types.hpp>

namespace kalvento {

struct VideoDevice {
    int number = 0;                // N of /dev/videoN
    std::string name;              // the driver's name of the device ("" when sysfs has none)
    std::vector<cv::Size> sizes;   // frame sizes the device offers, where V4L2 tells them
    bool captures = true;          // false for a node that gives no pictures (metadata)
};

// "/dev/videoN".
std::string videoDevicePath(int number);

// The devices under `sysfsRoot`/class/video4linux, by number. `queryDevices` also asks each
// /dev/videoN (through V4L2) whether it captures pictures and which frame sizes it offers; a
// node that cannot be opened keeps its sysfs entry only. Empty when the folder is missing.
std::vector<VideoDevice> listVideoDevices(const std::string& sysfsRoot, bool queryDevices);

// "/dev/video0 (HD Webcam), /dev/video2 (Capture card)": the capture devices of `devices`,
// "none" when there is no capture device.
std::string describeVideoDevices(const std::vector<VideoDevice>& devices);

// One line per device: "/dev/video0  HD Webcam  640x480 1280x720" (sizes where known; a node
// that gives no pictures says so), or "no video capture devices" when there is none.
std::string cameraListText(const std::vector<VideoDevice>& devices);

}  // namespace kalvento
