#pragma once
// The player's state record: every field the subsystems share, with its start value. It is
// held as a few grouped structs owned by one Player; subsystems take the groups they work on
// by reference. Names follow the player's own mixed style (frame_no, MaxCount, VR_step...).
// The groups here hold numbers and text only; those that hold images, and the whole record,
// are in core/player_state.h, so that what needs only numbers does not see OpenCV.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/input.h"

namespace kalvento {

// In core/player_state.h.
struct ContentsState;
struct CameraState;
struct State;

inline constexpr int kMaxClips = 22000;        // records of the clip table
inline constexpr int kMaxArgWords = 22000;     // command-line words kept
inline constexpr size_t kArgWordBytes = 4999;  // bytes kept of one command-line word
inline constexpr int kKeyFrameSlots = 1280;
inline constexpr int kPivotSlots = 23000;
inline constexpr int kLifoSlots = 23000;
inline constexpr int kCamWidth = 320;   // QBN_F_XMAX
inline constexpr int kCamHeight = 240;  // QBN_F_YMAX
inline constexpr int kCamFrameBytes = kCamWidth * kCamHeight;
inline constexpr int kSharedBlockBytes = 1024;
inline constexpr int kMaxCamOnMemory = 5400;

// The clip index of a position: its integer part, saturated to the int range (NaN gives 0),
// so a hostile position can never make an undefined conversion. Callers still check the
// index against MaxCount.
inline int clipIndexOf(double position) {
    if (!(position == position)) return 0;
    if (position >= 2147483647.0) return 2147483647;
    if (position <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(position);
}

// One clip of the current folder. This is also the on-disk record of the frame data file,
// written and read byte for byte, so its layout is fixed.
struct FrameData {
    int32_t Loaded;      // 1 while the clip's image is held in the image cache
    char ClipPath[250];  // full path of the clip image, zero-terminated when shorter
    char http[250];      // optional text shown as http[2] when the clip is displayed
    char file[250];      // optional text shown as file[3] when the clip is displayed
    char padding[2];
};
static_assert(sizeof(FrameData) == 756);
static_assert(offsetof(FrameData, Loaded) == 0);
static_assert(offsetof(FrameData, ClipPath) == 4);
static_assert(offsetof(FrameData, http) == 254);
static_assert(offsetof(FrameData, file) == 504);
static_assert(offsetof(FrameData, padding) == 754);

// Text of a fixed-size field: up to its first zero byte, never beyond the field.
template <size_t N>
std::string_view fieldText(const char (&field)[N]) {
    size_t length = 0;
    while (length < N && field[length] != '\0') ++length;
    return {field, length};
}

// Copies text into a fixed-size field, truncating so that a terminating zero always fits.
template <size_t N>
void setFieldText(char (&field)[N], std::string_view text) {
    size_t length = text.size() < N - 1 ? text.size() : N - 1;
    for (size_t i = 0; i < length; ++i) field[i] = text[i];
    for (size_t i = length; i < N; ++i) field[i] = '\0';
}

// Position, speed and the switches of playback.
struct PlaybackState {
    double frame_no = 0.0;         // current position; the shown clip is its integer part
    double LastShownFrame = -1.0;  // frame_no at the last display; -1.0 forces a redisplay
    int CamOnMemory = 1;           // image cache limit, 1 .. kMaxCamOnMemory
    int REPLAY_SPEED = 3;          // speed level 1 .. 5
    double SpeedFactor = 1.0;      // step of the speed level: 0.1, 0.5, 1.0, 3.0, 6.0
    double VR_step = 1.0;          // frames moved per step
    int ReplayDirection = 1;       // 1 forward, 0 backward
    int StepDirection = 1;         // direction of the last step command
    int SignalledDirection = -1;   // direction change the playback step handled last
    int StartFrameNum = 0;         // replay period; both 0 = none; cleared every turn
    int EndFrameNum = 0;
    int WrapAroundFlag = 0;     // cleared every turn
    int JumpMode = 0;           // cleared every turn
    int AutoReplayFlag = 0;     // camera-less automatic playback
    int WalkerMode = 0;         // forward-only playback for pointer input
    int flip_mode = 0;          // 0 normal, 1 left-right, 2 top-bottom reverse
    int DisplayRotation = 0;    // degrees the window turns the picture clockwise: 0 90 180 270
    int DisplayFit = 0;         // how the picture fills the window: 0 contain, 1 cover, 2 stretch
    int PlayEngine = 1;         // 1 motion playback step, 0 gesture drive
    int MotionDisplayMode = 0;  // 0 quiet, 1 status line, 2 shared-block line, -1 quiet once
    int PendingKey = 0;  // injected key of this turn; 0 none; kInjectedCommand a command
    Input PendingInput;  // the injected input itself (written with PendingKey, core/input_queue)
    int PlayStepMode = 1;
    int IdleTurns = 0;
    int IdleLimit = 108000;
    int ReverseRun = 5;  // per-turn limits of the playback step
    int RunReset = 2;
    int MotionRun = 0;       // length of the current run of motion turns
    double f_rate = 0.0;     // turns per second, capped at 999.0
    std::string PromptText;  // "S001:(00123)> " rebuilt every turn
};

// Pointer input.
struct MouseState {
    int MouseInputFlag = 1;
    int QuickAccessMode = 1;          // 1 Access by Position, 0 Access by Motion
    double QuickAccessTarget = -1.0;  // chosen position; -1.0 none
    int MouseVertFlag = 0;
    int MouseReverseFlag = 0;
    double PrevMouseX = 0.0;
    double PrevMouseY = 0.0;
};

// What a camera frame of another size than 320 x 240 gets: refused (the camera is closed
// after the size report), or scaled to 320 x 240 keeping its centre (Crop) or all of it
// (Stretch).
enum class FrameFit { Refuse, Crop, Stretch };

// Key frames, the position stack and the per-folder configuration table.
struct KeyFrameState {
    std::array<double, kKeyFrameSlots> KeyFrameNumber{};
    int KeyFrameIndex = 0;
    std::vector<double> LIFO_Frames = std::vector<double>(kLifoSlots);  // 0.0 marks a free slot
    std::vector<int32_t> PivotHistory = std::vector<int32_t>(kPivotSlots);
    int ConfigTail = 0;
};

// Random contents selection and automatic folder changes.
struct SelectionState {
    int AutoJumpFlag = 0;
    int RFJ_parameter = 20;
    int MotionCount = 0;            // motions counted towards the automatic selection
    int ContentsListReady = 0;      // 1: ContentsList is reused without a new scan
    std::vector<int> ContentsList;  // candidate folder indexes (0-based) of the last scan
};

// Movie export.
struct MovieState {
    int MovieFrameRate = 30;     // frame rate given to the encoder, 1 and up ('f', 'F')
    int CopyStartFrameNum = -1;  // first frame of a copy range; -1 outside one
    int CopyEndFrameNum = -1;    // last frame of a copy range; -1 outside one
};

// The gesture recogniser's cell grids and motion images, and the parameters of the
// countdown and quiet phase that precede learning runs and the threshold calibration.
inline constexpr int kGridColumns = 80;
inline constexpr int kGridRows = 60;
inline constexpr int kGridCells = kGridColumns * kGridRows;  // 4800
using CellGrid = std::array<uint8_t, kGridCells>;

struct GestureState {
    std::array<CellGrid, 2> Grid{};  // two cell grids taking turns: GridSide receives the turn
    int GridSide = 0;
    CellGrid GridCopy{};     // copy of the current grid, written by every live fill
    CellGrid DiffImage{};    // changed cells hold 5
    CellGrid BrightImage{};  // bright cells hold 7
    CellGrid EdgeImage{};    // bright edge cells hold 6
    std::array<int, 5> MotionImageOn{1, 1, 1, 1, 1};  // by image number: 1 diff, 2 bright, 4 edge
    double rv = 0.0;                                  // changed cells of the turn
    double RefDiff = 0.0;                             // bright cells of the turn
    int DThreshold = 40;                              // cell change threshold
    int MThreshold = 40;                              // cell brightness threshold
    int GRATE = 60;                                   // turns per second of the quiet phase
    int CountdownStep = 5;                            // countdown step length in units of 120 ms
    int GestureFollow = 0;  // 1: the clip follows the position within the motion (--follow)
};

// The command-line words, after the options have been taken out. ArgText[0] is the program.
struct CommandLineState {
    int ArgCount = 0;
    std::vector<std::string> ArgText;  // at most kMaxArgWords words of at most kArgWordBytes
};

// The home folder (the contents root itself) that collects frames as clip_00000.jpg, ...
struct HomeState {
    int HomeClipNum = 0;  // home slot last written by U or A; their search starts here
};

}  // namespace kalvento
