// The parameter files: their exact text, the way back into the state, the per-folder file
// winning, the older 1297-line form, hostile files and writes that fail or are cut short.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "commands/dispatch.h"
#include "core/paths.h"
#include "settings/parameter_file.h"
#include "support/capture_console.h"
#include "support/fake_io.h"
#include "support/player_fixture.h"
#include "support/text.h"
#include "support/unprivileged_child.h"
#include "support/workspace.h"

namespace kalvento::test {
namespace {

constexpr int kFolderClips = 200;

// Every value the parameter file carries, in file order, as doubles.
std::vector<double> carried(const State& s) {
    std::vector<double> v = {double(s.camera.PixelStep),
                             double(s.contents.DirNum),
                             double(s.contents.MaxCount),
                             s.playback.frame_no,
                             double(s.camera.VR_threshold),
                             double(s.playback.ReplayDirection),
                             s.playback.VR_step,
                             double(s.playback.ReverseRun),
                             double(s.playback.RunReset),
                             double(s.playback.JumpMode),
                             double(s.playback.IdleTurns),
                             double(s.playback.IdleLimit),
                             double(s.playback.MotionDisplayMode),
                             double(s.camera.CameraLogMode),
                             double(s.playback.WrapAroundFlag),
                             double(s.playback.PlayStepMode),
                             double(s.keyFrames.KeyFrameIndex)};
    v.insert(v.end(), s.keyFrames.KeyFrameNumber.begin(), s.keyFrames.KeyFrameNumber.end());
    for (int field : {s.playback.StartFrameNum, s.playback.EndFrameNum, s.mouse.MouseReverseFlag,
                      s.mouse.MouseVertFlag, s.playback.flip_mode})
        v.push_back(field);
    return v;
}

// A state in folder S005 (index 4) with its clips loaded and every carried field set to a value
// other than its start value.
std::unique_ptr<State> savedState() {
    auto s = std::make_unique<State>();
    s->contents.DirNum = 4;
    s->contents.MaxCount = kFolderClips;
    s->camera.PixelStep = 3;
    s->playback.frame_no = 123.25;
    s->camera.VR_threshold = 777;
    s->playback.ReplayDirection = 0;
    s->playback.VR_step = 0.5;
    s->playback.ReverseRun = 7;
    s->playback.RunReset = 4;
    s->playback.JumpMode = 2;
    s->playback.IdleTurns = 11;
    s->playback.IdleLimit = 3000;
    s->playback.MotionDisplayMode = 2;
    s->camera.CameraLogMode = 1;
    s->playback.WrapAroundFlag = 1;
    s->playback.PlayStepMode = 0;
    s->keyFrames.KeyFrameIndex = 17;
    for (int i = 0; i < kKeyFrameSlots; i += 7) s->keyFrames.KeyFrameNumber[i] = i * 0.25;
    s->keyFrames.KeyFrameNumber[1279] = -5.0;
    s->playback.StartFrameNum = 5;
    s->playback.EndFrameNum = 150;
    s->mouse.MouseReverseFlag = 1;
    s->mouse.MouseVertFlag = 1;
    s->playback.flip_mode = 2;
    return s;
}

// A state with S005 loaded and values that differ from savedState() everywhere.
std::unique_ptr<State> loadedState() {
    auto s = std::make_unique<State>();
    s->contents.DirNum = 4;
    s->contents.MaxCount = kFolderClips;
    s->playback.frame_no = 42.0;
    s->keyFrames.KeyFrameIndex = 3;
    s->keyFrames.KeyFrameNumber.fill(9.0);
    s->playback.StartFrameNum = 1;
    s->playback.EndFrameNum = 2;
    s->mouse.MouseReverseFlag = 1;
    s->mouse.MouseVertFlag = 1;
    s->playback.flip_mode = 1;
    return s;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> result;
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        result.push_back(text.substr(start, end - start));
    if (start < text.size()) result.push_back(text.substr(start));
    return result;
}

std::string joinLines(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\n";
    return text;
}

// The names in the working directory.
std::set<std::string> entries(const std::string& dir) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir))
        names.insert(entry.path().filename().string());
    return names;
}

class ParameterFileTest : public ::testing::Test {
protected:
    ParameterFileTest() : workdir_(ws.work()) {}

