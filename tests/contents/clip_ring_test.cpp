// The read-ahead's clip ring: a decode is handed out only for the file as it is on disk now,
// never after a clear; the ring stays within its bounds and follows the plan.

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "contents/clip_ring.h"
#include "support/clip_pictures.h"

namespace kalvento::test {
namespace {

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

}  // namespace
}  // namespace kalvento::test
