// The real player saves its state with + and finds it again at the next start: the global
// parameter file brings it back to the folder, the clip and the key frames it was at.

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <regex>
#include <string>
#include <vector>

#include "support/run_player.h"
#include "support/text.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

std::vector<std::string> fileLines(const std::string& path) {
    std::vector<std::string> lines;
    std::string text = readFile(path);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));
    return lines;
}

class ParameterRun : public ::testing::Test {
protected:
    // A folder of `clips` clips described by a frame data file, all drawn from one image.
    void makeFolder(int folderNo, int clips) {
        ws.addClips(folderNo, {0});
        char path[64];
        std::snprintf(path, sizeof path, "../S%03d/clip_00000.jpg", folderNo);
        ws.addFrameData(folderNo, std::vector<std::string>(static_cast<size_t>(clips), path));
    }
    RunResult run(const std::string& script) {
        RunResult result = runPlayer({"--input", ws.script(script), "--shm-name",
                                      "kalvento_params_" + std::to_string(::getpid())},
                                     ws.work());
        EXPECT_FALSE(result.timedOut);
        return result;
    }
    std::string work(const std::string& name) const { return ws.work() + "/" + name; }
    Workspace ws;
};

TEST_F(ParameterRun, GlobalFileBringsThePlayerBackToFolderClipAndKeyFrames) {
    makeFolder(1, 3);
    makeFolder(5, 247);
    // The key frames of S005 come from its configuration file in the first run only.
    std::vector<int32_t> pivots(23000, 0);
    pivots[0] = 10;
    pivots[1] = 123;
    pivots[1279] = 246;
    const std::string config = ws.folder(5) + "/tcz_config.dat";
    writeFile(config, std::string(reinterpret_cast<const char*>(pivots.data()), pivots.size() * 4));

    // Folder S005, half way (246 x 5 / 10 = clip 123), save.
    RunResult first = run("key 5\nkey %\nidle 1\nkey +\n");
    ASSERT_EQ(first.status, 0) << first.err;
    std::vector<int> shown = shownClips(first.out);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), 123);
    EXPECT_EQ(count(first.out, "Finished Writing QBN Parameters to File : qbn_env.dat\n"), 1u);
    EXPECT_EQ(count(first.out, "Finished Writing QBN Parameters to File : qbn_env0005.dat\n"), 1u);
    const std::string saved = readFile(work("qbn_env.dat"));
    EXPECT_EQ(readFile(work("qbn_env0005.dat")), saved);
    std::vector<std::string> lines = fileLines(work("qbn_env.dat"));
    ASSERT_EQ(lines.size(), 1302u);
    EXPECT_EQ(lines[1], "4");              // DirNum
    EXPECT_EQ(lines[2], "247");            // MaxCount
    EXPECT_EQ(lines[3], "123.000000");     // frame_no
    EXPECT_EQ(lines[17], "10.000000");     // KeyFrameNumber[0]
    EXPECT_EQ(lines[18], "123.000000");    // KeyFrameNumber[1]
    EXPECT_EQ(lines[1296], "246.000000");  // KeyFrameNumber[1279]

    // Only the global file is left and the folder no longer brings key frames of its own.
    std::filesystem::remove(work("qbn_env0005.dat"));
    std::filesystem::remove(config);
    RunResult second = run("key +\n");
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(count(second.out, "Finished Reading QBN Parameters from File : qbn_env.dat\n"), 2u);
    EXPECT_EQ(count(second.out, "\nLOADING Additional Parameters...\n\n"), 2u);
    shown = shownClips(second.out);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 123) << "back at the saved clip of S005";
    EXPECT_NE(second.out.find("S005:(00247)> "), std::string::npos);
    // Saved again at once, the state holds the same folder, clip and key frames.
    EXPECT_EQ(readFile(work("qbn_env.dat")), saved);
    EXPECT_EQ(readFile(work("qbn_env0005.dat")), saved);

    // The older form of the file, without its last five lines: no LOADING line, same place.
    lines.resize(1297);
    std::string older;
    for (const std::string& line : lines) older += line + "\n";
    writeFile(work("qbn_env.dat"), older);
    std::filesystem::remove(work("qbn_env0005.dat"));
    RunResult third = run("idle 1\n");
    ASSERT_EQ(third.status, 0) << third.err;
    EXPECT_EQ(count(third.out, "Finished Reading QBN Parameters from File : qbn_env.dat\n"), 2u);
    EXPECT_EQ(third.out.find("LOADING"), std::string::npos);
    shown = shownClips(third.out);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), 123);
}

}  // namespace
}  // namespace kalvento::test