    std::string read(State& state) {
        fake.console.clear();
        ReadParameterFile(state, fake.files, fake.console);
        return fake.console.outText();
    }
    std::string write(const State& state) {
        fake.console.clear();
        WriteParameters(state, fake.files, fake.console);
        return fake.console.outText();
    }

    Workspace ws;
    ScopedWorkdir workdir_;
    FakeIo fake;
};

TEST(ParameterFileName, ZeroFilledFolderNumber) {
    EXPECT_EQ(parameterFileName(0), "qbn_env0001.dat");
    EXPECT_EQ(parameterFileName(122), "qbn_env0123.dat");
    EXPECT_EQ(parameterFileName(9998), "qbn_env9999.dat");
    EXPECT_EQ(parameterFileName(9999), "qbn_env10000.dat");
}

TEST(ParameterText, LinesInFileOrderWithTheirFormats) {
    auto state = savedState();
    state->keyFrames.KeyFrameNumber[1] = 1.0 / 3.0;
    state->playback.VR_step = 1e9;
    std::vector<std::string> lines = splitLines(parameterText(*state));
    ASSERT_EQ(lines.size(), static_cast<size_t>(kParameterLines));
    std::vector<std::string> head(lines.begin(), lines.begin() + 17);
    EXPECT_EQ(head, (std::vector<std::string>{"3", "4", "200", "123.250000", "777", "0",
                                              "1000000000.000000", "7", "4", "2", "11", "3000", "2",
                                              "1", "1", "0", "17"}));
    EXPECT_EQ(lines[17], "0.000000");      // KeyFrameNumber[0]
    EXPECT_EQ(lines[18], "0.333333");      // six decimals, rounded
    EXPECT_EQ(lines[17 + 7], "1.750000");  // KeyFrameNumber[7]
    EXPECT_EQ(lines[1296], "-5.000000");   // KeyFrameNumber[1279]
    std::vector<std::string> tail(lines.begin() + 1297, lines.end());
    EXPECT_EQ(tail, (std::vector<std::string>{"5", "150", "1", "1", "2"}));
    EXPECT_EQ(parameterText(*state).back(), '\n');
}

// The follower's line 1303 is there only while it is on; a file with it turns it on (or off), a
// file without it leaves it as it is.
TEST_F(ParameterFileTest, TheFollowerIsKeptOnlyByAFileThatNamesIt) {
    struct Case {
        int writer, reader;  // GestureFollow of the player that saves and of the one that reads
        size_t lines;
        int after;
    } cases[] = {{1, 0, 1303, 1}, {0, 1, 1302, 1}, {0, 0, 1302, 0}};
    for (const Case& c : cases) {
        auto saved = savedState();
        saved->gesture.GestureFollow = c.writer;
        write(*saved);
        EXPECT_EQ(splitLines(readFile(ws.work() + "/qbn_env0005.dat")).size(), c.lines);
        auto restored = loadedState();
        restored->gesture.GestureFollow = c.reader;
        const std::string said = read(*restored);
        EXPECT_EQ(restored->gesture.GestureFollow, c.after) << c.writer << c.reader;
        EXPECT_EQ(contains(said, "SET(1): GestureFollow = 1\n"), c.writer == 1) << said;
        EXPECT_EQ(carried(*restored), carried(*saved));
    }
    writeFile(ws.work() + "/qbn_env0005.dat", parameterText(*savedState()) + "0\n");
    auto off = loadedState();
    off->gesture.GestureFollow = 1;
    read(*off);
    EXPECT_EQ(off->gesture.GestureFollow, 0) << "a line 1303 of 0 turns it off";
}

