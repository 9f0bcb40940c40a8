// Movie export: the encoder command lines (text and argument vector) of E, Q, Y, '}', I and
// '^', the work folder and its renumbered frames, the clip names, the questions of Y and the
// frame-rate keys. The encoder is a fake that records what it was asked to run.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <numeric>
#include <string>
#include <vector>

#include "commands/command.h"
#include "commands/dispatch.h"
#include "contents/movie_export.h"
#include "support/player_fixture.h"
#include "support/text.h"

namespace kalvento::test {
namespace {

namespace fs = std::filesystem;
using Argv = std::vector<std::string>;

constexpr const char* kPrompt = "S001:(00010)> ";

// An encoder that writes the file named by its last argument, as ffmpeg writes its output,
// so clip names already taken are seen by the next clip.
class WritingRunner final : public ProcessRunner {
public:
    int run(const std::vector<std::string>& argv) override {
        ran.push_back(argv);
        writeFile(argv.back(), "movie");
        return 0;
    }
    bool isExecutable(const std::string&) override { return false; }
    std::vector<std::vector<std::string>> ran;
};

class MovieTest : public PlayerFixture {
protected:
    void loadFolder(int folderNo = 1) {
        load(folderNo - 1);
        player.state.playback.PromptText = kPrompt;
    }
    void pressAt(double position, int code) {
        player.state.playback.frame_no = position;
        press(code);
    }
    void answer(const std::string& line) { console.addInputLine(line); }
    // Home slots 0.. written as small files; only their existence counts for Y.
    void fillHome(const std::vector<int>& slots) {
        for (int slot : slots) writeFile(homeSlot(slot), "frame " + std::to_string(slot));
    }
    std::string homeSlot(int slot) const {
        char name[32];
        std::snprintf(name, sizeof name, "/clip_%05d.jpg", slot);
        return ws.root() + name;
    }
    std::string workFrame(int number) const {
        char name[48];
        std::snprintf(name, sizeof name, "/temp_for_mp4/clip_%05d.jpg", number);
        return ws.root() + name;
    }
    std::string clip(int folderNo, int number) const {
        char name[32];
        std::snprintf(name, sizeof name, "/clip_%05d.jpg", number);
        return readFile(ws.folder(folderNo) + name);
    }
    // The images left in the work folder, by name.
    std::vector<std::string> workFolderFiles() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(ws.root() + "/temp_for_mp4"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    const std::vector<Argv>& ran() const { return processes.ran; }
    const std::string& err() const { return console.errText(); }
    MovieState& movie() { return player.state.movie; }
};

// ---- the key table ----

TEST(MovieKeys, TitlesAreTheAnnouncementsAndEQYHaveNone) {
    const std::vector<std::pair<int, const char*>> titled = {
        {'{', "KEY FUNCTION : [ { ][ Set CopyStartFrameNum ]"},
        {'}', "KEY FUNCTION : [ } ][ Take and Renumber Multiple Frames (One Way Up or Down) ]"},
        {'I',
         "KEY FUNCTION : [ I ][ Create mp4 contents according to the motion sorting "
         "results ]"},
        {'^',
         "KEY FUNCTION : [ ^ ][ Create mp4 and avi files by exported image sequence in the "
         "contents folder ]"},
        {'f', "KEY FUNCTION : [f][ Decrease Output Movie's FrameRate ]"},
        {'F', "KEY FUNCTION : [F][ Increase Output Movie's FrameRate ]"},
    };
    for (const auto& [code, title] : titled) {
        const KeyCommand* row = findKeyCommand(code);
        ASSERT_NE(row, nullptr) << char(code);
        ASSERT_NE(row->title, nullptr) << char(code);
        EXPECT_STREQ(row->title, title);
    }
    for (int code : {'E', 'Q', 'Y'}) {
        const KeyCommand* row = findKeyCommand(code);
        ASSERT_NE(row, nullptr) << char(code);
        EXPECT_EQ(row->title, nullptr) << char(code);
    }
}

// ---- f, F ----

TEST_F(MovieTest, FrameRateKeysStopAtOneAndRaiseWithoutLimit) {
    ws.addClipRange(1, 3);
    loadFolder();
    EXPECT_EQ(movie().MovieFrameRate, 30);
    press('F');
    EXPECT_EQ(out(), std::string(kPrompt) +
                         "キー入力[ F ]→ 出力する動画のフレームレートを増加させました。\n" +
                         kPrompt + "（変数設定： MovieFrameRate = [ 31 ]）\n")
        << "no prompt line of its own";
    EXPECT_EQ(movie().MovieFrameRate, 31);

    console.clear();
    movie().MovieFrameRate = 2;
    press('f');
    EXPECT_EQ(out(), std::string(kPrompt) +
                         "キー入力[ f ]→ 出力する動画のフレームレートを減少させました。\n" +
                         kPrompt + "（変数設定： MovieFrameRate = [ 1 ]）\n");
    press('f');
    EXPECT_EQ(movie().MovieFrameRate, 1);
    EXPECT_EQ(count(out(), "MovieFrameRate = [ 1 ]"), 2u);

    movie().MovieFrameRate = 2147483647;
    press('F');
    EXPECT_EQ(movie().MovieFrameRate, 2147483647) << "no wrap to a negative rate";
}

TEST_F(MovieTest, DispatchPrintsTheTitleBeforeTheCommand) {
    ws.addClipRange(1, 3);
    loadFolder();
    player.state.playback.MotionDisplayMode = 1;
    script("key F\n");
    dispatchTurnKey(player);
    EXPECT_EQ(out().rfind("KEY FUNCTION : [F][ Increase Output Movie's FrameRate ]\n" +
                              std::string(kPrompt) + "キー入力[ F ]",
                          0),
              0u)
        << out();
}

// ---- E, Q ----

TEST_F(MovieTest, FolderMoviesRunTheFourCommandsOfTheCurrentFolder) {
    ws.addClipRange(3, 2);
    loadFolder(3);
    press('F');
    console.clear();
    press('E');
    const std::vector<Argv> expected = {
        {"ffmpeg", "-y", "-framerate", "31", "-i", "../S003/clip_%05d.jpg", "-vcodec", "libx264",
         "-pix_fmt", "yuv420p", "-crf", "0", "-r", "60", "../S003_libx264_yuv420p.mp4"},
        {"ffmpeg", "-y", "-framerate", "31", "-i", "../S003/clip_%05d.jpg", "-vcodec", "libx264",
         "-crf", "0", "-r", "31", "../S003_libx264.mp4"},
        {"ffmpeg", "-y", "-framerate", "31", "-i", "../S003/clip_%05d.jpg", "-r", "31",
         "../S003.mp4"},
        {"ffmpeg", "-y", "-framerate", "31", "-i", "../S003/clip_%05d.jpg", "-vcodec", "mjpeg",
         "-q:v", "0", "-r", "31", "../S003.avi"},
    };
    EXPECT_EQ(ran(), expected);
    EXPECT_EQ(
        out(),
        std::string(kPrompt) + "\n" + kPrompt +
            "キー入力[ E ]→ 現在のコンテンツフォルダにある全画像の動画ファイルを作成します。\n"
            "\n----------> EXECUTING: ffmpeg  -y  -framerate 31  -i ../S003/clip_%05d.jpg  -vcodec "
            "libx264  -pix_fmt yuv420p  -crf 0  -r 60  ../S003_libx264_yuv420p.mp4\n\n"
            "\n----------> EXECUTING: ffmpeg  -y  -framerate 31  -i ../S003/clip_%05d.jpg  -vcodec "
            "libx264                    -crf 0  -r 31  ../S003_libx264.mp4\n\n"
            "\n----------> EXECUTING: ffmpeg  -y  -framerate 31  -i ../S003/clip_%05d.jpg          "
            "                                   -r 31  ../S003.mp4\n\n"
            "\n----------> EXECUTING: ffmpeg  -y  -framerate 31  -i ../S003/clip_%05d.jpg  -vcodec "
            "mjpeg  -q:v 0                      -r 31  ../S003.avi\n\n"
            "\nDone.\n\n");
    EXPECT_EQ(err(), "");
}

TEST_F(MovieTest, TheEncoderInTheWorkingDirectoryIsStartedFirst) {
    ws.addClipRange(1, 2);
    loadFolder();
    processes.executables = {"./ffmpeg"};
    press('Q');
    const std::vector<Argv> expected = {
        {"./ffmpeg", "-y", "-framerate", "30", "-i", "../clip_%05d.jpg", "-vcodec", "libx264",
         "-pix_fmt", "yuv420p", "-crf", "0", "-r", "60", "../HomeMovie_libx264_yuv420p.mp4"},
        {"./ffmpeg", "-y", "-framerate", "30", "-i", "../clip_%05d.jpg", "-vcodec", "libx264",
         "-crf", "0", "-r", "30", "../HomeMovie_libx264.mp4"},
        {"./ffmpeg", "-y", "-framerate", "30", "-i", "../clip_%05d.jpg", "-r", "30",
         "../HomeMovie.mp4"},
        {"./ffmpeg", "-y", "-framerate", "30", "-i", "../clip_%05d.jpg", "-vcodec", "mjpeg", "-q:v",
         "0", "-r", "30", "../HomeMovie.avi"},
    };
    EXPECT_EQ(ran(), expected);
    EXPECT_TRUE(contains(out(),
                         "\n----------> EXECUTING: ./ffmpeg  -y  -framerate 30  -i "
                         "../clip_%05d.jpg  -vcodec libx264  -pix_fmt yuv420p  -crf 0  "
                         "-r 60  ../HomeMovie_libx264_yuv420p.mp4\n\n"));
    EXPECT_TRUE(contains(out(),
                         "キー入力[ Q ]→ 現在ホームフォルダにある全画像の動画ファイルを作成し"
                         "ます。\n"));
    EXPECT_EQ(count(out(), "\nDone.\n\n"), 1u);
}

TEST_F(MovieTest, EncoderFailuresAreReportedAndTheNextCommandStillRuns) {
    ws.addClipRange(1, 2);
    loadFolder();
    processes.status = 1;
    press('E');
    EXPECT_EQ(ran().size(), 4u);
    EXPECT_EQ(count(err(), "ERROR: The movie encoder ended with status 1.\n"), 4u);
    console.clear();
    processes.status = -1;
    press('Q');
    EXPECT_EQ(count(err(), "ERROR: The movie encoder [ ffmpeg ] could not be started.\n"), 4u);
    console.clear();
    processes.status = kProcessEndUnknown;
    press('Q');
    EXPECT_EQ(count(err(), "ERROR: The movie encoder ran, but how it ended is unknown.\n"), 4u);
    EXPECT_EQ(count(err(), "could not be started"), 0u);
}

TEST_F(MovieTest, WithoutAnEncoderNothingIsDoneAndTheRangeIsKept) {
    ws.addClipRange(1, 12);
    loadFolder();
    io.processes = nullptr;
    const std::string noEncoder =
        "ERROR: No movie encoder is available to this player: no movie is made.\n";
    press('E');
    press('Q');
    fillHome({0});
    press('Y');
    EXPECT_EQ(count(err(), noEncoder), 3u);
    EXPECT_FALSE(contains(out(), "EXECUTING"));
    EXPECT_FALSE(contains(out(), "Enter full name")) << "no question is asked for nothing";
    pressAt(2.0, '{');
    pressAt(5.0, '}');
    EXPECT_EQ(count(err(), noEncoder), 4u);
    EXPECT_EQ(movie().CopyStartFrameNum, 2);
    EXPECT_FALSE(fs::exists(ws.root() + "/temp_for_mp4"));
}

// ---- Y ----

TEST_F(MovieTest, SoundMovieRateMakesTheFramesLastTheGivenTime) {
    ws.addClipRange(1, 2);
    loadFolder();
    std::vector<int> slots(120);
    for (int i = 0; i < 120; ++i) slots[static_cast<size_t>(i)] = i;
    fillHome(slots);
    answer("music.mp3");
    answer("1");
    answer("0");
    press('Y');
    const std::string common =
        "ffmpeg  -y  -r 2.000000  -start_number 0  -i ../clip_%05d.jpg  "
        "-i ../music.mp3  -vframes 120  -t 60";
    EXPECT_EQ(
        out(),
        std::string(kPrompt) + "\n" + kPrompt +
            "キー入力[ Y ]→ "
            "現在ホームフォルダにある全画像と音楽ファイルで動画ファイルを作成します。\n"
            "\n***************************************************\n"
            "******** Start Creating a Home Sound Movie ********\n"
            "***************************************************\n\n"
            "AUTO-SET: FF_start_number = [     0 ]\n\n"
            "AUTO-SET: FF_vframes      = [   120 ]\n\n"
            ">> Enter full name of sound file = "
            ">> Enter how many minutes (min)  = "
            ">> Enter how many seconds (sec)  = "
            "\n----------> EXECUTING: " +
            common +
            "  -vcodec libx264  -pix_fmt yuv420p  -crf 0  ../HomeSoundMovie_libx264_yuv420p.mp4\n\n"
            "\n----------> EXECUTING: " +
            common +
            "  -vcodec libx264                    -crf 0  ../HomeSoundMovie_libx264.mp4\n\n"
            "\n----------> EXECUTING: " +
            common +
            "                                             ../HomeSoundMovie.mp4\n\n"
            "\n----------> EXECUTING: " +
            common +
            "  -vcodec mjpeg  -q:v 0                      ../HomeSoundMovie.avi\n\n"
            "\nDone.\n\n");
    const Argv head = {
        "ffmpeg",           "-y", "-r",           "2.000000", "-start_number", "0",  "-i",
        "../clip_%05d.jpg", "-i", "../music.mp3", "-vframes", "120",           "-t", "60"};
    std::vector<Argv> expected(4, head);
    for (const char* arg : {"-vcodec", "libx264", "-pix_fmt", "yuv420p", "-crf", "0",
                            "../HomeSoundMovie_libx264_yuv420p.mp4"})
        expected[0].push_back(arg);
    for (const char* arg : {"-vcodec", "libx264", "-crf", "0", "../HomeSoundMovie_libx264.mp4"})
        expected[1].push_back(arg);
    expected[2].push_back("../HomeSoundMovie.mp4");
    for (const char* arg : {"-vcodec", "mjpeg", "-q:v", "0", "../HomeSoundMovie.avi"})
        expected[3].push_back(arg);
    EXPECT_EQ(ran(), expected);
}

TEST_F(MovieTest, SoundMovieTakesTheFirstRunOfHomeFrames) {
    ws.addClipRange(1, 2);
    loadFolder();
    fillHome({5, 6, 7, 8, 9, 11, 12});
    answer("a.wav");
    answer("0");
    answer("3");
    press('Y');
    EXPECT_TRUE(contains(out(),
                         "AUTO-SET: FF_start_number = [     5 ]\n\n"
                         "AUTO-SET: FF_vframes      = [     5 ]\n\n"));
    ASSERT_EQ(ran().size(), 4u);
    EXPECT_EQ(ran()[0][3], "1.666667");
    EXPECT_EQ(ran()[0][5], "5");
    EXPECT_EQ(ran()[0][11], "5");
    EXPECT_EQ(ran()[0][13], "3");
}

TEST_F(MovieTest, TheTypedSoundFileNameIsOneArgumentWhateverItHolds) {
    ws.addClipRange(1, 2);
    loadFolder();
    fillHome({0, 1, 2, 3});
    const std::string name = "my song; rm -rf \"$HOME\" 'x' `y` | z & %s %n.wav";
    answer("");
    answer("   ");
    answer("  " + name + "  ");
    answer("0");
    answer("2");
    press('Y');
    ASSERT_EQ(ran().size(), 4u);
    for (const Argv& argv : ran()) {
        ASSERT_GT(argv.size(), 10u);
        EXPECT_EQ(argv[9], "../" + name);
        EXPECT_EQ(argv[10], "-vframes");
        EXPECT_EQ(count(std::accumulate(argv.begin(), argv.end(), std::string()), name), 1u);
    }
    EXPECT_EQ(ran()[2].size(), 15u);
    EXPECT_TRUE(contains(out(), "-i ../clip_%05d.jpg  -i ../" + name + "  -vframes 4  -t 2"));

    // A name far beyond the 255 characters of a command text still reaches the encoder whole,
    // and is printed whole.
    processes.ran.clear();
    console.clear();
    const std::string longName(400, 'n');
    answer(longName + ".wav");
    answer("0");
    answer("2");
    press('Y');
    ASSERT_EQ(ran().size(), 4u);
    EXPECT_EQ(ran()[0][9], "../" + longName + ".wav");
    EXPECT_TRUE(contains(out(), "-i ../" + longName + ".wav  -vframes 4"));
}

TEST_F(MovieTest, SoundMovieRefusesWhatCannotMakeAMovie) {
    ws.addClipRange(1, 2);
    loadFolder();

    // An empty home folder: the search ends after clip_99999.jpg, and no question is asked.
    press('Y');
    EXPECT_TRUE(contains(out(),
                         "\nERROR: There is no image [clip_00000.jpg - clip_99999.jpg] "
                         "in home folder. No movie is made.\n\n"));
    EXPECT_FALSE(contains(out(), "Enter"));
    EXPECT_FALSE(contains(out(), "Start Creating"));

    fillHome({99999});
    answer("a.wav");
    answer("0");
    answer("1");
    press('Y');
    ASSERT_EQ(ran().size(), 4u) << "the last slot searched is still found";
    EXPECT_EQ(ran()[0][5], "99999");
    processes.ran.clear();
    fs::remove(homeSlot(99999));
    fillHome({0, 1});

    // A total of 0 seconds, and a negative one.
    for (const auto& [minutes, seconds] :
         std::vector<std::pair<std::string, std::string>>{{"0", "0"}, {"1", "-61"}}) {
        console.clear();
        answer("a.wav");
        answer(minutes);
        answer(seconds);
        press('Y');
        EXPECT_TRUE(contains(out(), "\nERROR: The movie must last from 1 to 2147483647 seconds"))
            << out();
        EXPECT_TRUE(ran().empty());
    }
    // Too long for an int.
    console.clear();
    answer("a.wav");
    answer("2147483647");
    answer("0");
    press('Y');
    EXPECT_TRUE(contains(out(), "not 128849018820. No movie is made.\n\n"));
    EXPECT_TRUE(ran().empty());

    // A name no file can have.
    console.clear();
    answer(std::string(4093, 'n'));
    answer("0");
    answer("1");
    press('Y');
    EXPECT_TRUE(contains(out(),
                         "\nERROR: The sound file name is too long (at most 4092 bytes) "
                         "or holds a NUL byte. No movie is made.\n\n"));
    EXPECT_TRUE(ran().empty());
    console.clear();
    answer(std::string(4092, 'n'));
    answer("0");
    answer("1");
    press('Y');
    EXPECT_EQ(ran().size(), 4u) << "4092 bytes are a path of 4095";
}

TEST_F(MovieTest, SoundMovieAsksAgainUntilTheAnswerIsANumber) {
    ws.addClipRange(1, 2);
    loadFolder();
    fillHome({0, 1, 2, 3, 4, 5});
    answer("a.wav");
    answer("one");
    answer("1.5");
    answer("2 min");
    answer("1");
    answer("");
    answer("x");
    answer(" +30 ");
    press('Y');
    EXPECT_EQ(count(out(), "*** Please answer with a number.\n"), 4u);
    EXPECT_EQ(count(out(), ">> Enter how many minutes (min)  = "), 4u);
    EXPECT_EQ(count(out(), ">> Enter how many seconds (sec)  = "), 2u);
    ASSERT_EQ(ran().size(), 4u);
    EXPECT_EQ(ran()[0][3], "0.066667");
    EXPECT_EQ(ran()[0][13], "90");

    // At the end of the input no movie is made, whichever question is open.
    for (int answered = 0; answered < 3; ++answered) {
        processes.ran.clear();
        console.clear();
        const std::vector<std::string> answers = {"a.wav", "0", "9"};
        for (int i = 0; i < answered; ++i) answer(answers[static_cast<size_t>(i)]);
        press('Y');
        EXPECT_TRUE(contains(out(), "\nERROR: No answer was given. No movie is made.\n\n"));
        EXPECT_TRUE(ran().empty());
    }
}

// ---- {, } ----

TEST_F(MovieTest, RangeStartTakesTheShownFrame) {
    ws.addClipRange(1, 12);
    loadFolder();
    pressAt(10.9, '{');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt +
                         "キー入力[ { ]→ 連続フレームコピー機能の開始点を設定しました。\n" +
                         kPrompt + "（変数設定： CopyStartFrameNum = [ 10 ]）\n");
    EXPECT_EQ(movie().CopyStartFrameNum, 10);
    EXPECT_TRUE(ran().empty());
}

TEST_F(MovieTest, RangeWithoutAValidStartOrEndIsRefused) {
    ws.addClipRange(1, 12);
    loadFolder();
    const std::string confirm =
        "キー入力[ } ]→ 連続フレームコピー機能の終了点を設定し、指定範囲の動画ファイル（mp4 と "
        "avi）"
        "を作成します。\n";
    const std::string error =
        "ERROR: 連続フレームコピー機能の終了点を設定できませんでした。再度範囲指定してください。\n";
    pressAt(4.0, '}');
    EXPECT_EQ(out(),
              std::string(kPrompt) + "\n" + kPrompt + confirm + kPrompt + "\n" + kPrompt + error);
    movie().CopyStartFrameNum = 12;  // beyond the folder (from a longer folder)
    pressAt(4.0, '}');
    movie().CopyStartFrameNum = 3;
    pressAt(12.0, '}');
    pressAt(-0.5 - 1.0, '}');
    EXPECT_EQ(count(out(), error), 4u);
    EXPECT_TRUE(ran().empty());
    EXPECT_FALSE(fs::exists(ws.root() + "/temp_for_mp4"));
    EXPECT_EQ(movie().CopyStartFrameNum, 3) << "a refused end keeps the start";
}

TEST_F(MovieTest, BackwardRangeCopiesTheFramesInReverseOrder) {
    ws.addClipRange(1, 12);
    loadFolder();
    pressAt(10.0, '{');
    console.clear();
    pressAt(4.0, '}');
    for (int k = 0; k < 7; ++k) EXPECT_EQ(readFile(workFrame(k)), clip(1, 10 - k)) << k;
    EXPECT_FALSE(fs::exists(workFrame(7)));
    const std::vector<Argv> expected = {
        {"ffmpeg", "-y", "-framerate", "30", "-start_number", "0", "-i",
         "../temp_for_mp4/clip_%05d.jpg", "-vframes", "7", "-r", "30", "../vclip_00000.mp4"},
        {"ffmpeg", "-y", "-framerate", "30", "-start_number", "0", "-i",
         "../temp_for_mp4/clip_%05d.jpg", "-vframes", "7", "-vcodec", "mjpeg", "-q:v", "0", "-r",
         "30", "../vclip_00000.avi"},
    };
    EXPECT_EQ(ran(), expected);
    std::string copies;
    for (int k = 0; k < 7; ++k) {
        char line[160];
        std::snprintf(line, sizeof line,
                      " [%5d image(s) left ] EXECUTING:  copy ../S001/clip_%05d.jpg "
                      "../temp_for_mp4/clip_%05d.jpg  <<<Press Enter Key to Stop>>>\n",
                      6 - k, 10 - k, k);
        copies += line;
    }
    EXPECT_EQ(out(),
              std::string(kPrompt) + "\n" + kPrompt +
                  "キー入力[ } ]→ 連続フレームコピー機能の終了点を設定し、指定範囲の動画ファイル"
                  "（mp4 と avi）を作成します。\n"
                  "\n----------> EXECUTING: mkdir  \"../temp_for_mp4\"\n\n"
                  "\n----------> EXECUTING: del  /f   \"../temp_for_mp4/*.jpg\"\n\n" +
                  copies +
                  "\n* COPY COMPLETED.\n\n"
                  "\nAUTO-SET: Video clip's name = [ vclip_00000.mp4 ]\n\n"
                  "AUTO-SET: FF_start_number   = [     0 ]\n\n"
                  "AUTO-SET: FF_vframes        = [     7 ]\n\n"
                  "\n----------> EXECUTING: ffmpeg  -y  -framerate 30  -start_number 0  -i "
                  "../temp_for_mp4/clip_%05d.jpg  -vframes 7                                   "
                  "          -r 30  ../vclip_00000.mp4\n\n"
                  "\n----------> EXECUTING: ffmpeg  -y  -framerate 30  -start_number 0  -i "
                  "../temp_for_mp4/clip_%05d.jpg  -vframes 7  -vcodec mjpeg  -q:v 0            "
                  "          -r 30  ../vclip_00000.avi\n\n"
                  "\nDone.\n\n");
    EXPECT_EQ(movie().CopyStartFrameNum, -1);
    EXPECT_EQ(movie().CopyEndFrameNum, -1);
    EXPECT_EQ(player.state.playback.frame_no, 4.0);
}

TEST_F(MovieTest, EachClipEmptiesTheWorkFolderAndTakesTheNextFreeName) {
    ws.addClipRange(1, 12);
    loadFolder();
    WritingRunner writer;
    io.processes = &writer;
    // Left-overs: images of any case go, other files and folders stay.
    writeFile(workFrame(0), "old");
    writeFile(workFrame(9), "old");
    writeFile(ws.root() + "/temp_for_mp4/photo.JPG", "old");
    writeFile(ws.root() + "/temp_for_mp4/notes.txt", "kept");
    fs::create_directories(ws.root() + "/temp_for_mp4/album.jpg");
    pressAt(2.0, '{');
    pressAt(3.0, '}');
    EXPECT_EQ(workFolderFiles(), (std::vector<std::string>{"album.jpg", "clip_00000.jpg",
                                                           "clip_00001.jpg", "notes.txt"}));
    EXPECT_EQ(readFile(workFrame(0)), clip(1, 2));
    pressAt(7.0, '{');
    pressAt(7.0, '}');
    EXPECT_EQ(workFolderFiles(),
              (std::vector<std::string>{"album.jpg", "clip_00000.jpg", "notes.txt"}));
    EXPECT_EQ(readFile(workFrame(0)), clip(1, 7));
    ASSERT_EQ(writer.ran.size(), 4u);
    EXPECT_EQ(writer.ran[0].back(), "../vclip_00000.mp4");
    EXPECT_EQ(writer.ran[1].back(), "../vclip_00000.avi");
    EXPECT_EQ(writer.ran[2].back(), "../vclip_00001.mp4");
    EXPECT_EQ(writer.ran[3].back(), "../vclip_00001.avi");
    EXPECT_EQ(writer.ran[2][9], "1") << "one frame";
    EXPECT_TRUE(contains(out(), "AUTO-SET: Video clip's name = [ vclip_00001.mp4 ]"));
    // A gap in the clip numbers is filled first.
    fs::remove(ws.root() + "/vclip_00000.mp4");
    pressAt(1.0, '{');
    pressAt(1.0, '}');
    EXPECT_EQ(writer.ran[4].back(), "../vclip_00000.mp4");
    EXPECT_EQ(err(), "");
}

TEST_F(MovieTest, EnterStopsTheCopyAndTheEncoderStillRuns) {
    ws.addClipRange(1, 12);
    loadFolder();
    pressAt(0.0, '{');
    console.clear();
    script("idle 3\nkey ENTER\n");
    pressAt(9.0, '}');
    EXPECT_EQ(count(out(), "EXECUTING:  copy"), 3u);
    EXPECT_TRUE(contains(out(), "\n* COPY TERMINATED.\n\n"));
    EXPECT_TRUE(contains(out(),
                         "AUTO-SET: FF_start_number   = [     0 ]\n\n"
                         "AUTO-SET: FF_vframes        = [    10 ]\n\n"));
    EXPECT_TRUE(fs::exists(workFrame(2)));
    EXPECT_FALSE(fs::exists(workFrame(3)));
    ASSERT_EQ(ran().size(), 2u);
    EXPECT_EQ(ran()[0][9], "10");

    // Stopped before the first copy: no first frame.
    processes.ran.clear();
    console.clear();
    pressAt(0.0, '{');
    script("key ENTER\n");
    pressAt(9.0, '}');
    EXPECT_FALSE(contains(out(), "EXECUTING:  copy"));
    EXPECT_TRUE(contains(out(), "AUTO-SET: FF_start_number   = [    -1 ]\n\n"));
    ASSERT_EQ(ran().size(), 2u);
    EXPECT_EQ(ran()[0][5], "-1");
    EXPECT_FALSE(fs::exists(workFrame(0))) << "the earlier clip's frames are gone";
}

TEST_F(MovieTest, SpacePausesTheCopyAndThenCopiesTheSameFrame) {
    ws.addClipRange(1, 12);
    loadFolder();
    pressAt(3.0, '{');
    console.clear();
    // The poll of frame 4 sees SPACE; the pause takes the 'x'; frame 4 is copied after it.
    script("idle 1\nkey SPACE\nkey x\n");
    pressAt(6.0, '}');
    EXPECT_EQ(count(out(), "EXECUTING:  copy"), 4u);
    for (int k = 0; k < 4; ++k) EXPECT_EQ(readFile(workFrame(k)), clip(1, 3 + k)) << k;
    EXPECT_TRUE(contains(out(), "\n* COPY COMPLETED.\n\n"));
    EXPECT_EQ(player.state.playback.frame_no, 6.0) << "the key of the pause is not a command";
}

TEST_F(MovieTest, AFrameThatCannotBeCopiedLeavesNoGap) {
    ws.addClips(1, {0, 1, 3});
    ws.addFrameData(1, {"../S001/clip_00000.jpg", "../S001/clip_00001.jpg",
                        "../S001/clip_00002.jpg", "..\\S001\\clip_00003.jpg"});
    loadFolder();
    ASSERT_EQ(player.state.contents.MaxCount, 4);
    pressAt(0.0, '{');
    pressAt(3.0, '}');
    EXPECT_TRUE(contains(err(),
                         "ERROR: Could not copy [ ../S001/clip_00002.jpg ] to [ "
                         "../temp_for_mp4/clip_00002.jpg ]"));
    EXPECT_TRUE(contains(out(),
                         "EXECUTING:  copy ..\\S001\\clip_00003.jpg "
                         "../temp_for_mp4/clip_00002.jpg  <<<"))
        << "the stored path is printed as it is";
    EXPECT_EQ(readFile(workFrame(2)), clip(1, 3));
    EXPECT_FALSE(fs::exists(workFrame(3)));
    ASSERT_EQ(ran().size(), 2u);
    EXPECT_EQ(ran()[0][9], "4");
}

// ---- I ----

TEST_F(MovieTest, KeyFrameClipsEndAtEachKeyFrameWithTheLengthOfItsExportFolder) {
    ws.addClipRange(1, 30);
    loadFolder();
    // Key frame 0 (v 12.5): S002 holds 4 export images -> frames 9..12.
    // Key frame 5 (v 20): S007 holds none -> frame 20 alone.
    // Key frame 7 (v 2): S009 holds 6 -> the start 2 - 5 is raised to 0.
    for (int n = 0; n < 4; ++n)
        writeFile(ws.folder(1) + "/export/S002/clip_0000" + std::to_string(n) + ".jpg", "e");
    writeFile(ws.folder(1) + "/export/S002/clip_00005.jpg", "after a gap, not counted");
    for (int n = 0; n < 6; ++n)
        writeFile(ws.folder(1) + "/export/S009/clip_0000" + std::to_string(n) + ".jpg", "e");
    auto& keyFrames = player.state.keyFrames;
    keyFrames.KeyFrameNumber[0] = 12.5;
    keyFrames.KeyFrameNumber[3] = 0.5;  // below 1.0: no key frame
    keyFrames.KeyFrameNumber[5] = 20.0;
    keyFrames.KeyFrameNumber[7] = 2.0;
    keyFrames.KeyFrameNumber[9] = 30.0;  // beyond the folder
    keyFrames.KeyFrameIndex = 4;
    WritingRunner writer;
    io.processes = &writer;
    pressAt(17.25, 'I');

    EXPECT_TRUE(contains(out(),
                         "**************** CLIP GENERATION INFO ****************\n"
                         "> KeyFrameNumber[    0 ]     = [     12 ]\n\n"
                         "> Number of image frames     = [      4 ]\n\n"
                         "> CopyStartFrameNum          = [      9 ]\n\n"
                         "> CopyEndFrameNum (frame_no) = [     12 ]\n"
                         "******************************************************\n"
                         "\n----------> EXECUTING: mkdir"));
    EXPECT_TRUE(contains(out(),
                         "> KeyFrameNumber[    5 ]     = [     20 ]\n\n"
                         "> Number of image frames     = [      1 ]\n\n"
                         "> CopyStartFrameNum          = [     20 ]\n\n"));
    EXPECT_TRUE(contains(out(),
                         "> KeyFrameNumber[    7 ]     = [      2 ]\n\n"
                         "> Number of image frames     = [      6 ]\n\n"
                         "> CopyStartFrameNum          = [      0 ]\n\n"
                         "> CopyEndFrameNum (frame_no) = [      2 ]\n"));
    EXPECT_TRUE(contains(out(),
                         "\n*** KeyFrameNumber[    9 ] = [     30 ] lies beyond the last "
                         "frame [     29 ]: no clip is made. ***\n\n"));
    EXPECT_EQ(count(out(), "CLIP GENERATION INFO"), 3u);
    ASSERT_EQ(writer.ran.size(), 6u);
    EXPECT_EQ(writer.ran[0][9], "4");
    EXPECT_EQ(writer.ran[0].back(), "../vclip_00000.mp4");
    EXPECT_EQ(writer.ran[2][9], "1");
    EXPECT_EQ(writer.ran[2].back(), "../vclip_00001.mp4");
    EXPECT_EQ(writer.ran[4][9], "3");
    EXPECT_EQ(writer.ran[4].back(), "../vclip_00002.mp4");
    // The last clip's frames: 0, 1, 2.
    for (int k = 0; k < 3; ++k) EXPECT_EQ(readFile(workFrame(k)), clip(1, k));
    EXPECT_EQ(player.state.playback.frame_no, 17.25);
    EXPECT_EQ(keyFrames.KeyFrameIndex, 4);
    EXPECT_EQ(movie().CopyStartFrameNum, -1);
    EXPECT_EQ(movie().CopyEndFrameNum, -1);
}

TEST_F(MovieTest, KeyFrameClipsWithoutKeyFramesMakeNothing) {
    ws.addClipRange(1, 5);
    loadFolder();
    player.state.keyFrames.KeyFrameNumber[2] = 0.99;
    pressAt(3.0, 'I');
    EXPECT_TRUE(ran().empty());
    EXPECT_FALSE(contains(out(), "CLIP GENERATION INFO"));
    EXPECT_FALSE(fs::exists(ws.root() + "/temp_for_mp4"));
}

// ---- ^ ----

TEST_F(MovieTest, ExportedFolderClipsLeaveOutTheLastTwoFramesOfEachFolder) {
    ws.addClipRange(1, 20);
    ws.addClipRange(2, 6);
    ws.addClipRange(3, 2);  // too short: skipped
    ws.addClipRange(4, 3);  // one frame
    loadFolder();
    player.state.keyFrames.KeyFrameNumber[1] = 3.0;
    player.state.keyFrames.KeyFrameNumber[2] = 4.0;
    player.state.keyFrames.KeyFrameIndex = 2;
    WritingRunner writer;
    io.processes = &writer;
    pressAt(15.0, '^');

    EXPECT_EQ(count(out(), "\n* Changed Contents Folder to [ S002 ]\n\n"), 1u);
    EXPECT_EQ(count(out(), "\n* Changed Contents Folder to [ S003 ]\n\n"), 1u);
    EXPECT_EQ(count(out(), "\n* Changed Contents Folder to [ S004 ]\n\n"), 1u);
    EXPECT_EQ(count(out(), "Changed Contents Folder"), 3u);
    EXPECT_TRUE(contains(out(),
                         "**************** CLIP GENERATION INFO ****************\n"
                         "> Number of image frames     = [      4 ]\n\n"
                         "> CopyStartFrameNum          = [      0 ]\n\n"
                         "> CopyEndFrameNum (frame_no) = [      3 ]\n"));
    EXPECT_TRUE(contains(out(),
                         "> Number of image frames     = [      1 ]\n\n"
                         "> CopyStartFrameNum          = [      0 ]\n\n"
                         "> CopyEndFrameNum (frame_no) = [      0 ]\n"));
    EXPECT_FALSE(contains(out(), "KeyFrameNumber["));
    ASSERT_EQ(writer.ran.size(), 4u);
    EXPECT_EQ(writer.ran[0][9], "4");
    EXPECT_EQ(writer.ran[0].back(), "../vclip_00000.mp4");
    EXPECT_EQ(writer.ran[2][9], "1");
    EXPECT_EQ(writer.ran[2].back(), "../vclip_00001.mp4");
    EXPECT_EQ(readFile(workFrame(0)), clip(4, 0));
    EXPECT_FALSE(fs::exists(workFrame(1)));

    // The last folder stays; the position comes back within it.
    EXPECT_EQ(player.state.contents.DirNum, 3);
    EXPECT_EQ(player.state.contents.MaxCount, 3);
    EXPECT_EQ(player.state.playback.frame_no, 2.0);
    EXPECT_EQ(player.state.keyFrames.KeyFrameIndex, 2);
    EXPECT_EQ(player.state.keyFrames.KeyFrameNumber[2], 0.0) << "the folder loads cleared them";
    EXPECT_EQ(movie().CopyStartFrameNum, -1);
    EXPECT_EQ(movie().CopyEndFrameNum, -1);
}

TEST_F(MovieTest, ExportedFolderClipsSkipAnEmptyFolderInsteadOfRepeatingTheOneBelow) {
    ws.addClipRange(1, 20);
    ws.addClipRange(2, 5);
    fs::create_directories(ws.folder(3));  // empty
    loadFolder();
    player.state.keyFrames.KeyFrameNumber[1] = 3.0;
    WritingRunner writer;
    io.processes = &writer;
    pressAt(1.0, '^');
    EXPECT_EQ(count(out(), "CLIP GENERATION INFO"), 1u);
    EXPECT_TRUE(contains(out(), "\n*** S003 holds no image: no clip is made of it. ***\n\n"));
    EXPECT_EQ(writer.ran.size(), 2u);
    EXPECT_EQ(player.state.contents.DirNum, 1) << "the scan fell back to S002, which is loaded";
    EXPECT_EQ(player.state.playback.frame_no, 1.0);
}

TEST_F(MovieTest, ExportedFolderClipsWithoutKeyFramesChangeNothing) {
    ws.addClipRange(1, 20);
    ws.addClipRange(2, 6);
    loadFolder();
    player.state.keyFrames.KeyFrameNumber[4] = 0.5;
    pressAt(7.0, '^');
    EXPECT_EQ(out(), std::string(kPrompt) + "\n" + kPrompt +
                         "キー入力[ ^ ]→ フォルダー内のexport画像列を使用して[mp4ファイル]と"
                         "[aviファイル]を作成します。\n");
    EXPECT_EQ(player.state.contents.DirNum, 0);
    EXPECT_EQ(player.state.playback.frame_no, 7.0);
    EXPECT_TRUE(ran().empty());
}

// ---- names ----

TEST(MovieNames, NamesAreZeroFilledAndSplitCommandsKeepEveryWord) {
    EXPECT_EQ(movie::workFramePath(7), "../temp_for_mp4/clip_00007.jpg");
    EXPECT_EQ(movie::clipMovieName(3), "vclip_00003");
    EXPECT_EQ(movie::clipMoviePath(123456), "../vclip_123456.mp4");
    EXPECT_EQ(movie::folderMovieName(0), "S001");
    EXPECT_EQ(movie::folderMovieName(9999), "S10000");
    EXPECT_EQ(movie::exportImagePath(0, 0, 7), "../S001/export/S002/clip_00007.jpg");
    EXPECT_EQ(movie::exportImagePath(11, 5, 12), "../S012/export/S007/clip_00012.jpg");
    EXPECT_EQ(movie::makeWorkFolderText(), "mkdir  \"../temp_for_mp4\"");
    EXPECT_EQ(movie::emptyWorkFolderText(), "del  /f   \"../temp_for_mp4/*.jpg\"");
    const movie::EncoderCommand split = movie::splitCommand("  a  b   c ");
    EXPECT_EQ(split.argv, (Argv{"a", "b", "c"}));
    EXPECT_EQ(split.text, "  a  b   c ");
}

}  // namespace
}  // namespace kalvento::test
