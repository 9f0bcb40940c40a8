// Read-ahead from the display step: the plan follows the direction and step of the playback
// and keeps the clips just passed; folder changes and the pause drop every decode; and clips
// shown through the threaded reader are the very pixels shown without it, reversals included.

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include "contents/read_ahead.h"
#include "platform/console.h"
#include "support/player_fixture.h"

namespace kalvento::test {
namespace {

// Loads directly and records the plans and the forgetting.
class RecordingClipReader final : public ClipReader {
public:
    explicit RecordingClipReader(ImageLoader& loader) : loader_(loader) {}
    using ClipReader::loadClip;
    bool loadClip(const std::string& path, cv::Mat& into, cv::Size& whole) override {
        loads.push_back(path);
        const bool ok = loader_.loadColor(path, into);
        whole = into.size();
        return ok;
    }
    void plan(std::vector<std::string> paths) override { plans.push_back(std::move(paths)); }
    void forgetAll() override { ++forgets; }

    std::vector<std::vector<std::string>> plans;
    std::vector<std::string> loads;
    int forgets = 0;

private:
    ImageLoader& loader_;
};

std::vector<std::string> clipPaths(std::initializer_list<int> clips) {
    std::vector<std::string> paths;
    for (int clip : clips) paths.push_back(strf("../S001/clip_%05d.jpg", clip));
    return paths;
}

class ReadAheadTest : public PlayerFixture {
protected:
    ReadAheadTest() { io.clips = &reader; }
    void show(double position) {
        player.state.playback.frame_no = position;
        ASSERT_TRUE(player.showClipAtPosition());
        player.planReadAhead();
    }
    RecordingClipReader reader{images};
};

TEST_F(ReadAheadTest, PlanFollowsDirectionStepAndEngine) {
    ws.addClipRange(1, 20);
    load();
    PlaybackState& playback = player.state.playback;
    playback.CamOnMemory = 1;
    struct Case {
        const char* name;
        int direction;
        double step;
        int engine;
        double at;
        std::vector<std::string> plan;
    };
    const Case cases[] = {
        {"forward", 1, 1.0, 1, 5, clipPaths({6, 7, 8, 9, 4, 3})},
        {"backward", 0, 1.0, 1, 5, clipPaths({4, 3, 2, 1, 6, 7})},
        {"fast forward", 1, 3.0, 1, 5, clipPaths({8, 11, 14, 17, 2})},
        {"slow", 1, 0.5, 1, 5, clipPaths({6, 7, 8, 9, 4, 3})},
        {"near the end", 1, 1.0, 1, 18, clipPaths({19, 17, 16})},
        {"gesture drive: both ways", 1, 1.0, 0, 5, clipPaths({6, 4, 7, 3, 8, 2, 9, 1})},
    };
    for (const Case& c : cases) {
        playback.ReplayDirection = c.direction;
        playback.VR_step = c.step;
        playback.PlayEngine = c.engine;
        reader.plans.clear();
        show(c.at);
        ASSERT_EQ(reader.plans.size(), 1u) << c.name;
        EXPECT_EQ(reader.plans.back(), c.plan) << c.name;
        player.planReadAhead();
        EXPECT_EQ(reader.plans.size(), 1u) << c.name << ": nothing changed, no new plan";
        show(0);  // away, so the next case plans afresh
    }
}

TEST_F(ReadAheadTest, ClipsInTheCacheAreNotPlanned) {
    ws.addClipRange(1, 10);
    load();
    PlaybackState& playback = player.state.playback;
    playback.CamOnMemory = 100;
    show(3);
    show(2);
    show(1);
    EXPECT_EQ(reader.plans.back(), clipPaths({4, 5}))
        << "0 (shown by the scan), 2 and 3 are cached";
}

TEST_F(ReadAheadTest, FolderChangeAndPauseForgetEveryDecode) {
    ws.addClipRange(1, 5);
    load();
    const int before = reader.forgets;
    player.scan();
    EXPECT_EQ(reader.forgets, before + 1);
    for (int cameraActive : {1, 0}) {  // the pause drops the ring with the camera on or off
        player.state.camera.CamActive = cameraActive;
        const int atPause = reader.forgets;
        script("key ENTER\n");
        press(kKeyEsc);
        EXPECT_EQ(reader.forgets, atPause + 1) << "camera " << cameraActive;
    }
    // After the scan the same position is planned again.
    reader.plans.clear();
    show(2);
    show(1);
    player.scan();
    show(1);
    EXPECT_EQ(reader.plans.size(), 3u);
}

TEST_F(ReadAheadTest, ThreadedReaderShowsTheSamePixelsAsDirectLoadsThroughReversals) {
    ws.addClipRange(1, 30, 96, 72);
    ReadAhead threaded([] { return std::make_unique<TurboJpegLoader>(); }, &fileIdentityOf, 2,
                       ClipRing::Limits{});
    Io direct = io;
    direct.clips = nullptr;
    Player plain(direct, Options{});
    io.clips = &threaded;
    load();
    plain.state.contents.DirNum = 0;
    plain.scan();
    // Forward and back with a reversal every 7 clips, at two speeds, in both quick-access
    // modes (the marker colour), with the cache limit of one clip.
    std::vector<double> positions;
    std::vector<int> directions;
    double at = 0.0;
    int direction = 1;
    for (int turn = 0; turn < 90; ++turn) {
        if (turn % 7 == 6) direction = -direction;
        at = std::clamp(at + direction * (turn < 45 ? 1.0 : 0.5), 0.0, 29.0);
        positions.push_back(at);
        directions.push_back(direction > 0 ? 1 : 0);
    }
    for (size_t i = 0; i < positions.size(); ++i) {
        for (Player* p : {&plain, &player}) {
            p->state.playback.CamOnMemory = 1;
            p->state.playback.ReplayDirection = directions[i];
            p->state.mouse.QuickAccessMode = i > 60 ? 0 : 1;
            p->state.playback.frame_no = positions[i];
            ASSERT_TRUE(p->showClipAtPosition());
            p->planReadAhead();
        }
        const int clip = clipIndexOf(positions[i]);
        const cv::Mat& a = plain.state.contents.FrameImage[static_cast<size_t>(clip)];
        const cv::Mat& b = player.state.contents.FrameImage[static_cast<size_t>(clip)];
        ASSERT_FALSE(a.empty());
        ASSERT_EQ(a.size(), b.size());
        ASSERT_EQ(cv::norm(a, b, cv::NORM_INF), 0.0) << "turn " << i << ", clip " << clip;
    }
    EXPECT_GT(threaded.hits(), 30) << "most clips came from the ring";
}

}  // namespace
}  // namespace kalvento::test