// The turn and the fit of the picture follow the follower's line (then always written) only
// when either is not the default; a file without them leaves them as they are, and values no
// player writes are not taken.
TEST_F(ParameterFileTest, TheScreensTurnAndFitAreKeptAfterTheFollowersLine) {
    struct Case {
        int follow, rotation, fit;
        size_t lines;
        std::vector<std::string> tail;  // lines 1303 on
    } cases[] = {
        {0, 90, 0, 1305, {"0", "90", "0"}},
        {1, 0, 1, 1305, {"1", "0", "1"}},
        {1, 270, 2, 1305, {"1", "270", "2"}},
        {1, 0, 0, 1303, {"1"}},
        {0, 0, 0, 1302, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.follow << " " << c.rotation << " " << c.fit);
        auto saved = savedState();
        saved->gesture.GestureFollow = c.follow;
        saved->playback.DisplayRotation = c.rotation;
        saved->playback.DisplayFit = c.fit;
        write(*saved);
        const std::vector<std::string> lines = splitLines(readFile(ws.work() + "/qbn_env0005.dat"));
        ASSERT_EQ(lines.size(), c.lines);
        EXPECT_EQ(std::vector<std::string>(lines.begin() + 1302, lines.end()), c.tail);
        auto restored = loadedState();
        restored->playback.DisplayRotation = 180;  // what the reader had: kept without the lines
        restored->playback.DisplayFit = 1;
        const std::string said = read(*restored);
        const bool kept = c.lines == 1305;
        EXPECT_EQ(restored->playback.DisplayRotation, kept ? c.rotation : 180);
        EXPECT_EQ(restored->playback.DisplayFit, kept ? c.fit : 1);
        EXPECT_EQ(contains(said, "SET(1): DisplayRotation = " + std::to_string(c.rotation) + "\n"),
                  kept);
    }
    const std::string base = parameterText(*savedState());
    for (const char* tail : {"0\n45\n1\n", "0\n90\n7\n", "0\nx\n"}) {
        SCOPED_TRACE(tail);
        writeFile(ws.work() + "/qbn_env0005.dat", base + tail);
        auto restored = loadedState();
        read(*restored);
        EXPECT_EQ(restored->playback.DisplayFit, 0);
        EXPECT_TRUE(restored->playback.DisplayRotation == 0 ||
                    (restored->playback.DisplayRotation == 90 && std::string(tail) == "0\n90\n7\n"));
    }
}

TEST_F(ParameterFileTest, WriteThenReadGivesTheSameStateAndBothFilesTheSameText) {
    auto saved = savedState();
    EXPECT_EQ(write(*saved),
              "Finished Writing QBN Parameters to File : qbn_env.dat\n"
              "Finished Writing QBN Parameters to File : qbn_env0005.dat\n");
    std::string global = readFile(ws.work() + "/qbn_env.dat");
    EXPECT_EQ(global, parameterText(*saved));
    EXPECT_EQ(readFile(ws.work() + "/qbn_env0005.dat"), global);
    EXPECT_EQ(entries(ws.work()), (std::set<std::string>{"qbn_env.dat", "qbn_env0005.dat"}));

    auto restored = loadedState();
    ASSERT_NE(carried(*restored), carried(*saved));
    EXPECT_EQ(read(*restored),
              "\nLOADING Additional Parameters...\n\n"
              "SET(1): StartFrameNum = 5\n"
              "SET(1): EndFrameNum   = 150\n"
              "SET(1): MouseReverseFlag = 1\n"
              "SET(1): MouseVertFlag    = 1\n"
              "SET(1): flip_mode = 2\n"
              "Finished Reading QBN Parameters from File : qbn_env0005.dat\n");
    EXPECT_EQ(carried(*restored), carried(*saved));
    EXPECT_EQ(parameterText(*restored), global);
}

TEST_F(ParameterFileTest, FolderFileWinsOverTheGlobalOne) {
    auto saved = savedState();
    saved->playback.frame_no = 10.0;
    writeFile(ws.work() + "/qbn_env.dat", parameterText(*saved));
    saved->playback.frame_no = 20.0;
    writeFile(ws.work() + "/qbn_env0005.dat", parameterText(*saved));

    auto state = loadedState();
    EXPECT_TRUE(contains(read(*state), "from File : qbn_env0005.dat\n"));
    EXPECT_EQ(state->playback.frame_no, 20.0);

    // Another folder's own file is not looked at.
    state->contents.DirNum = 5;
    state->playback.frame_no = 0.0;
    saved->contents.DirNum = 5;
    saved->playback.frame_no = 30.0;
    writeFile(ws.work() + "/qbn_env0005.dat", parameterText(*saved));
    writeFile(ws.work() + "/qbn_env.dat", parameterText(*saved));
    EXPECT_TRUE(contains(read(*state), "from File : qbn_env.dat\n"));
    EXPECT_EQ(state->playback.frame_no, 30.0);

    // A folder "file" that cannot be read is passed over for the global file.
    std::filesystem::create_directory(ws.work() + "/qbn_env0006.dat");
    state->playback.frame_no = 0.0;
    EXPECT_TRUE(contains(read(*state), "from File : qbn_env.dat\n"));
    EXPECT_EQ(state->playback.frame_no, 30.0);
}

