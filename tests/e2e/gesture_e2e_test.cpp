// The real player learns two motions from a generated camera video, saves them, and a second
// run drives the clips with them.

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <thread>
#include <string>
#include <vector>

#include "gesture/kb_files.h"
#include "support/osc_listener.h"
#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"
#include "tools/demo_contents.h"

namespace kalvento::test {
namespace {

constexpr int kClips = 300;
constexpr const char* kFinishedLine =
    "  OOOOOOO  OOOOOO  OO   OO  OOOOOO   OOOOO   OO   OO  OOOOOOO  OOOOOO   OO  \n";
constexpr const char* kGoLine = "   OOOOO                OO  \n";

// What a recognition run showed: the clip positions of the position bar, split at every line
// that ends a motion ("[A]   rv=..." names the gesture).
struct Motion {
    std::string name;            // the gesture named at the motion's end
    std::vector<int> positions;  // the positions shown while it went on
};

std::vector<Motion> motions(const std::string& out) {
    static const std::regex bar(R"(^\[ *(\d+)/ *\d+\] [#.]{65}$)");
    static const std::regex end(R"(^\[([A-H]?)\]   rv=)");
    std::vector<Motion> result(1);
    for (const std::string& line : lines(out)) {
        std::smatch m;
        if (std::regex_search(line, m, bar)) {
            result.back().positions.push_back(std::stoi(m[1]));
        } else if (std::regex_search(line, m, end)) {
            result.back().name = m[1];
            result.emplace_back();
        }
    }
    result.pop_back();
    return result;
}

class GestureRun : public ::testing::Test {
protected:
    GestureRun() : shm_("kalvento_e2e_gesture_" + std::to_string(::getpid())) {
        ws.addClips(1, {0}, 64, 48);
        ws.addFrameData(1, std::vector<std::string>(kClips, "../S001/clip_00000.jpg"));
    }
    RunResult run(const std::string& script, const std::string& video,
                  std::vector<std::string> words = {}) {
        std::vector<std::string> args = {"--input", ws.script(script), "--shm-name",
                                         shm_,      "--camera-source", video, "--camera-source-unpaced"};
        args.insert(args.end(), words.begin(), words.end());
        RunResult result = runPlayer(args, ws.work());
        EXPECT_FALSE(result.timedOut);
        return result;
    }
    std::string video(const std::string& name, int stillBefore,
                      const std::vector<demo::GesturePart>& parts) {
        std::string path = ws.root() + "/" + name;
        EXPECT_TRUE(demo::writeGestureVideo(path, cv::Size(320, 240), 15.0, stillBefore, parts));
        return path;
    }
    Workspace ws;
    std::string shm_;
};

TEST_F(GestureRun, LearnTwoMotionsSaveThemAndScrubTheFolderWithThem) {
    // Five key stages pass before and between the four runs; W comes well after the last.
    RunResult learned =
        run("idle 20\nkey W\n",
            video("learn.avi", demo::kLearningStillBefore, demo::learningGestureParts()),
            {"--learn", "2"});
    ASSERT_EQ(learned.status, 0) << learned.err;
    const std::string& out = learned.out;
    EXPECT_EQ(count(out, kGoLine), 2u) << "two standard motions";
    EXPECT_EQ(count(out, "   OOOOO                OO   OO  \n"), 2u) << "two similar motions";
    size_t finished = out.find(kFinishedLine);
    size_t written = out.find("\nWriteKB:\n");
    ASSERT_NE(finished, std::string::npos) << out;
    ASSERT_NE(written, std::string::npos);
    EXPECT_LT(finished, written);
    EXPECT_FALSE(contains(out, "CANCELLED"));
    EXPECT_FALSE(contains(out, "STOP YOUR BODY MOTION")) << "the figure is still when asked";
    for (int part = 1; part <= 4; ++part)
        EXPECT_TRUE(std::filesystem::exists(ws.work() + "/" + kbFileName(1, part))) << part;
    EXPECT_EQ(std::filesystem::file_size(ws.work() + "/" + kbFileName(1, 4)),
              2u * 6 * 32 * sizeof(KbRecord))
        << "six samples of both gestures at every view point";

    // Camera on (the gesture mode is left), ';' reads the knowledge base again and goes back
    // to it, i shows the position bar.
    // Its decisions also go out over OSC.
    OscListener osc;
    const std::string drive = video("drive.avi", 12, demo::recognitionGestureParts());
    RunResult driven = run("key q\nkey ;\nkey i\nidle 110\n", drive, {"--osc-send", osc.address()});
    ASSERT_EQ(driven.status, 0) << driven.err;
    EXPECT_TRUE(contains(driven.out, std::string("\nReadKB:\n") + kGoLine));
    std::vector<Motion> seen = motions(driven.out);
    ASSERT_EQ(seen.size(), 4u) << driven.out;
    const int third = kClips / 3;
    EXPECT_EQ(seen[0].name, "A");
    ASSERT_FALSE(seen[0].positions.empty());
    EXPECT_GE(*std::max_element(seen[0].positions.begin(), seen[0].positions.end()), third)
        << "A forward rises through the folder";
    EXPECT_EQ(seen[1].name, "A");
    ASSERT_FALSE(seen[1].positions.empty());
    const auto [low, high] =
        std::minmax_element(seen[1].positions.begin(), seen[1].positions.end());
    EXPECT_EQ(*high, seen[1].positions.front());
    EXPECT_GE(*high - *low, third) << "A backward falls as far";
    EXPECT_EQ(seen[2].name, "B");
    EXPECT_EQ(seen[3].name, "B");

    std::set<std::string> named;
    for (const OscMessage& message : osc.messages("/kalvento/gesture")) {
        ASSERT_EQ(message.args.size(), 6u);
        const int result = message.args[0].i, phase = message.args[2].i;
        if (result >= 0 && phase >= 1) named.insert(message.args[1].s);
    }
    EXPECT_EQ(named, (std::set<std::string>{"A", "B"})) << "decided gestures sent over OSC";

    // --gesture does q and ; at start: the same video scrubs the folder with no key (the shown
    // clips go out over OSC).
    OscListener kiosk;
    RunResult started = run("idle 110\n", drive, {"--gesture", "--osc-send", kiosk.address()});
    ASSERT_EQ(started.status, 0) << started.err;
    const size_t cameraOn = started.out.find("NOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...");
    ASSERT_NE(cameraOn, std::string::npos);
    EXPECT_NE(started.out.find(std::string("\nReadKB:\n") + kGoLine, cameraOn), std::string::npos);
    EXPECT_FALSE(contains(started.out, "has no gesture knowledge base"));
    std::vector<int> scrubbed = kiosk.clips();
    ASSERT_FALSE(scrubbed.empty());
    const auto [first, last] = std::minmax_element(scrubbed.begin(), scrubbed.end());
    EXPECT_GE(*last - *first, third) << "the gestures did not scrub the folder";
    named.clear();
    for (const OscMessage& message : kiosk.messages("/kalvento/gesture"))
        if (message.args[0].i >= 0 && message.args[2].i >= 1) named.insert(message.args[1].s);
    EXPECT_EQ(named, (std::set<std::string>{"A", "B"}));

    // With the knowledge base read at start and no camera, nothing is recognised: no gesture
    // message goes out, motion messages do.
    OscListener cameraOff;
    RunResult still = run("idle 60\n", drive, {"--osc-send", cameraOff.address()});
    ASSERT_EQ(still.status, 0) << still.err;
    EXPECT_TRUE(contains(still.out, std::string("\nReadKB:\n") + kGoLine));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_GT(cameraOff.count("/kalvento/motion"), 0u);
    EXPECT_EQ(cameraOff.count("/kalvento/gesture"), 0u);
}

TEST_F(GestureRun, GestureAtStartWithoutAKnowledgeBaseSaysSoAndFollowsMotion) {
    RunResult r = run("idle 5\n", video("walk.avi", 2, demo::recognitionGestureParts()),
                      {"--gesture"});
    ASSERT_EQ(r.status, 0) << r.err;
    const size_t cameraOn = r.out.find("NOW, TURNING ON THE CAMERA DEVICE. WAIT A MOMENT...");
    const size_t none = r.out.find(
        "*** --gesture: S001 has no gesture knowledge base (DALMO_data-1-1.dat .. "
        "DALMO_data-1-4.dat): the player follows motion. ***\n");
    ASSERT_NE(cameraOn, std::string::npos);
    ASSERT_NE(none, std::string::npos) << r.out;
    EXPECT_LT(cameraOn, none);
    EXPECT_EQ(count(r.out, "has no gesture knowledge base"), 1u);
}

// With the follower the clip follows where the visitor is in a learned motion: half of motion
// A holds the clip in the middle of the folder, going back lowers it, and A at twice the speed
// takes it to the end.
TEST_F(GestureRun, TheFollowerMovesTheClipPartOfTheWayAndBack) {
    RunResult learned =
        run("idle 20\nkey W\n",
            video("learn.avi", demo::kLearningStillBefore, demo::learningGestureParts()),
            {"--learn", "2"});
    ASSERT_EQ(learned.status, 0) << learned.err;
    const demo::GestureMotion a = demo::GestureMotion::SweepArm;
    const std::string follow = video("follow.avi", 12,
                                     {{a, 3, false, 12, 0.5}, {a, 3, true, 12}, {a, 3, false, 20}});
    RunResult r = run("key i\nidle 70\n", follow, {"--gesture", "--follow"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.out, "     [--follow] ジェスチャーの途中の位置に画像が追従します（現在 オン ）。\n"))
        << "the help page says the follower is on";
    static const std::regex bar(R"(^\[ *(\d+)/ *\d+\] [#.]{65}$)");
    std::vector<int> shown;
    for (const std::string& line : lines(r.out)) {
        std::smatch m;
        if (std::regex_search(line, m, bar)) shown.push_back(std::stoi(m[1]));
    }
    ASSERT_GE(shown.size(), 3u) << r.out;
    const auto fall = std::adjacent_find(shown.begin(), shown.end(), std::greater<int>());
    ASSERT_NE(fall, shown.end()) << "going back lowered the clip";
    const double last = kClips - 1;
    EXPECT_GE(*fall, 0.35 * last) << "half of the motion: the middle of the folder";
    EXPECT_LE(*fall, 0.65 * last);
    EXPECT_LT(*std::min_element(fall, shown.end()), 0.35 * last) << "back towards the start";
    EXPECT_GT(shown.back(), 0.85 * last) << "the whole motion twice as fast: the end";
}

// The lines a gesture run owes to the recogniser: the position bar and motion-end lines, and
// its reports (a narrowed phase limit, corrupt or unusable samples).
std::string recogniserLines(const std::string& out) {
    static const std::regex own(
        R"(^\[ *\d+/ *\d+\] |^\[[A-H]?\]   rv=|^Changed threshold|^Illegal|^Discriminate\(\))");
    std::string result;
    for (const std::string& line : lines(out))
        if (std::regex_search(line, own)) result += line + "\n";
    return result;
}

// 64-bit FNV-1a of a file's bytes: a large file compared with a reference in one line.
std::string fingerprint(const std::string& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : bytes) hash = (hash ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

TEST_F(GestureRun, LearningAndRecognitionGiveTheReferenceTranscript) {
    RunResult learned =
        run("idle 20\nkey W\n",
            video("learn.avi", demo::kLearningStillBefore, demo::learningGestureParts()),
            {"--learn", "2"});
    ASSERT_EQ(learned.status, 0) << learned.err;
    std::string transcript = "learning\n" + recogniserLines(learned.out);
    for (int part = 1; part <= 4; ++part)
        transcript += "knowledge base file " + std::to_string(part) + " " +
                      fingerprint(readFile(ws.work() + "/" + kbFileName(1, part))) + "\n";
    RunResult driven = run("key q\nkey ;\nkey i\nidle 110\n",
                           video("drive.avi", 12, demo::recognitionGestureParts()));
    ASSERT_EQ(driven.status, 0) << driven.err;
    transcript += "recognition\n" + recogniserLines(driven.out);

    const std::string golden =
        readFile(std::string(KALVENTO_SOURCE_DIR) + "/tests/e2e/golden/gesture_run.txt");
    const std::string actual = std::string(KALVENTO_BINARY) + ".gesture_run.txt";
    if (transcript != golden) writeFile(actual, transcript);
    ASSERT_FALSE(golden.empty()) << "reference transcript missing";
    EXPECT_EQ(transcript, golden) << "this run's transcript is in " << actual;
}

}  // namespace
}  // namespace kalvento::test
