#include "app/web_remote.h"

#include <gtest/gtest.h>

#include <thread>

#include "platform/recording_window.h"

namespace kalvento {
namespace {

TEST(WebRemoteOptions, AddressesSplitIntoHostAndPort) {
    struct {
        const char* text;
        bool ok;
        const char* host;
        int port;
    } cases[] = {
        {"8080", true, "127.0.0.1", 8080},  {"0", true, "127.0.0.1", 0},
        {"0.0.0.0:80", true, "0.0.0.0", 80}, {"127.0.0.2:65535", true, "127.0.0.2", 65535},
        {"65536", false, "", 0},             {":80", false, "", 0},
        {"host:", false, "", 0},             {"80x", false, "", 0},
        {"-1", false, "", 0},                {"", false, "", 0},
    };
    for (const auto& c : cases) {
        std::string host;
        int port = -1;
        ASSERT_EQ(splitHttpAddress(c.text, host, port), c.ok) << c.text;
        if (!c.ok) continue;
        EXPECT_EQ(host, c.host) << c.text;
        EXPECT_EQ(port, c.port) << c.text;
    }
    EXPECT_TRUE(isLoopbackHost("127.0.0.1"));
    EXPECT_TRUE(isLoopbackHost("localhost"));
    EXPECT_FALSE(isLoopbackHost("127.0.0.2"));
    EXPECT_FALSE(isLoopbackHost("0.0.0.0"));
}

TEST(RemoteKeyWindow, RemoteKeysComeWhereNoKeyWasTyped) {
    RecordingWindow typed;
    RemoteHub hub;
    RemoteKeyWindow window(typed, hub);
    EXPECT_EQ(window.waitKey(1), kNoKey);
    hub.queueKey('x');
    hub.queueKey('n');
    EXPECT_EQ(window.peekKey(1), 'x');
    EXPECT_EQ(window.peekKey(1), 'x');  // looked at, not taken
    EXPECT_EQ(window.waitKey(1), 'x');
    EXPECT_EQ(window.waitKey(1), 'n');
    EXPECT_EQ(window.waitKey(1), kNoKey);

    // A read without a time limit (the pause) waits for a remote key.
    std::thread later([&hub] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        hub.queueKey(13);
    });
    EXPECT_EQ(window.waitKey(0), 13);
    later.join();
    window.show(cv::Mat(2, 3, CV_8UC3, cv::Scalar(1, 2, 3)));
    EXPECT_EQ(typed.log().back(), "show 3x2");
}

}  // namespace
}  // namespace kalvento