TEST_F(ParameterFileTest, OlderFileOf1297LinesClearsTheFiveLaterFieldsSilently) {
    auto saved = savedState();
    std::vector<std::string> lines = splitLines(parameterText(*saved));
    lines.resize(kBaseParameterLines);
    writeFile(ws.work() + "/qbn_env.dat", joinLines(lines));

    auto state = loadedState();
    state->contents.DirNum = 4;
    std::string out = read(*state);
    EXPECT_EQ(out, "Finished Reading QBN Parameters from File : qbn_env.dat\n");
    EXPECT_EQ(state->playback.frame_no, 123.25);
    EXPECT_EQ(state->keyFrames.KeyFrameNumber, saved->keyFrames.KeyFrameNumber);
    EXPECT_EQ(state->playback.StartFrameNum, 0);
    EXPECT_EQ(state->playback.EndFrameNum, 0);
    EXPECT_EQ(state->mouse.MouseReverseFlag, 0);
    EXPECT_EQ(state->mouse.MouseVertFlag, 0);
    EXPECT_EQ(state->playback.flip_mode, 0);
}

TEST_F(ParameterFileTest, MissingFileChangesNothingButTheConfigurationIsStillImported) {
    auto state = loadedState();
    std::vector<double> before = carried(*state);
    EXPECT_EQ(read(*state), "");
    EXPECT_EQ(carried(*state), before);

    std::vector<int32_t> pivots(kPivotSlots, 0);
    pivots[0] = 66;
    writeFile(ws.folder(5) + "/tcz_config.dat",
              std::string(reinterpret_cast<const char*>(pivots.data()), pivots.size() * 4));
    std::string out = read(*state);
    EXPECT_TRUE(contains(out, "Finished Importing [ ../S005/tcz_config.dat ]\n"));
    EXPECT_EQ(state->keyFrames.KeyFrameNumber[0], 66.0);
    EXPECT_EQ(state->keyFrames.KeyFrameNumber[1], 0.0);
}

TEST_F(ParameterFileTest, ConfigurationKeyFramesReplaceThoseOfTheParameterFile) {
    writeFile(ws.work() + "/qbn_env0005.dat", parameterText(*savedState()));
    std::vector<int32_t> pivots(kPivotSlots, 0);
    pivots[1] = 77;
    writeFile(ws.folder(5) + "/tcz_config.dat",
              std::string(reinterpret_cast<const char*>(pivots.data()), pivots.size() * 4));
    auto state = loadedState();
    std::string out = read(*state);
    size_t finished = out.find("Finished Reading QBN Parameters from File : qbn_env0005.dat\n");
    size_t imported = out.find("Found a file [ tcz_config.dat ]");
    ASSERT_NE(finished, std::string::npos);
    ASSERT_NE(imported, std::string::npos);
    EXPECT_LT(finished, imported);
    EXPECT_EQ(state->keyFrames.KeyFrameNumber[7], 0.0) << "1.75 in the parameter file";
    EXPECT_EQ(state->keyFrames.KeyFrameNumber[1], 77.0);
    EXPECT_EQ(state->keyFrames.KeyFrameIndex, 17) << "the cursor comes from the parameter file";
}

