// The read-ahead ring and the threaded clip reader: a decode is handed out only for the file
// as it is on disk now, never after a clear; the ring stays
// within its bounds and follows the plan; the reader gives what the loader gives.

#include <gtest/gtest.h>

#include <sched.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <map>
#include <mutex>
#include <thread>

#include <opencv2/imgcodecs.hpp>

#include "platform/threaded_clip_reader.h"
#include "support/temp_dir.h"

namespace kalvento::test {
namespace {

FileIdentity identity(std::int64_t modified) {
    FileIdentity id;
    id.inode = 7;
    id.size = 100;
    id.modifiedNanos = modified;
    return id;
}

cv::Mat picture(int value, int rows = 40) {
    return cv::Mat(rows, 30, CV_8UC3, cv::Scalar(value, value + 1, value + 2));
}

bool same(const cv::Mat& a, const cv::Mat& b) {
    return a.size() == b.size() && a.type() == b.type() && cv::norm(a, b, cv::NORM_INF) == 0.0;
}

// Plans `path`, runs its job like a decoder would and stores `image` for `id`.
void decode(ClipRing& ring, const std::string& path, const FileIdentity& id, const cv::Mat& image) {
    ring.setPlan({path});
    std::optional<ClipRing::Job> job = ring.takeJob();
    ASSERT_TRUE(job.has_value());
    ASSERT_EQ(job->path, path);
    ring.finishJob(std::move(*job), id, image.clone(), true);
}

TEST(ClipRing, HandsOutADecodeOnlyWhileTheFileKeepsItsIdentity) {
    struct Case {
        const char* name;
        std::optional<FileIdentity> now;
        bool hit;
    };
    const Case cases[] = {
        {"unchanged", identity(1), true},
        {"written since", identity(2), false},
        {"gone", std::nullopt, false},
    };
    for (const Case& c : cases) {
        ClipRing ring(ClipRing::Limits{});
        decode(ring, "a.jpg", identity(1), picture(10));
        cv::Mat into;
        EXPECT_EQ(ring.take("a.jpg", c.now, into) == ClipRing::Lookup::Hit, c.hit) << c.name;
        if (c.hit) {
            EXPECT_TRUE(same(into, picture(10))) << c.name;
        } else {
            EXPECT_EQ(ring.size(), 0u) << c.name << ": the stale decode is dropped";
            EXPECT_EQ(ring.take("a.jpg", identity(1), into), ClipRing::Lookup::Miss) << c.name;
        }
    }
}

TEST(ClipRing, NothingDecodedBeforeAClearIsHandedOutAfterIt) {
    ClipRing ring(ClipRing::Limits{});
    decode(ring, "a.jpg", identity(1), picture(10));
    ring.setPlan({"b.jpg"});
    std::optional<ClipRing::Job> running = ring.takeJob();
    ASSERT_TRUE(running.has_value());
    EXPECT_TRUE(ring.decoding());
    ring.clear();  // folder change while b.jpg is being decoded
    cv::Mat into;
    EXPECT_EQ(ring.take("a.jpg", identity(1), into), ClipRing::Lookup::Miss);
    ring.finishJob(std::move(*running), identity(1), picture(20), true);
    EXPECT_FALSE(ring.decoding());
    EXPECT_EQ(ring.take("b.jpg", identity(1), into), ClipRing::Lookup::Miss);
    EXPECT_EQ(ring.size(), 0u);
    EXPECT_FALSE(ring.takeJob().has_value()) << "the plan went with the clear";
}

TEST(ClipRing, AClipBeingDecodedIsBusyAndAFailedDecodeLeavesNothing) {
    ClipRing ring(ClipRing::Limits{});
    ring.setPlan({"a.jpg"});
    std::optional<ClipRing::Job> job = ring.takeJob();
    ASSERT_TRUE(job.has_value());
    cv::Mat into;
    EXPECT_EQ(ring.take("a.jpg", identity(1), into), ClipRing::Lookup::Busy);
    EXPECT_FALSE(ring.takeJob().has_value()) << "one decoder per clip";
    ring.finishJob(std::move(*job), identity(1), cv::Mat(), false);
    EXPECT_EQ(ring.take("a.jpg", identity(1), into), ClipRing::Lookup::Miss);
    EXPECT_TRUE(into.empty());
}

TEST(ClipRing, AHandedOutClipIsSharedAndHandedOutAgainAsItWas) {
    ClipRing ring(ClipRing::Limits{});
    const cv::Mat original = picture(10, 50);
    decode(ring, "a.jpg", identity(1), original);
    cv::Mat shown;
    ASSERT_EQ(ring.take("a.jpg", identity(1), shown), ClipRing::Lookup::Hit);
    cv::Mat again;
    ASSERT_EQ(ring.take("a.jpg", identity(1), again), ClipRing::Lookup::Hit)
        << "still held by its first user, who only reads it";
    EXPECT_EQ(again.data, shown.data) << "shared, not copied";
    EXPECT_TRUE(same(again, original));
}

TEST(ClipRing, KeptClipsAreHandedOutAgainWhileTheFileStaysTheSame) {
    ClipRing ring(ClipRing::Limits{});
    const cv::Mat shown = picture(30, 20);  // a clip its user decoded itself
    ring.keep("a.jpg", identity(1), shown);
    cv::Mat again;
    ASSERT_EQ(ring.take("a.jpg", identity(1), again), ClipRing::Lookup::Hit);
    EXPECT_EQ(again.data, shown.data);
    EXPECT_EQ(ring.take("a.jpg", identity(2), again), ClipRing::Lookup::Miss)
        << "the file was written since";
}

TEST(ClipRing, FollowsThePlanInOrderAndStaysWithinItsBounds) {
    ClipRing ring(ClipRing::Limits{3, std::size_t{1} << 30});
    ring.setPlan({"c", "a", "b", "d"});
    std::vector<std::string> order;
    std::vector<ClipRing::Job> jobs;
    while (std::optional<ClipRing::Job> job = ring.takeJob()) {
        order.push_back(job->path);
        jobs.push_back(std::move(*job));
    }
    EXPECT_EQ(order, (std::vector<std::string>{"c", "a", "b"})) << "three entries at most";
    for (ClipRing::Job& job : jobs) ring.finishJob(std::move(job), identity(1), picture(1), true);
    EXPECT_FALSE(ring.takeJob().has_value()) << "every entry is still planned";
    ring.setPlan({"a", "d"});  // c went by least recently: it makes room
    std::optional<ClipRing::Job> next = ring.takeJob();
    ASSERT_TRUE(next.has_value());
    EXPECT_EQ(next->path, "d");
    EXPECT_EQ(ring.size(), 3u);
    cv::Mat into;
    EXPECT_EQ(ring.take("c", identity(1), into), ClipRing::Lookup::Miss);
    EXPECT_EQ(ring.take("a", identity(1), into), ClipRing::Lookup::Hit);
}

TEST(ClipRing, ByteBudgetLimitsTheDecodesHeld) {
    const std::size_t clipBytes = 40 * 30 * 3;
    ClipRing ring(ClipRing::Limits{16, clipBytes * 2});
    for (const char* path : {"a", "b", "c"}) {
        ring.setPlan({path});
        std::optional<ClipRing::Job> job = ring.takeJob();
        ASSERT_TRUE(job.has_value()) << path;
        ring.finishJob(std::move(*job), identity(1), picture(1), true);
        EXPECT_LE(ring.bytes(), clipBytes * 2) << path;
    }
    EXPECT_EQ(ring.size(), 2u);
}

TEST(ClipRing, AFailedDecodeWaitsForANewPlanOrAChangedFile) {
    ClipRing ring(ClipRing::Limits{});
    auto fails = [&ring](const char* expected, const std::optional<FileIdentity>& id) {
        std::optional<ClipRing::Job> job = ring.takeJob();
        if (!job || job->path != expected) return false;
        ring.finishJob(std::move(*job), id, cv::Mat(), false);
        return true;
    };
    ring.setPlan({"a", "b"});
    ASSERT_TRUE(fails("a", identity(1)));
    ASSERT_TRUE(fails("b", std::nullopt));  // a missing file fails too
    EXPECT_FALSE(ring.takeJob().has_value()) << "neither is decoded again at once";
    ring.setPlan({"a", "b"});
    EXPECT_FALSE(ring.takeJob().has_value()) << "the same plan again";
    ring.recheckFailure("a", identity(1));
    ring.recheckFailure("b", std::nullopt);
    EXPECT_FALSE(ring.takeJob().has_value()) << "the files are as they were";
    EXPECT_EQ(ring.failures().size(), 2u);

    ring.recheckFailure("a", identity(2));  // written since
    ASSERT_TRUE(fails("a", identity(2)));
    cv::Mat into;
    EXPECT_EQ(ring.take("b", identity(3), into), ClipRing::Lookup::Miss);  // b appeared
    ASSERT_TRUE(fails("b", identity(3)));
    ring.keep("a", identity(2), picture(5));  // the display decoded it after all
    EXPECT_EQ(ring.failures().size(), 1u);

    ring.setPlan({"c", "b"});
    EXPECT_EQ(ring.takeJob().value().path, "c");
    EXPECT_EQ(ring.takeJob().value().path, "b") << "a new plan tries again";
    ring.finishJob(ClipRing::Job{"b", ring.generation(), cv::Mat()}, identity(3), cv::Mat(), false);
    ring.clear();
    EXPECT_TRUE(ring.failures().empty());
}

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
    std::unique_ptr<ThreadedClipReader> makeReader(int decoders) {
        return std::make_unique<ThreadedClipReader>(
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
    ThreadedClipReader reader([] { return std::make_unique<TurboJpegLoader>(); }, &fileIdentityOf,
                              1, ClipRing::Limits{});
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
