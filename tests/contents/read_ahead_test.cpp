// The read-ahead reader: its decoder threads run on idle time and follow the plan, and it gives
// what the loader gives, for the file as it is on disk now.

#include <gtest/gtest.h>

#include <sched.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "contents/read_ahead.h"
#include "support/clip_pictures.h"
#include "platform/image_loader.h"
#include "support/temp_dir.h"

namespace kalvento::test {
namespace {

// A loader whose pictures are made from the file names' current "contents" (a number per
// path), counting its loads; paths without contents fail.
class FakeLoader final : public ImageLoader {
public:
    struct Disk {
        std::mutex mutex;
        std::map<std::string, int> contents;
        std::atomic<int> loads{0};
        // While set, loads on threads other than `display` wait (a decoder that gets no time).
        std::atomic<bool> stalled{false};
        std::thread::id display = std::this_thread::get_id();
        std::atomic<int> decoderPolicy{-1};
        std::atomic<int> loaders{0};  // loaders alive: a decoder thread ends with its loader
        std::atomic<int> failedLoads{0};
    };
    explicit FakeLoader(Disk& disk) : disk_(disk) { ++disk_.loaders; }
    ~FakeLoader() override { --disk_.loaders; }
    bool loadColor(const std::string& path, cv::Mat& into) override {
        ++disk_.loads;
        if (std::this_thread::get_id() != disk_.display) {
            disk_.decoderPolicy = sched_getscheduler(0);
            while (disk_.stalled) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        std::lock_guard<std::mutex> lock(disk_.mutex);
        auto it = disk_.contents.find(path);
        if (it == disk_.contents.end() || it->second < 0) {  // missing, or undecodable
            ++disk_.failedLoads;
            into.release();
            return false;
        }
        into = picture(it->second);
        return true;
    }

private:
    Disk& disk_;
};

class ThreadedReaderTest : public ::testing::Test {
protected:
    // The decoder threads outlive their reader by the decode they are at; they use the disk
    // until they have let go of their loaders.
    ~ThreadedReaderTest() override {
        disk.stalled = false;
        for (int i = 0; i < 1000 && disk.loaders > 0; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        EXPECT_EQ(disk.loaders, 0) << "a decoder thread did not end";
    }
    std::unique_ptr<ReadAhead> makeReader(int decoders) {
        return std::make_unique<ReadAhead>(
            [this] { return std::make_unique<FakeLoader>(disk); },
            [this](const std::string& path) -> std::optional<FileIdentity> {
                std::lock_guard<std::mutex> lock(disk.mutex);
                auto it = disk.contents.find(path);
                if (it == disk.contents.end()) return std::nullopt;
                return identity(it->second);
            },
            decoders, ClipRing::Limits{});
    }
    void write(const std::string& path, int value) {
        std::lock_guard<std::mutex> lock(disk.mutex);
        disk.contents[path] = value;
    }
    // Waits until the decoders have made `loads` loads in all (at most 10 s).
    void waitForLoads(int loads) {
        for (int i = 0; i < 1000 && disk.loads < loads; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_GE(disk.loads, loads);
    }
    FakeLoader::Disk disk;
};

TEST_F(ThreadedReaderTest, PlannedClipsComeFromTheRingAndChangedOnesFromTheDisk) {
    for (int i = 0; i < 6; ++i) write("c" + std::to_string(i), 10 * i);
    auto reader = makeReader(2);
    reader->plan({"c1", "c2", "c3"});
    waitForLoads(3);
    cv::Mat clip;
    ASSERT_TRUE(reader->loadClip("c1", clip));
    EXPECT_TRUE(same(clip, picture(10)));
    write("c2", 77);  // written after its decode
    ASSERT_TRUE(reader->loadClip("c2", clip));
    EXPECT_TRUE(same(clip, picture(77)));
    {
        std::lock_guard<std::mutex> lock(disk.mutex);
        disk.contents.erase("c3");  // gone after its decode
    }
    EXPECT_FALSE(reader->loadClip("c3", clip));
    EXPECT_TRUE(clip.empty());
    ASSERT_TRUE(reader->loadClip("c5", clip)) << "an unplanned clip loads directly";
    EXPECT_TRUE(same(clip, picture(50)));
    EXPECT_EQ(reader->hits(), 1);
    EXPECT_EQ(reader->misses(), 3);
}

TEST_F(ThreadedReaderTest, ForgetAllLeavesNoDecodeOfTheOldFolder) {
    for (int i = 0; i < 20; ++i) write("c" + std::to_string(i), i);
    auto reader = makeReader(1);
    std::vector<std::string> plan;
    for (int i = 0; i < 8; ++i) plan.push_back("c" + std::to_string(i));
    reader->plan(plan);
    reader->forgetAll();  // a decode still running is thrown away when it ends
    for (int i = 0; i < 8; ++i) write("c" + std::to_string(i), 100 + i);  // the new folder
    cv::Mat clip;
    for (int i = 0; i < 8; ++i) {
        ASSERT_TRUE(reader->loadClip("c" + std::to_string(i), clip));
        EXPECT_TRUE(same(clip, picture(100 + i))) << i;
    }
    EXPECT_EQ(reader->hits(), 0);
    EXPECT_EQ(reader->misses(), 8) << "every clip of the new folder decoded at its load";
}

TEST_F(ThreadedReaderTest, ManyPlansAndLoadsFromOneThreadWhileDecodersRun) {
    for (int i = 0; i < 40; ++i) write("c" + std::to_string(i), i);
    auto reader = makeReader(2);
    cv::Mat clip;
    for (int turn = 0; turn < 200; ++turn) {
        const int at = turn < 100 ? turn % 40 : 39 - turn % 40;
        std::vector<std::string> plan;
        for (int k = 1; k <= 4; ++k) plan.push_back("c" + std::to_string((at + k) % 40));
        reader->plan(plan);
        ASSERT_TRUE(reader->loadClip("c" + std::to_string(at), clip));
        ASSERT_TRUE(same(clip, picture(at))) << turn;
        if (turn % 50 == 49) reader->forgetAll();
    }
    EXPECT_EQ(reader->hits() + reader->misses(), 200);
}

TEST_F(ThreadedReaderTest, DecodersRunOnIdleTimeAndAStarvedOneDoesNotHoldUpTheDisplay) {
    write("c0", 5);
    disk.stalled = true;
    auto reader = makeReader(1);
    reader->plan({"c0"});
    waitForLoads(1);  // the decoder is at c0 and gets no further
    EXPECT_EQ(disk.decoderPolicy, SCHED_IDLE);
    std::thread release([this] {
        std::this_thread::sleep_for(std::chrono::seconds(3));
        disk.stalled = false;
    });
    const auto start = std::chrono::steady_clock::now();
    cv::Mat clip;
    const bool loaded = reader->loadClip("c0", clip);
    const auto waited = std::chrono::steady_clock::now() - start;
    release.join();
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(same(clip, picture(5)));
    EXPECT_LT(waited, std::chrono::seconds(1)) << "the display decoded c0 itself";
    EXPECT_EQ(reader->misses(), 1);
}

TEST_F(ThreadedReaderTest, AnUndecodableClipIsDecodedOnceUntilItsFileChanges) {
    write("c0", 5);
    write("c1", -1);  // random bytes
    auto reader = makeReader(2);
    reader->plan({"c0", "c1"});
    waitForLoads(2);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(disk.failedLoads, 1) << "the decoders went back to the failed clip";
    write("c1", 9);  // replaced by a good clip: looked at again within a second or so
    waitForLoads(3);
    EXPECT_EQ(disk.failedLoads, 1);
    cv::Mat clip;
    ASSERT_TRUE(reader->loadClip("c1", clip));
    EXPECT_TRUE(same(clip, picture(9)));
}

TEST_F(ThreadedReaderTest, ForgetAllAndTheEndDoNotWaitForADecodeInFlight) {
    for (int i = 0; i < 3; ++i) write("c" + std::to_string(i), 10 * i);
    std::atomic<bool> done{false};
    // Lets a decode that the reader waits for go after a while, so a reader that waits
    // shows in the times instead of hanging the test.
    std::thread watchdog([&] {
        for (int i = 0; i < 400 && !done; ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        disk.stalled = false;
    });
    auto timed = [](auto&& action) {
        const auto start = std::chrono::steady_clock::now();
        action();
        return std::chrono::steady_clock::now() - start;
    };
    disk.stalled = true;
    auto reader = makeReader(1);
    reader->plan({"c0"});
    waitForLoads(1);  // the decoder is inside the decode of c0
    EXPECT_LT(timed([&] { reader->forgetAll(); }), std::chrono::seconds(1));
    disk.stalled = false;
    reader->plan({"c1"});  // taken when the late decode of c0 has ended
    waitForLoads(2);
    cv::Mat clip;
    ASSERT_TRUE(reader->loadClip("c0", clip));
    EXPECT_TRUE(same(clip, picture(0)));
    EXPECT_EQ(reader->hits(), 0) << "the decode from before forgetAll was thrown away";
    EXPECT_EQ(reader->misses(), 1);

    disk.stalled = true;
    reader->plan({"c2"});
    waitForLoads(4);  // c0 by the display, then the decoder inside c2
    EXPECT_LT(timed([&] { reader.reset(); }), std::chrono::seconds(1));
    done = true;
    watchdog.join();
}

TEST(ThreadedReaderFiles, AFileRewrittenOnDiskIsDecodedAgain) {
    ScopedTempDir dir;
    const std::string path = (std::filesystem::path(dir.path()) / "clip.jpg").string();
    ASSERT_TRUE(cv::imwrite(path, picture(40)));
    ReadAhead reader([] { return std::make_unique<TurboJpegLoader>(); }, &fileIdentityOf, 1,
                     ClipRing::Limits{});
    TurboJpegLoader direct;
    cv::Mat expected, clip;
    reader.plan({path});
    ASSERT_TRUE(direct.loadColor(path, expected));
    for (int i = 0; i < 500 && reader.hits() == 0; ++i) {
        ASSERT_TRUE(reader.loadClip(path, clip));
        if (reader.hits() == 0) {
            clip.release();
            reader.plan({path});
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    ASSERT_EQ(reader.hits(), 1);
    EXPECT_TRUE(same(clip, expected));
    clip.release();
    // File times have the resolution of the kernel's clock tick: let one pass.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(cv::imwrite(path, picture(200)));  // same size, new pixels
    ASSERT_TRUE(direct.loadColor(path, expected));
    ASSERT_TRUE(reader.loadClip(path, clip));
    EXPECT_TRUE(same(clip, expected));
    EXPECT_EQ(reader.hits(), 1) << "the old decode was not used";
    std::filesystem::remove(path);
    EXPECT_FALSE(reader.loadClip(path, clip));
}

}  // namespace
}  // namespace kalvento::test