TEST_F(ParameterFileTest, FolderOfTheFileIsTakenOnlyBeforeAnyFolderIsLoaded) {
    writeFile(ws.work() + "/qbn_env.dat", parameterText(*savedState()));

    // Start-up: nothing scanned yet; the folder of the file is taken for the scan to load.
    auto fresh = std::make_unique<State>();
    read(*fresh);
    EXPECT_EQ(fresh->contents.DirNum, 4);
    EXPECT_EQ(fresh->contents.MaxCount, 0) << "the clip count is the scan's";
    EXPECT_EQ(fresh->keyFrames.KeyFrameIndex, 17);
    EXPECT_EQ(fresh->playback.flip_mode, 2);

    // S001 is loaded and has no file of its own: the global file saved in S005 keeps the
    // player in S001 at its position and with its key frames, and says so.
    auto inS001 = loadedState();
    inS001->contents.DirNum = 0;
    inS001->contents.MaxCount = 50;
    std::string out = read(*inS001);
    EXPECT_TRUE(contains(out,
                         "Finished Reading QBN Parameters from File : qbn_env.dat\n"
                         "NOTE: [ qbn_env.dat ] was saved in folder [ S005 ]; the folder, "
                         "position and key frames of [ S001 ] are kept.\n"));
    EXPECT_EQ(inS001->contents.DirNum, 0);
    EXPECT_EQ(inS001->contents.MaxCount, 50);
    EXPECT_EQ(inS001->playback.frame_no, 42.0);
    EXPECT_EQ(inS001->keyFrames.KeyFrameIndex, 3);
    EXPECT_EQ(inS001->keyFrames.KeyFrameNumber[0], 9.0);
    EXPECT_EQ(inS001->playback.flip_mode, 2) << "the settings are taken";
    EXPECT_EQ(inS001->camera.PixelStep, 3);
}

TEST_F(ParameterFileTest, PositionIsKeptInsideTheLoadedFolder) {
    auto saved = savedState();
    saved->playback.frame_no = 5000.5;
    writeFile(ws.work() + "/qbn_env0005.dat", parameterText(*saved));
    auto state = loadedState();
    read(*state);
    EXPECT_EQ(state->playback.frame_no, kFolderClips - 1);

    saved->playback.frame_no = -3.5;
    writeFile(ws.work() + "/qbn_env0005.dat", parameterText(*saved));
    read(*state);
    EXPECT_EQ(state->playback.frame_no, 0.0);

    saved->playback.frame_no = 199.75;
    writeFile(ws.work() + "/qbn_env0005.dat", parameterText(*saved));
    read(*state);
    EXPECT_EQ(state->playback.frame_no, 199.75) << "inside the last clip";
}

// One hostile variant: line `line` (1-based) of a good file replaced by `text` (or the file
// replaced as a whole when `line` is 0), and what the read must give.
struct Hostile {
    const char* name;
    int line;
    std::string text;
    std::function<void(const State& state, const std::string& out)> check;
};

void expectSafe(const State& s) {
    EXPECT_GE(s.contents.DirNum, 0);
    EXPECT_LE(s.contents.DirNum, kMaxParameterDirNum);
    EXPECT_EQ(s.contents.MaxCount, kFolderClips);
    EXPECT_GE(s.playback.frame_no, 0.0);
    EXPECT_LT(s.playback.frame_no, kFolderClips);
    EXPECT_GE(s.keyFrames.KeyFrameIndex, 0);
    EXPECT_LT(s.keyFrames.KeyFrameIndex, kKeyFrameSlots);
    EXPECT_GE(s.camera.PixelStep, 1);
    EXPECT_GE(s.playback.flip_mode, 0);
    EXPECT_LE(s.playback.flip_mode, 2);
    for (double slot : s.keyFrames.KeyFrameNumber) EXPECT_TRUE(std::isfinite(slot));
    EXPECT_TRUE(std::isfinite(s.playback.VR_step));
}

