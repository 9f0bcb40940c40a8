#include "input/mouse.h"

#include <algorithm>
#include <cstddef>

#include "core/input_queue.h"
#include "core/player_state.h"
#include "platform/window.h"

namespace kalvento {

namespace {

constexpr const char* kStepForward = "step-forward";
constexpr const char* kStepBackward = "step-backward";
constexpr const char* kRandomFolder = "random-folder";
constexpr const char* kQuickAccessMode = "quick-access";

// Injects the command `name` as the mouse's input of the turn.
void injectMouseCommand(State& state, const char* name) {
    injectInput(state.playback, Input::Command(name, {}, InputSource::Mouse));
}

constexpr double kDragStep = 12.0;  // frames per step while a motion-mode drag lasts
constexpr double kNormalStep = 1.0;
constexpr double kMinMovement = 0.001;  // share of the clip size that counts as a movement
// A pointer left of or above the window arrives as a negative coordinate (here) or a very
// large one (some window systems); either, or anything this far beyond the clip's size,
// counts as 0.
constexpr int kFarOffMargin = 2000;

// The pointer of one event, in image pixels, after the far-off correction of the position
// mapping (when it ran).
struct Pointer {
    int x;
    int y;
};

bool positionMode(const State& state) {
    return state.mouse.QuickAccessMode == 1;
}
bool motionMode(const State& state) {
    return state.mouse.QuickAccessMode == 0;
}
bool vertical(const State& state) {
    return state.mouse.MouseVertFlag == 1;
}

// The cached image of the shown clip (the integer part of frame_no), or nullptr when that
// clip is not loaded or frame_no lies outside the clip table.
const cv::Mat* shownClipImage(const State& state) {
    const ContentsState& contents = state.contents;
    const size_t tableSize = std::min(contents.FrameData.size(), contents.FrameImage.size());
    const double limit =
        std::min(static_cast<double>(contents.MaxCount), static_cast<double>(tableSize));
    const double position = state.playback.frame_no;
    if (!(position >= 0.0 && position < limit)) return nullptr;  // NaN fails here too
    const auto n = static_cast<size_t>(position);
    if (contents.FrameData[n].Loaded != 1) return nullptr;
    return &contents.FrameImage[n];
}

// Sets the playback step of a motion-mode drag. The step belongs to the camera while it is
// open, and a step of 0 or less (playback stopped) is left alone.
void setDragStep(State& state, double step) {
    PlaybackState& playback = state.playback;
    if (state.camera.CamActive == 0 && playback.VR_step > 0.0) {
        playback.SpeedFactor = step;
        playback.VR_step = step;
    }
}

// Position mapping: the pointer's share of the clip's width (height in vertical mode) chooses
// the same share of the folder. Corrects a far-off coordinate in `pointer` for the movement
// step that follows.
void mapPosition(State& state, const cv::Mat* image, Pointer& pointer) {
    if (image == nullptr) return;
    int& coordinate = vertical(state) ? pointer.y : pointer.x;
    const int size = vertical(state) ? image->rows : image->cols;
    if (size <= 0) return;
    if (coordinate < 0 || coordinate > size + kFarOffMargin) coordinate = 0;

    const int maxCount = state.contents.MaxCount;
    const long long product = static_cast<long long>(coordinate) * maxCount;  // in integers
    double target = static_cast<double>(product) / static_cast<double>(size);
    target = std::min(target, static_cast<double>(maxCount - 1));
    target = std::max(target, 0.0);
    state.mouse.QuickAccessTarget = target;
}

// Movement step: compares the pointer position, as a share of the clip's size, with the one of
// the last handled movement and injects a step key; then keeps the new position.
void movementStep(State& state, const cv::Mat* image, const Pointer& pointer) {
    double nx = 0.0;
    double ny = 0.0;
    if (image != nullptr) {
        if (image->cols > 0) nx = static_cast<double>(pointer.x) / image->cols;
        if (image->rows > 0) ny = static_cast<double>(pointer.y) / image->rows;
    }

    MouseState& mouse = state.mouse;
    const double movement = vertical(state) ? ny - mouse.PrevMouseY : nx - mouse.PrevMouseX;
    const bool reverse = mouse.MouseReverseFlag == 1;
    const char* forward = reverse ? kStepBackward : kStepForward;
    const char* backward = reverse ? kStepForward : kStepBackward;

    if (state.playback.WalkerMode == 1) {
        injectMouseCommand(state, forward);
    } else if (movement >= kMinMovement) {
        injectMouseCommand(state, forward);
    } else if (movement <= -kMinMovement) {
        injectMouseCommand(state, backward);
    }

    mouse.PrevMouseX = nx;
    mouse.PrevMouseY = ny;
}

void onMove(State& state, const Pointer& at, bool leftHeld) {
    PlaybackState& playback = state.playback;
    const cv::Mat* image = shownClipImage(state);
    Pointer pointer = at;

    if (leftHeld) {
        if (positionMode(state)) {
            playback.PlayEngine = 0;
            state.mouse.QuickAccessTarget = -1.0;
            mapPosition(state, image, pointer);
            movementStep(state, image, pointer);
        } else if (motionMode(state)) {
            playback.PlayEngine = 1;
            setDragStep(state, kDragStep);
            state.mouse.QuickAccessTarget = -1.0;
            movementStep(state, image, pointer);
        }
        return;
    }

    // A movement without the button ends a motion-mode drag whose button-up was missed.
    if (playback.SpeedFactor == kDragStep) {
        playback.PlayEngine = 1;
        setDragStep(state, kNormalStep);
    }
    state.mouse.QuickAccessTarget = -1.0;
    // A position-mode drag whose button-up was missed keeps mapping the position.
    if (playback.PlayEngine == 0) mapPosition(state, image, pointer);
    movementStep(state, image, pointer);
}

void onLeftDown(State& state) {
    if (positionMode(state)) {
        state.playback.PlayEngine = 0;
    } else if (motionMode(state)) {
        state.playback.PlayEngine = 1;
        setDragStep(state, kDragStep);
    }
}

void onLeftUp(State& state) {
    state.playback.PlayEngine = 1;
    if (motionMode(state)) setDragStep(state, kNormalStep);
}

}  // namespace

void handleMouseEvent(State& state, Console& console, int event, int x, int y, int flags) {
    if (state.mouse.MouseInputFlag == 0) return;
    // At most one injected key per turn: events arriving before it ran are dropped, and the
    // last handled position stays.
    if (hasInjected(state.playback)) return;

    switch (event) {
        case kMouseMove:
            onMove(state, Pointer{x, y}, (flags & kMouseFlagLeftHeld) != 0);
            break;
        case kMouseLeftDown:
            onLeftDown(state);
            break;
        case kMouseRightDown:
            console.print("%sマウス入力[ 右ボタン ]→ ランダムにコンテンツフォルダを選択します。\n",
                          state.playback.PromptText.c_str());
            injectMouseCommand(state, kRandomFolder);
            break;
        case kMouseMiddleDown:
            console.print("%sマウス入力[ 中ボタン ]→ クイックアクセスのモードを切替えます。\n",
                          state.playback.PromptText.c_str());
            injectMouseCommand(state, kQuickAccessMode);
            break;
        case kMouseLeftUp:
            onLeftUp(state);
            break;
        default:
            break;
    }
}

}  // namespace kalvento
