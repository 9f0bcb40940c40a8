// Movie export: E (the current folder), Q (the home folder), Y (the home folder with a sound
// file), '{' and '}' (a range of the current folder), I (a clip ending at each key frame),
// '^' (a clip of each exported folder), and f / F (the movie frame rate).
//
// Movies are made by the encoder ffmpeg, started directly with an argument vector; each
// command line is printed as built before it runs, and the next one is built only after it
// has ended. Clips are first copied into the work folder temp_for_mp4 of the contents root,
// renumbered from 0, and encoded from there.

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "commands/commands.h"
#include "core/playback.h"
#include "commands/copy_loop.h"
#include "commands/player_context.h"
#include "contents/home_folder.h"
#include "contents/movie_export.h"
#include "core/numbered_copy.h"
#include "core/paths.h"
#include "platform/console.h"
#include "core/question.h"

namespace kalvento {

namespace {

// Folder indexes wrap to the first folder from here on.
constexpr int kFolderIndexLimit = 10000;

// Says so when this player has no encoder; true when it has one.
bool encoderReady(PlayerContext& player) {
    if (player.io.processes) return true;
    player.io.console.printErr(
        "ERROR: No movie encoder is available to this player: no movie is made.\n");
    return false;
}

// Prints one encoder command and runs it to its end. The encoder prints its own progress;
// a failure to start it or a failing end is reported, and the command goes on. The movie is
// encoded under a temporary name and replaces the old one only when complete.
void runEncoder(PlayerContext& player, const movie::EncoderCommand& command) {
    player.io.console.print("\n----------> EXECUTING: %s\n\n", command.text.c_str());
    const int status = player.io.processes->runWriting(command.argv, command.argv.back());
    if (status == kProcessNotStarted)
        player.io.console.printErr("ERROR: The movie encoder [ %s ] could not be started.\n",
                                   command.argv.front().c_str());
    else if (status == kProcessEndUnknown)
        player.io.console.printErr("ERROR: The movie encoder ran, but how it ended is unknown.\n");
    else if (status != 0)
        player.io.console.printErr("ERROR: The movie encoder ended with status %d.\n", status);
}

void runEncoders(PlayerContext& player, const std::vector<movie::EncoderCommand>& commands) {
    for (const movie::EncoderCommand& command : commands) runEncoder(player, command);
}

// Makes the work folder (when missing) and removes the images an earlier clip left in it.
void prepareWorkFolder(PlayerContext& player) {
    Console& console = player.io.console;
    FileOps& files = player.io.files;
    const std::string folder = movie::workFolderPath();
    console.print("\n----------> EXECUTING: %s\n\n", movie::makeWorkFolderText().c_str());
    if (!files.makeDirectory(folder) && !files.isDirectory(folder))
        console.printErr("ERROR: Could not make the folder [ %s ].\n", folder.c_str());
    console.print("\n----------> EXECUTING: %s\n\n", movie::emptyWorkFolderText().c_str());
    for (const std::string& path : movie::emptyWorkFolder(files))
        console.printErr("ERROR: Could not delete [ %s ].\n", path.c_str());
}

// The lowest clip number whose movie vclip_NNNNN.mp4 is not in the contents root yet.
int freeClipNumber(FileOps& files) {
    int number = 0;
    while (number < INT_MAX && files.exists(movie::clipMoviePath(number))) ++number;
    return number;
}

// The clip of frames a .. b of the current folder (backwards when a is above b): copied into
// the work folder as frames 0, 1, ... and encoded into the next free vclip_NNNNN.mp4 and .avi.
// Enter stops the copying (the frames copied so far are encoded); Space pauses it for up to
// five seconds. Both ends must be frames of the folder.
void produceClip(PlayerContext& player, const std::string& program, int a, int b) {
    Console& console = player.io.console;
    FileOps& files = player.io.files;
    prepareWorkFolder(player);

    const int step = a <= b ? 1 : -1;
    int k = 0;
    int first = -1;
    // The search for a free work frame takes no key poll: one poll per frame.
    const CopyLoopEnd end = runKeyPolledCopies(player, std::abs(b - a) + 1, [&](int i) {
        const int j = a + i * step;
        const FrameData& record = player.state.contents.FrameData[static_cast<size_t>(j)];
        const std::string source(fieldText(record.ClipPath));
        const NumberedCopy copy = copyToFreeNumber(
            files, openablePath(source), k, movie::workFramePath, [&](const std::string& target) {
                const std::string command = "copy " + source + " " + target;
                console.print(
                    " [%5d image(s) left ] EXECUTING:  %s  <<<Press Enter Key to Stop>>>\n",
                    std::abs(j - b), command.c_str());
            });
        if (copy.copied) {
            if (first == -1) first = copy.number;
            k = copy.number + 1;
        } else if (copy.number >= 0) {
            // The next frame takes this number, so the work frames stay without a gap.
            console.printErr("ERROR: Could not copy [ %s ] to [ %s ]: %s\n", source.c_str(),
                             movie::workFramePath(copy.number).c_str(), copy.error.c_str());
            k = copy.number;
        } else {
            console.printErr("ERROR: Could not copy [ %s ]: %s\n", source.c_str(),
                             copy.error.c_str());
            return false;
        }
        return true;
    });
    const bool stopped = end != CopyLoopEnd::Completed;
    console.print("\n* COPY %s\n\n", stopped ? "TERMINATED." : "COMPLETED.");

    const int vframes = std::abs(b - a) + 1;
    const int startNumber = first;
    const std::string clipName = movie::clipMovieName(freeClipNumber(files));
    console.print("\nAUTO-SET: Video clip's name = [ %s.mp4 ]\n\n", clipName.c_str());
    console.print("AUTO-SET: FF_start_number   = [ %5d ]\n\n", startNumber);
    console.print("AUTO-SET: FF_vframes        = [ %5d ]\n\n", vframes);
    runEncoders(player, movie::clipMovieCommands(program, player.state.movie.MovieFrameRate,
                                                 startNumber, vframes, clipName));
    console.print("\nDone.\n\n");
}

// The information block printed before each clip of I and ^; the key-frame line only for I.
void printClipInfo(PlayerContext& player, std::optional<std::pair<int, int>> keyFrame, int frames) {
    Console& console = player.io.console;
    const MovieState& movie = player.state.movie;
    console.print("**************** CLIP GENERATION INFO ****************\n");
    if (keyFrame)
        console.print("> KeyFrameNumber[ %4d ]     = [ %6d ]\n\n", keyFrame->first,
                      keyFrame->second);
    console.print("> Number of image frames     = [ %6d ]\n\n", frames);
    console.print("> CopyStartFrameNum          = [ %6d ]\n\n", movie.CopyStartFrameNum);
    console.print("> CopyEndFrameNum (frame_no) = [ %6d ]\n", movie.CopyEndFrameNum);
    console.print("******************************************************\n");
}

void endRange(MovieState& movie) {
    movie.CopyStartFrameNum = -1;
    movie.CopyEndFrameNum = -1;
}

// A question of the sound movie: blank lines are passed over (as "%s" and "%d" pass over white
// space before their value); without an answer no movie is made.
Question movieQuestion(const char* prompt) {
    Question question;
    question.prompt = prompt;
    question.refusal = "*** Please answer with a number.\n";
    question.noAnswer = "\nERROR: No answer was given. No movie is made.\n\n";
    question.blankLine = Question::BlankLine::Skipped;
    return question;
}

// The run of home frames a sound movie is made of: from the first home slot that holds a
// frame up to the first gap after it.
struct HomeFrames {
    int start = 0;
    int count = 0;
};

// nullopt (said on the console) when the home folder holds no frame.
std::optional<HomeFrames> findHomeFrames(PlayerContext& player) {
    FileOps& files = player.io.files;
    HomeFrames frames;
    while (frames.start < movie::kHomeSlotSearchLimit && !files.exists(homeSlotPath(frames.start)))
        ++frames.start;
    if (frames.start == movie::kHomeSlotSearchLimit) {
        player.io.console.errorLine(
            "\nERROR: There is no image [clip_00000.jpg - clip_%5d.jpg] in home "
            "folder. No movie is made.\n\n",
            movie::kHomeSlotSearchLimit - 1);
        return std::nullopt;
    }
    frames.count = 1;
    while (frames.start + frames.count < INT_MAX &&
           files.exists(homeSlotPath(frames.start + frames.count)))
        ++frames.count;
    return frames;
}

// The sound file and the length of a sound movie, as the questions were answered.
struct SoundAnswers {
    std::string soundName;
    int seconds = 0;  // 1 .. INT_MAX
};

// Asks for the sound file and the length; nullopt (said on the console) when an answer is
// missing or cannot be used.
std::optional<SoundAnswers> askSoundMovie(PlayerContext& player) {
    const std::optional<std::string> soundName =
        player.io.ask(movieQuestion(">> Enter full name of sound file = "));
    if (!soundName) return std::nullopt;
    const std::optional<int> minutes =
        player.io.askNumber(movieQuestion(">> Enter how many minutes (min)  = "));
    if (!minutes) return std::nullopt;
    const std::optional<int> seconds =
        player.io.askNumber(movieQuestion(">> Enter how many seconds (sec)  = "));
    if (!seconds) return std::nullopt;

    // The name is judged once every answer is in, so none of them is left over to be taken
    // for the answer of a later question.
    Events& console = player.io.console;
    if (soundName->find('\0') != std::string::npos ||
        soundName->size() + 3 > movie::kMaxSoundPathBytes) {
        console.errorLine(
            "\nERROR: The sound file name is too long (at most %zu bytes) or holds a "
            "NUL byte. No movie is made.\n\n",
            movie::kMaxSoundPathBytes - 3);
        return std::nullopt;
    }
    const long long total = 60LL * *minutes + *seconds;
    if (total < 1 || total > INT_MAX) {
        console.errorLine(
            "\nERROR: The movie must last from 1 to %d seconds, not %lld. No movie "
            "is made.\n\n",
            INT_MAX, total);
        return std::nullopt;
    }
    return SoundAnswers{*soundName, static_cast<int>(total)};
}

}  // namespace

void folderMovieCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(
        player,
        "キー入力[ E ]→ 現在のコンテンツフォルダにある全画像の動画ファイルを作成します。\n");
    if (!encoderReady(player)) return;
    const std::string program = movie::encoderProgram(*player.io.processes);
    runEncoders(player, movie::folderMovieCommands(program, player.state.movie.MovieFrameRate,
                                                   player.state.contents.DirNum));
    player.io.console.print("\nDone.\n\n");
}

void homeMovieCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ Q ]→ 現在ホームフォルダにある全画像の動画ファイルを作成します。\n");
    if (!encoderReady(player)) return;
    const std::string program = movie::encoderProgram(*player.io.processes);
    runEncoders(player, movie::homeMovieCommands(program, player.state.movie.MovieFrameRate));
    player.io.console.print("\nDone.\n\n");
}

void homeSoundMovieCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ Y ]→ 現在ホームフォルダにある全画像と音楽ファイルで"
                 "動画ファイルを作成します。\n");
    if (!encoderReady(player)) return;
    const std::optional<HomeFrames> frames = findHomeFrames(player);
    if (!frames) return;
    Console& console = player.io.console;
    console.print("\n***************************************************\n");
    console.print("******** Start Creating a Home Sound Movie ********\n");
    console.print("***************************************************\n\n");
    console.print("AUTO-SET: FF_start_number = [ %5d ]\n\n", frames->start);
    console.print("AUTO-SET: FF_vframes      = [ %5d ]\n\n", frames->count);
    const std::optional<SoundAnswers> answers = askSoundMovie(player);
    if (!answers) return;
    const double rate = static_cast<double>(frames->count) / static_cast<double>(answers->seconds);
    const std::string program = movie::encoderProgram(*player.io.processes);
    runEncoders(player,
                movie::homeSoundMovieCommands(program, rate, frames->start, answers->soundName,
                                              frames->count, answers->seconds));
    console.print("\nDone.\n\n");
}

void rangeStartCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player, "キー入力[ { ]→ 連続フレームコピー機能の開始点を設定しました。\n");
    MovieState& movie = player.state.movie;
    movie.CopyStartFrameNum = clipIndexOf(player.state.playback.frame_no);
    player.io.console.print("%s（変数設定： CopyStartFrameNum = [ %d ]）\n",
                            player.state.playback.PromptText.c_str(), movie.CopyStartFrameNum);
}

void rangeMovieCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ } ]→ 連続フレームコピー機能の終了点を設定し、指定範囲の動画"
                 "ファイル（mp4 と avi）を作成します。\n");
    MovieState& movie = player.state.movie;
    const int maxCount = player.state.contents.MaxCount;
    const int end = clipIndexOf(player.state.playback.frame_no);
    if (end < 0 || end >= maxCount || movie.CopyStartFrameNum < 0 ||
        movie.CopyStartFrameNum >= maxCount) {
        printPromptLine(player);
        player.io.console.errorLine("%s%s", player.state.playback.PromptText.c_str(),
                                    "ERROR: 連続フレームコピー機能の終了点を設定できませんでした。"
                                    "再度範囲指定してください。\n");
        return;
    }
    if (!encoderReady(player)) return;
    movie.CopyEndFrameNum = end;
    produceClip(player, movie::encoderProgram(*player.io.processes), movie.CopyStartFrameNum, end);
    endRange(movie);
}

void keyFrameClipsCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ I ]→ モーションソーティング結果に基づき[mp4ファイル]と"
                 "[aviファイル]を作成します。\n");
    if (!encoderReady(player)) return;
    const std::string program = movie::encoderProgram(*player.io.processes);
    State& state = player.state;
    MovieState& movie = state.movie;
    FileOps& files = player.io.files;
    const double savedFrame = state.playback.frame_no;
    const int savedIndex = state.keyFrames.KeyFrameIndex;
    const int maxCount = state.contents.MaxCount;

    for (int e = 0; e < kKeyFrameSlots; ++e) {
        const double v = state.keyFrames.KeyFrameNumber[static_cast<size_t>(e)];
        if (!(v >= 1.0)) continue;
        const int end = clipIndexOf(v);
        if (end >= maxCount) {
            // Possible with key frames of a parameter file written for another folder.
            player.io.console.print(
                "\n*** KeyFrameNumber[ %4d ] = [ %6d ] lies beyond the last "
                "frame [ %6d ]: no clip is made. ***\n\n",
                e, end, maxCount - 1);
            continue;
        }
        int n = 0;
        while (n < movie::kExportImageLimit &&
               files.exists(movie::exportImagePath(state.contents.DirNum, e, n)))
            ++n;
        const int last = std::max(n - 1, 0);

        setFramePosition(state.playback, v);
        movie.CopyStartFrameNum = std::clamp(clipIndexOf(v - last), 0, maxCount - 1);
        movie.CopyEndFrameNum = end;
        printClipInfo(player, std::make_pair(e, end), last + 1);
        produceClip(player, program, movie.CopyStartFrameNum, end);
    }
    setFramePosition(state.playback, savedFrame);
    state.keyFrames.KeyFrameIndex = savedIndex;
    endRange(movie);
}

void exportedFolderClipsCommand(PlayerContext& player, const KeyCommand&) {
    printPromptLine(player);
    printKeyLine(player,
                 "キー入力[ ^ ]→ フォルダー内のexport画像列を使用して[mp4ファイル]と"
                 "[aviファイル]を作成します。\n");
    State& state = player.state;
    int lastKeyFrame = -1;
    for (int e = 0; e < kKeyFrameSlots; ++e)
        if (state.keyFrames.KeyFrameNumber[static_cast<size_t>(e)] >= 1.0) lastKeyFrame = e;
    if (lastKeyFrame < 0) return;
    if (!encoderReady(player)) return;
    const std::string program = movie::encoderProgram(*player.io.processes);
    MovieState& movie = state.movie;
    const double savedFrame = state.playback.frame_no;
    const int savedIndex = state.keyFrames.KeyFrameIndex;

    int folder = 0;
    for (int pass = 0; pass <= lastKeyFrame; ++pass) {
        player.releaseImageCache();
        folder = folder + 1 >= kFolderIndexLimit ? 0 : folder + 1;
        setFolderIndex(state.contents, folder);
        printChangedFolder(player, folder);
        player.scan();
        if (state.contents.DirNum != folder) {
            // The folder holds no clip and the scan went to a lower one, which is not an
            // exported folder of this run.
            player.io.console.print("\n*** %s holds no image: no clip is made of it. ***\n\n",
                                    movie::folderMovieName(folder).c_str());
            continue;
        }
        const int maxCount = state.contents.MaxCount;
        setFramePosition(state.playback, maxCount - 3);
        if (maxCount - 3 < 0) continue;
        movie.CopyStartFrameNum = 0;
        movie.CopyEndFrameNum = maxCount - 3;
        printClipInfo(player, std::nullopt, maxCount - 2);
        produceClip(player, program, 0, maxCount - 3);
    }

    // The position was one of the folder shown before: it is kept within the folder now shown.
    const int maxCount = state.contents.MaxCount;
    double position = savedFrame;
    if (!(position >= 0.0)) position = 0.0;
    if (position > maxCount - 1) position = std::max(maxCount - 1, 0);
    setFramePosition(state.playback, position);
    state.playback.LastShownFrame = -1.0;
    state.keyFrames.KeyFrameIndex = savedIndex;
    endRange(movie);
}

void movieFrameRateCommand(PlayerContext& player, const KeyCommand& command) {
    MovieState& movie = player.state.movie;
    if (command.param < 0) {
        printKeyLine(player, "キー入力[ f ]→ 出力する動画のフレームレートを減少させました。\n");
        movie.MovieFrameRate = std::max(movie.MovieFrameRate - 1, 1);
    } else {
        printKeyLine(player, "キー入力[ F ]→ 出力する動画のフレームレートを増加させました。\n");
        if (movie.MovieFrameRate < INT_MAX) ++movie.MovieFrameRate;
        movie.MovieFrameRate = std::max(movie.MovieFrameRate, 1);
    }
    player.io.console.print("%s（変数設定： MovieFrameRate = [ %d ]）\n",
                            player.state.playback.PromptText.c_str(), movie.MovieFrameRate);
    player.io.console.setting(strf("movie frame rate %d", movie.MovieFrameRate), strf("MovieFrameRate = %d", movie.MovieFrameRate));
}

}  // namespace kalvento