TEST_F(ParameterFileTest, HostileValuesLeaveTheirFieldsAndNeverLeaveTheirRanges) {
    const auto saved = savedState();
    const auto before = loadedState();
    auto unchangedFromHere = [&](int line) {
        return [&, line](const State& s, const std::string& out) {
            std::vector<double> got = carried(s), was = carried(*before), file = carried(*saved);
            for (int i = 0; i < kBaseParameterLines; ++i) {
                double expected =
                    i < line - 1 ? file[static_cast<size_t>(i)] : was[static_cast<size_t>(i)];
                if (i == 2) expected = kFolderClips;  // MaxCount
                EXPECT_EQ(got[static_cast<size_t>(i)], expected) << "line " << i + 1;
            }
            EXPECT_EQ(s.playback.flip_mode, 0);
            EXPECT_FALSE(contains(out, "LOADING"));
        };
    };
    auto onlyLineKept = [&](int line) {
        return [&, line](const State& s, const std::string&) {
            std::vector<double> got = carried(s), was = carried(*before), file = carried(*saved);
            for (size_t i = 0; i < got.size(); ++i) {
                double expected = static_cast<int>(i) == line - 1 ? was[i] : file[i];
                EXPECT_EQ(got[i], expected) << "line " << i + 1;
            }
        };
    };
    const std::vector<Hostile> cases = {
        {"PixelStep zero", 1, "0", onlyLineKept(1)},
        {"PixelStep negative", 1, "-3", onlyLineKept(1)},
        {"PixelStep beyond an int", 1, "99999999999", onlyLineKept(1)},
        {"DirNum negative", 2, "-1", onlyLineKept(2)},
        {"DirNum 10000", 2, "10000", onlyLineKept(2)},
        {"DirNum text", 2, "S005", unchangedFromHere(2)},
        {"MaxCount huge", 3, "999999", onlyLineKept(3)},
        {"MaxCount negative", 3, "-5", onlyLineKept(3)},
        {"frame_no nan", 4, "nan", onlyLineKept(4)},
        {"frame_no inf", 4, "-inf", onlyLineKept(4)},
        {"frame_no huge", 4, "1e300", onlyLineKept(4)},
        {"frame_no beyond a double", 4, "1e400", onlyLineKept(4)},
        {"frame_no long digits", 4, std::string(400, '9') + ".5", onlyLineKept(4)},
        {"VR_threshold beyond an int", 5, "2147483648", onlyLineKept(5)},
        {"ReplayDirection 2", 6, "2", onlyLineKept(6)},
        {"VR_step nan", 7, "NAN", onlyLineKept(7)},
        {"MotionDisplayMode 7", 13, "7", onlyLineKept(13)},
        {"KeyFrameIndex 1280", 17, "1280", onlyLineKept(17)},
        {"KeyFrameIndex negative", 17, "-1", onlyLineKept(17)},
        {"KeyFrameIndex beyond an int", 17, "4294967296", onlyLineKept(17)},
        {"KeyFrameIndex text", 17, "x", unchangedFromHere(17)},
        {"key frame nan", 18, "nan", onlyLineKept(18)},
        {"key frame huge", 19, "1e20", onlyLineKept(19)},
        {"key frame double sign", 20, "+-5", unchangedFromHere(20)},
        {"text where a number belongs", 10, "abc", unchangedFromHere(10)},
        {"flip_mode 3", 1302, "3",
         [&](const State& s, const std::string& out) {
             EXPECT_EQ(s.playback.flip_mode, 1);
             EXPECT_TRUE(contains(out, "SET(0): flip_mode = 1\n"));
         }},
        {"flip_mode negative", 1302, "-1",
         [&](const State& s, const std::string& out) {
             EXPECT_EQ(s.playback.flip_mode, 1);
             EXPECT_TRUE(contains(out, "SET(0): flip_mode = 1\n"));
         }},
        {"mouse flag text", 1300, "on",
         [&](const State& s, const std::string& out) {
             EXPECT_TRUE(contains(out,
                                  "SET(1): EndFrameNum   = 150\n"
                                  "SET(0): MouseReverseFlag = 1\n"
                                  "SET(0): MouseVertFlag    = 1\n"
                                  "SET(0): flip_mode = 1\n"));
             EXPECT_EQ(s.playback.flip_mode, 1);
         }},
        {"StartFrameNum text", 1298, "x",
         [&](const State& s, const std::string& out) {
             EXPECT_FALSE(contains(out, "LOADING"));
             EXPECT_EQ(s.playback.StartFrameNum, 0);
             EXPECT_EQ(s.mouse.MouseReverseFlag, 0);
             EXPECT_EQ(s.playback.flip_mode, 0);
             EXPECT_EQ(s.playback.frame_no, 123.25);
         }},
        {"empty file", 0, "", unchangedFromHere(1)},
        {"truncated after line 20", 0, joinLines([&] {
             auto lines = splitLines(parameterText(*saved));
             lines.resize(20);
             return lines;
         }()),
         unchangedFromHere(21)},
        {"ends after StartFrameNum", 0, joinLines([&] {
             auto lines = splitLines(parameterText(*saved));
             lines.resize(1298);
             return lines;
         }()),
         [&](const State& s, const std::string& out) {
             EXPECT_TRUE(contains(out,
                                  "SET(1): StartFrameNum = 5\n"
                                  "SET(-1): EndFrameNum   = 2\n"
                                  "SET(-1): MouseReverseFlag = 1\n"
                                  "SET(-1): MouseVertFlag    = 1\n"
                                  "SET(-1): flip_mode = 1\n"));
             EXPECT_EQ(s.playback.StartFrameNum, 5);
         }},
        {"binary garbage", 0,
         [] {
             std::string bytes;
             for (int i = 0; i < 5000; ++i) bytes += static_cast<char>((i * 7919) & 0xFF);
             return bytes;
         }(),
         [&](const State&, const std::string&) {}},
        {"windows line ends", 0,
         [&] {
             std::string text;
             for (const std::string& line : splitLines(parameterText(*saved)))
                 text += line + "\r\n";
             return text;
         }(),
         [&](const State& s, const std::string&) { EXPECT_EQ(carried(s), carried(*saved)); }},
        {"megabytes of digits after the file", 0, parameterText(*saved) + std::string(3 << 20, '7'),
         [&](const State& s, const std::string&) { EXPECT_EQ(carried(s), carried(*saved)); }},
        {"everything beyond the read bound", 0, std::string(2 << 20, ' ') + parameterText(*saved),
         unchangedFromHere(1)},
        {"number cut by the read bound", 0, std::string((1 << 20) - 2, '\n') + "250\n",
         unchangedFromHere(1)},
    };
    for (const Hostile& c : cases) {
        SCOPED_TRACE(c.name);
        std::string text = c.text;
        if (c.line > 0) {
            std::vector<std::string> lines = splitLines(parameterText(*saved));
            lines[static_cast<size_t>(c.line - 1)] = c.text;
            text = joinLines(lines);
        }
        writeFile(ws.work() + "/qbn_env0005.dat", text);
        auto state = loadedState();
        std::string out = read(*state);
        EXPECT_TRUE(contains(out, "Finished Reading QBN Parameters from File : qbn_env0005.dat\n"));
        expectSafe(*state);
        c.check(*state, out);
    }
}

