#include "settings/parameter_file.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cmath>
#include <optional>
#include <string_view>

#include "core/decimal.h"
#include "core/paths.h"
#include "core/playback.h"
#include "core/player_state.h"
#include "core/read_whole.h"
#include "settings/folder_config.h"

namespace kalvento {

namespace {

// A parameter file takes about 30 kB; reading stops at 1 MiB, so a hostile file cannot make
// the player hold it all. The bytes after the bound count as the end of the file.
constexpr size_t kMaxParameterBytes = size_t{1} << 20;
// Doubles of the file (positions and steps) must be finite and inside the int range, so that
// every later conversion to a clip index is exact.
constexpr double kDoubleLimit = 2147483648.0;

bool isBlank(char c) {
    return std::isspace(static_cast<unsigned char>(c)) != 0;
}
bool isDigit(char c) {
    return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

// Takes the numbers of a parameter file one after another the way the runtime's formatted
// input does: any white space separates them, and a read that finds no number leaves the
// position where it is, so every read after it fails as well. Each read returns 1 with the
// value, 0 when the text there is no usable number, and -1 at the end of the file. A number
// that does not fit its type is passed over whole and reads as 0, so the lines after it keep
// their places.
class NumberReader {
public:
    explicit NumberReader(const std::string& text) : text_(text) {}

    int readInt(int& value) {
        if (atEnd()) return -1;
        size_t pos = pos_;
        int parsed = 0;
        if (parseDecimal(text_, pos, parsed)) {
            pos_ = pos;
            value = parsed;
            return 1;
        }
        size_t p = pos_;
        if (text_[p] == '+' || text_[p] == '-') ++p;
        if (p < text_.size() && isDigit(text_[p])) {
            while (p < text_.size() && isDigit(text_[p])) ++p;
            pos_ = p;
        }
        return 0;
    }

    int readDouble(double& value) {
        if (atEnd()) return -1;
        size_t p = pos_;
        bool negative = false;
        if (text_[p] == '+' || text_[p] == '-') {
            negative = text_[p] == '-';
            ++p;
        }
        if (p == text_.size() || text_[p] == '+' || text_[p] == '-') return 0;
        double parsed = 0.0;
        const char* first = text_.data() + p;
        const char* last = text_.data() + text_.size();
        auto [end, error] = std::from_chars(first, last, parsed, std::chars_format::general);
        if (error == std::errc::invalid_argument) return 0;
        pos_ = static_cast<size_t>(end - text_.data());
        if (error != std::errc()) return 0;
        if (negative) parsed = -parsed;
        if (!std::isfinite(parsed) || std::fabs(parsed) >= kDoubleLimit) return 0;
        value = parsed;
        return 1;
    }

private:
    bool atEnd() {
        while (pos_ < text_.size() && isBlank(text_[pos_])) ++pos_;
        return pos_ == text_.size();
    }

    const std::string& text_;
    size_t pos_ = 0;
};

// Reads one integer into `field` when it lies in low .. high; the read result as above (a value
// outside the range counts as no usable number).
int readIntField(NumberReader& in, int& field, int low = INT_MIN, int high = INT_MAX) {
    int value = 0;
    int result = in.readInt(value);
    if (result == 1 && (value < low || value > high)) result = 0;
    if (result == 1) field = value;
    return result;
}

int readDoubleField(NumberReader& in, double& field) {
    double value = 0.0;
    int result = in.readDouble(value);
    if (result == 1) field = value;
    return result;
}

// A position inside a folder of `maxCount` clips: below 0 gives 0, a clip beyond the last
// gives the last one.
double positionInFolder(double position, int maxCount) {
    if (position < 0.0) return 0.0;
    if (clipIndexOf(position) >= maxCount) return maxCount > 0 ? maxCount - 1 : 0.0;
    return position;
}

// The file text up to the read bound; a number cut by the bound is dropped.
std::string boundedText(std::string data) {
    if (data.size() <= kMaxParameterBytes) return data;
    data.resize(kMaxParameterBytes);
    while (!data.empty() && !isBlank(data.back())) data.pop_back();
    return data;
}

// Where the file was saved. The clip table loaded by a scan belongs to DirNum. Before the first
// scan there is none, and the file's folder is taken so that the scan loads it; afterwards a
// file saved in another folder must not move the player away from the clips it holds.
struct FileFolder {
    int dirNum = 0;
    bool own = true;  // the folder, position and key frames of the file are taken
};

// Reads the folder, the clip count (always the one the scan found instead) and the position.
FileFolder readFolderAndPosition(NumberReader& in, ContentsState& contents,
                                 PlaybackState& playback) {
    const bool folderLoaded = contents.MaxCount > 0;
    FileFolder folder{contents.DirNum, true};
    bool folderKnown = readIntField(in, folder.dirNum, 0, kMaxParameterDirNum) == 1;
    folder.own = !folderLoaded || !folderKnown || folder.dirNum == contents.DirNum;
    if (!folderLoaded) setFolderIndex(contents, folder.dirNum);

    int fileMaxCount = 0;
    in.readInt(fileMaxCount);

    double position = 0.0;
    if (in.readDouble(position) == 1 && folder.own)
        setFramePosition(playback, positionInFolder(position, contents.MaxCount));
    return folder;
}

void readPlaybackSettings(NumberReader& in, PlaybackState& playback, CameraState& camera) {
    readIntField(in, camera.VR_threshold);
    readIntField(in, playback.ReplayDirection, 0, 1);
    readDoubleField(in, playback.VR_step);
    readIntField(in, playback.ReverseRun);
    readIntField(in, playback.RunReset);
    readIntField(in, playback.JumpMode);
    readIntField(in, playback.IdleTurns);
    readIntField(in, playback.IdleLimit);
    readIntField(in, playback.MotionDisplayMode, -1, 2);
    readIntField(in, camera.CameraLogMode);
    readIntField(in, playback.WrapAroundFlag);
    readIntField(in, playback.PlayStepMode);
}

// The key frames are read in any case and kept only when the file is of the player's folder.
void readKeyFrames(NumberReader& in, KeyFrameState& keyFrames, bool ownFolder) {
    int keyFrameIndex = keyFrames.KeyFrameIndex;
    if (readIntField(in, keyFrameIndex, 0, kKeyFrameSlots - 1) == 1 && ownFolder)
        keyFrames.KeyFrameIndex = keyFrameIndex;
    for (double& slot : keyFrames.KeyFrameNumber) {
        double value = slot;
        if (readDoubleField(in, value) == 1 && ownFolder) slot = value;
    }
}

// The additional parameters (replay period, mouse flags, flip mode), printed as they are read;
// a file without them clears them.
// The turn and the fit of the picture in the window, after the follower's line: a file
// without them (or with values no player writes) leaves them as they are.
void readScreenLines(NumberReader& in, PlaybackState& playback, Console& console) {
    int rotation = 0;
    if (in.readInt(rotation) != 1 ||
        (rotation != 0 && rotation != 90 && rotation != 180 && rotation != 270))
        return;
    playback.DisplayRotation = rotation;
    console.print("SET(%d): DisplayRotation = %d\n", 1, rotation);
    int fit = 0;
    if (in.readInt(fit) != 1 || fit < 0 || fit > 2) return;
    playback.DisplayFit = fit;
    console.print("SET(%d): DisplayFit = %d\n", 1, fit);
}

void readAdditionalParameters(NumberReader& in, State& state, Console& console) {
    PlaybackState& playback = state.playback;
    int start = 0;
    if (in.readInt(start) != 1) {
        playback.StartFrameNum = 0;
        playback.EndFrameNum = 0;
        state.mouse.MouseReverseFlag = 0;
        state.mouse.MouseVertFlag = 0;
        playback.flip_mode = 0;
        return;
    }
    console.print("\nLOADING Additional Parameters...\n\n");
    playback.StartFrameNum = start;
    console.print("SET(%d): StartFrameNum = %d\n", 1, playback.StartFrameNum);
    int result = readIntField(in, playback.EndFrameNum);
    console.print("SET(%d): EndFrameNum   = %d\n", result, playback.EndFrameNum);
    result = readIntField(in, state.mouse.MouseReverseFlag, 0, 1);
    console.print("SET(%d): MouseReverseFlag = %d\n", result, state.mouse.MouseReverseFlag);
    result = readIntField(in, state.mouse.MouseVertFlag, 0, 1);
    console.print("SET(%d): MouseVertFlag    = %d\n", result, state.mouse.MouseVertFlag);
    result = readIntField(in, playback.flip_mode, 0, 2);
    console.print("SET(%d): flip_mode = %d\n", result, playback.flip_mode);
    // A kiosk's file keeps the follower on; a file without the line leaves it as it is.
    int follow = 0;
    if (in.readInt(follow) != 1 || (follow != 0 && follow != 1)) return;
    state.gesture.GestureFollow = follow;
    console.print("SET(%d): GestureFollow = %d\n", 1, follow);
    readScreenLines(in, playback, console);
}

// Reads the lines of one parameter file into the state and prints what it read.
void applyParameterText(const std::string& text, const std::string& name, State& state,
                        Console& console) {
    NumberReader in(text);
    readIntField(in, state.camera.PixelStep, 1, kCamWidth);
    const FileFolder folder = readFolderAndPosition(in, state.contents, state.playback);
    readPlaybackSettings(in, state.playback, state.camera);
    readKeyFrames(in, state.keyFrames, folder.own);
    readAdditionalParameters(in, state, console);
    console.print("Finished Reading QBN Parameters from File : %s\n", name.c_str());
    if (!folder.own)
        console.print(
            "NOTE: [ %s ] was saved in folder [ %s ]; the folder, position and key frames of "
            "[ %s ] are kept.\n",
            name.c_str(), folderName(folder.dirNum).c_str(),
            folderName(state.contents.DirNum).c_str());
}

void appendInt(std::string& text, int value) {
    char buffer[16];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
    text.append(buffer, result.ptr);
    text += '\n';
}

void appendDouble(std::string& text, double value) {
    // "%f" of the largest double takes 317 characters.
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
    text.append(buffer, result.ptr);
    text += '\n';
}

}  // namespace

std::string parameterText(const State& state) {
    const PlaybackState& playback = state.playback;
    const CameraState& camera = state.camera;
    std::string text;
    text.reserve(16 * kParameterLines);
    appendInt(text, camera.PixelStep);
    appendInt(text, state.contents.DirNum);
    appendInt(text, state.contents.MaxCount);
    appendDouble(text, playback.frame_no);
    appendInt(text, camera.VR_threshold);
    appendInt(text, playback.ReplayDirection);
    appendDouble(text, playback.VR_step);
    appendInt(text, playback.ReverseRun);
    appendInt(text, playback.RunReset);
    appendInt(text, playback.JumpMode);
    appendInt(text, playback.IdleTurns);
    appendInt(text, playback.IdleLimit);
    appendInt(text, playback.MotionDisplayMode);
    appendInt(text, camera.CameraLogMode);
    appendInt(text, playback.WrapAroundFlag);
    appendInt(text, playback.PlayStepMode);
    appendInt(text, state.keyFrames.KeyFrameIndex);
    for (double slot : state.keyFrames.KeyFrameNumber) appendDouble(text, slot);
    appendInt(text, playback.StartFrameNum);
    appendInt(text, playback.EndFrameNum);
    appendInt(text, state.mouse.MouseReverseFlag);
    appendInt(text, state.mouse.MouseVertFlag);
    appendInt(text, playback.flip_mode);
    // The follower is beyond the classic file: its line is there only while it is on, so a
    // file of a player without it stays as it always was.
    // So is the screen's: the turn and the fit follow (after the follower's line, then always
    // written) only when either differs from an upright, letter-boxed picture.
    const bool screenLines = playback.DisplayRotation != 0 || playback.DisplayFit != 0;
    if (state.gesture.GestureFollow == 1 || screenLines)
        appendInt(text, state.gesture.GestureFollow);
    if (screenLines) {
        appendInt(text, playback.DisplayRotation);
        appendInt(text, playback.DisplayFit);
    }
    return text;
}

void WriteParameters(const State& state, FileOps& files, Console& console) {
    const std::string text = parameterText(state);
    for (const std::string& name :
         {std::string(kGlobalParameterFile), parameterFileName(state.contents.DirNum)}) {
        if (files.writeFileAtomic(name, text))
            console.print("Finished Writing QBN Parameters to File : %s\n", name.c_str());
        else
            console.print("Write Failed in WriteParameters()...\n");
    }
}

void ReadParameterFile(State& state, FileOps& files, Console& console) {
    std::string name = parameterFileName(state.contents.DirNum);
    std::optional<std::string> data = readWholeFile(files, console, name, kMaxParameterBytes + 1);
    // The global file stands in for a folder file that is not there or cannot be opened, not
    // for one that failed part-way.
    if (!data && !files.isReadableFile(name)) {
        name = kGlobalParameterFile;
        data = readWholeFile(files, console, name, kMaxParameterBytes + 1);
    }
    if (data) applyParameterText(boundedText(std::move(*data)), name, state, console);

    importFolderConfigVerbose(state.contents.DirNum, state.keyFrames, files, console);
}

}  // namespace kalvento
