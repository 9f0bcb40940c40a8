// The capture devices as a sysfs tree lists them.

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/video_devices.h"
#include "support/temp_dir.h"

namespace kalvento::test {
namespace {

TEST(VideoDevices, ListedByNumberWithTheirNames) {
    ScopedTempDir sys;
    const std::string folder = sys / "class/video4linux";
    writeFile(folder + "/video10/name", "Capture card\n");
    writeFile(folder + "/video2/name", "HD Webcam C615: HD Webcam C615\n");
    writeFile(folder + "/video0/name", "Integrated Camera\n");
    std::filesystem::create_directories(folder + "/video3");  // no name file
    std::filesystem::create_directories(folder + "/v4l-subdev0");
    std::filesystem::create_directories(folder + "/videoX");
    std::vector<VideoDevice> devices = listVideoDevices(sys.path(), false);
    ASSERT_EQ(devices.size(), 4u);
    EXPECT_EQ(devices[0].number, 0);
    EXPECT_EQ(devices[0].name, "Integrated Camera");
    EXPECT_EQ(devices[1].number, 2);
    EXPECT_EQ(devices[2].number, 3);
    EXPECT_EQ(devices[2].name, "");
    EXPECT_EQ(devices[3].number, 10);
    devices[1].captures = false;  // a webcam's metadata node
    EXPECT_EQ(describeVideoDevices(devices),
              "/dev/video0 (Integrated Camera), /dev/video3, /dev/video10 (Capture card)");
}

TEST(VideoDevices, NoneWithoutTheFolder) {
    ScopedTempDir sys;
    EXPECT_TRUE(listVideoDevices(sys.path(), false).empty());
    EXPECT_EQ(describeVideoDevices({}), "none");
    EXPECT_EQ(videoDevicePath(7), "/dev/video7");
}

}  // namespace
}  // namespace kalvento::test
