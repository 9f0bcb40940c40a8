// The real player, headless: the threshold keys and the threshold file across runs, and the
// calibration key with the camera closed and with a camera source of still pictures.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include "support/run_player.h"
#include "support/temp_dir.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

class ThresholdRun : public ::testing::Test {
protected:
    void SetUp() override { ws.addClipRange(1, 3); }
    RunResult run(const std::string& script, std::vector<std::string> extra = {}) {
        std::vector<std::string> args = {"--input", ws.script(script), "--shm-name",
                                         "kalvento_thresh_" + std::to_string(::getpid())};
        args.insert(args.end(), extra.begin(), extra.end());
        RunResult result = runPlayer(args, ws.work());
        EXPECT_FALSE(result.timedOut);
        EXPECT_EQ(result.status, 0) << result.err;
        return result;
    }
    std::string thresholdFile() const { return ws.work() + "/QBN_THRESHOLD.dat"; }
    Workspace ws;
};

TEST_F(ThresholdRun, TheFileKeepsTheThresholdAndAnOutsideEditIsTakenAtTheNextTurn) {
    RunResult first = run("key V\n");
    EXPECT_TRUE(contains(first.out, "[ NG ] Read Failed : [ QBN_THRESHOLD.dat ]\n"));
    EXPECT_TRUE(contains(first.out,
                         "S001:(00003)> （変数設定： QBN_threshold = [  11508 ] (step = 8 )）\n"));
    EXPECT_EQ(readFile(thresholdFile()), "11508");

    writeFile(thresholdFile(), "20000");
    RunResult second = run("idle 1\nkey ENTER\nkey v\n");
    // The help screen of the start shows the start value; the one after the first turn shows
    // the file's value.
    EXPECT_TRUE(contains(second.out, "動きしきい値（現在 11500 ）を自動設定します。"));
    EXPECT_TRUE(contains(second.out, "動きしきい値（現在 20000 ）を自動設定します。"));
    EXPECT_FALSE(contains(second.out, "Read Failed"));
    EXPECT_EQ(readFile(thresholdFile()), "19992");
}

TEST_F(ThresholdRun, CalibrationWithTheCameraClosedRunsToItsEndAndKeepsTheThreshold) {
    writeFile(thresholdFile(), "12000");
    auto start = std::chrono::steady_clock::now();
    RunResult r = run("key g\nkey h\n");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
    EXPECT_TRUE(contains(r.out, "---> Setting QBN_threshold.  GET READY!  (5)\n"));
    EXPECT_TRUE(contains(r.out, "---> Setting QBN_threshold.  GET READY!  (1)\n"));
    EXPECT_FALSE(contains(r.out, "STOP YOUR BODY MOTION"));
    EXPECT_TRUE(
        contains(r.out,
                 "WARNING: no motion was measured (mean 0; is the camera on?): "
                 "QBN_threshold stays [ 12000 ]\n"
                 "S001:(00003)> （変数設定： QBN_threshold = [  12000 ] ( 余裕率 =  1.05 )）\n"))
        << r.out;
    EXPECT_TRUE(
        contains(r.out,
                 "QBN_threshold stays [ 12000 ]: no motion has been measured yet (q "
                 "switches the camera on, g measures the scene at rest)\n"
                 "S001:(00003)> （変数設定： QBN_threshold = [  12000 ] ( 余裕率 =  1.04 )）\n"))
        << r.out;
    EXPECT_EQ(readFile(thresholdFile()), "12000");
}

TEST_F(ThresholdRun, CalibrationMeasuresTheCameraSource) {
    // A camera at rest with sensor noise: pictures alternate between gray 100 and 108.
    ScopedTempDir frames;
    for (int i = 0; i < 120; ++i) {
        int level = 100 + (i % 2) * 8;
        char name[32];
        std::snprintf(name, sizeof name, "/cam_%04d.png", i);
        ASSERT_TRUE(cv::imwrite(frames.path() + name,
                                cv::Mat(240, 320, CV_8UC3, cv::Scalar(level, level, level))));
    }
    RunResult r =
        run("key q\nkey g\nkey H\n", {"--camera-source", frames.path() + "/cam_%04d.png", "--camera-source-unpaced"});
    EXPECT_TRUE(contains(r.out, "Done.\n")) << r.out;
    // 4800 sampled pixels differ by 8 in every measured turn; the threshold is 5 % above.
    EXPECT_TRUE(contains(r.out, "（変数設定： QBN_threshold = [  40320 ] ( 余裕率 =  1.05 )）\n"))
        << r.out;
    EXPECT_TRUE(contains(r.out, "（変数設定： QBN_threshold = [  40704 ] ( 余裕率 =  1.06 )）\n"));
    EXPECT_EQ(readFile(thresholdFile()), "40704");
}

}  // namespace
}  // namespace kalvento::test