TEST_F(ParameterFileTest, FileThatCannotBeReplacedKeepsItsTextAndTheOtherIsStillWritten) {
    auto saved = savedState();
    std::filesystem::create_directory(ws.work() + "/qbn_env.dat");
    EXPECT_EQ(write(*saved),
              "Write Failed in WriteParameters()...\n"
              "Finished Writing QBN Parameters to File : qbn_env0005.dat\n");
    EXPECT_TRUE(std::filesystem::is_directory(ws.work() + "/qbn_env.dat"));
    EXPECT_EQ(readFile(ws.work() + "/qbn_env0005.dat"), parameterText(*saved));
    EXPECT_EQ(entries(ws.work()), (std::set<std::string>{"qbn_env.dat", "qbn_env0005.dat"}))
        << "no temporary file is left behind";
}

// The writes run as an unprivileged user (root writes into any folder).
TEST_F(ParameterFileTest, ReadOnlyFolderKeepsTheOldFilesWhole) {
    auto old = loadedState();
    write(*old);
    const std::string oldText = parameterText(*old);
    ASSERT_EQ(::chmod(ws.root().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(ws.work().c_str(), 0555), 0);
    const int status = runUnprivileged([&] {
        if (::access(".", W_OK) == 0) return 3;
        CaptureConsole console;
        PosixFileOps files;
        WriteParameters(*savedState(), files, console);
        return console.outText() ==
                       "Write Failed in WriteParameters()...\n"
                       "Write Failed in WriteParameters()...\n"
                   ? 0
                   : 1;
    });
    ::chmod(ws.work().c_str(), 0755);
    EXPECT_EQ(status, 0) << "both writes must fail and say so (3: the folder stays writable)";
    EXPECT_EQ(readFile(ws.work() + "/qbn_env.dat"), oldText);
    EXPECT_EQ(readFile(ws.work() + "/qbn_env0005.dat"), oldText);
    EXPECT_EQ(entries(ws.work()), (std::set<std::string>{"qbn_env.dat", "qbn_env0005.dat"}));
}

// A write cut short part-way through the new text (the file-size limit stops it, for every
// user) leaves the old files whole and no temporary file.
TEST_F(ParameterFileTest, WriteCutShortKeepsTheOldFilesWhole) {
    auto old = loadedState();
    write(*old);
    const std::string oldText = parameterText(*old);
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit limit = {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        CaptureConsole console;
        PosixFileOps files;
        auto state = savedState();
        WriteParameters(*state, files, console);
        ::_exit(console.outText() ==
                        "Write Failed in WriteParameters()...\n"
                        "Write Failed in WriteParameters()...\n"
                    ? 0
                    : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "both writes must fail and say so";
    EXPECT_EQ(readFile(ws.work() + "/qbn_env.dat"), oldText);
    EXPECT_EQ(readFile(ws.work() + "/qbn_env0005.dat"), oldText);
    EXPECT_EQ(entries(ws.work()), (std::set<std::string>{"qbn_env.dat", "qbn_env0005.dat"}));
}

// A writer killed at any moment leaves each file holding one whole text, old or new.
TEST_F(ParameterFileTest, WriterKilledAtAnyMomentLeavesWholeFiles) {
    auto a = loadedState();
    auto b = savedState();
    const std::string textA = parameterText(*a), textB = parameterText(*b);
    write(*a);
    for (int round = 0; round < 6; ++round) {
        pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            CaptureConsole console;
            PosixFileOps files;
            for (int i = 0;; ++i) {
                WriteParameters(i % 2 ? *a : *b, files, console);
                console.clear();
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 15 * round));
        ::kill(child, SIGKILL);
        int status = 0;
        ASSERT_EQ(::waitpid(child, &status, 0), child);
        for (const char* name : {"/qbn_env.dat", "/qbn_env0005.dat"}) {
            std::string text = readFile(ws.work() + name);
            EXPECT_TRUE(text == textA || text == textB)
                << name << " holds " << text.size() << " bytes after round " << round;
        }
    }
}

// After a hostile file the player keeps running: its turns and keys use every value read.
class HostileFileInPlayer : public PlayerFixture {};

TEST_F(HostileFileInPlayer, TurnsAndKeysStayInsideTheFolder) {
    ws.addClipRange(1, 5);
    load();
    auto hostile = savedState();
    std::vector<std::string> lines = splitLines(parameterText(*hostile));
    lines[0] = "0";      // PixelStep
    lines[1] = "77777";  // DirNum
    lines[2] = "22001";  // MaxCount
    lines[3] = "1e9";    // frame_no
    lines[6] = "inf";    // VR_step
    lines[12] = "2";     // MotionDisplayMode
    lines[16] = "5000";  // KeyFrameIndex
    lines[17] = "nan";   // KeyFrameNumber[0]
    lines[1301] = "9";   // flip_mode
    writeFile(ws.work() + "/qbn_env.dat", joinLines(lines));
    player.readParameters();
    EXPECT_EQ(player.state.contents.DirNum, 0);
    EXPECT_EQ(player.state.contents.MaxCount, 5);
    EXPECT_EQ(player.state.playback.frame_no, 4.0);
    EXPECT_EQ(player.state.keyFrames.KeyFrameIndex, 0);
    EXPECT_EQ(player.state.playback.flip_mode, 0);
    script("key x\nkey z\nkey e\nkey ;\nkey +\nkey !\n");
    for (int turn = 0; turn < 6; ++turn) {
        player.beginTurn();
        ASSERT_TRUE(player.showClipAtPosition());
        dispatchTurnKey(player);
        EXPECT_GE(player.state.playback.frame_no, 0.0);
        EXPECT_LT(player.state.playback.frame_no, 5.0);
        EXPECT_GE(player.state.keyFrames.KeyFrameIndex, 0);
        EXPECT_LT(player.state.keyFrames.KeyFrameIndex, kKeyFrameSlots);
    }
    EXPECT_TRUE(contains(out(), "Finished Writing QBN Parameters to File : qbn_env0001.dat\n"));
}

}  // namespace
}  // namespace kalvento::test
