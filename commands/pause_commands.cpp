// ESC pauses the player (and a second ESC quits it), BS re-creates the window at the size of
// the current clip, and the keys without an action.

#include <opencv2/imgproc.hpp>

#include "commands/commands.h"
#include "commands/player_context.h"
#include "core/banners.h"
#include "core/input_queue.h"

namespace kalvento {

namespace {

// The next input that counts in the pause, from the queue: a key (only ENTER and ESC count),
// `resume` as ENTER, `key K` as K. Other commands wait in the queue for the end of the pause.
int queuedPauseKey(PlayerContext& player) {
    std::optional<Input> input = player.inputs.takeFirst([](const Input& in) {
        return in.isKey() || in.isCommand("resume") || in.isCommand("key") ||
               in.isCommand("pause");
    });
    if (!input) return kNoKey;
    if (input->isKey()) return input->key;
    if (input->isCommand("resume")) return kKeyEnter;
    if (input->isCommand("key") && input->args.size() == 1) return keyArgument(input->args[0]);
    return kNoKey;
}

}  // namespace

PauseEnd pausePlayer(PlayerContext& player) {
    State& state = player.state;
    player.setPaused(true);
    player.dropReadAhead();
    // The camera is let go for the pause; CamActive stays 1 so that resuming takes it again.
    if (state.camera.CamActive == 1) player.releaseCameraForPause();
    if (!state.KeyAllocationImage.empty()) player.io.window.show(state.KeyAllocationImage);
    player.io.console.print("\n\n");
    printBanner(player.io.console, Banner::Pause);
    player.io.console.print("\n");
    player.releaseImageCache();
    player.clearFilledSlots();

    // Only ENTER and ESC count while paused, typed or received.
    constexpr int kRemoteSliceMs = 50;
    const int waitMs = player.receivesRemotely() ? kRemoteSliceMs : 0;
    for (;;) {
        int key = player.io.window.waitKey(waitMs) & 0xff;
        if (key == kNoKey) {
            if (waitMs != 0) player.serviceStep("pause");
            key = queuedPauseKey(player);
        }
        if (key == kKeyEnter) break;
        if (key == kKeyEsc) {
            player.setPaused(false);
            return PauseEnd::Quit;
        }
    }

    if (state.camera.CamActive == 1) {
        player.resetSharedMotion();
        player.reopenCameraAfterPause();
    }
    player.io.console.print("\n");
    printBanner(player.io.console, Banner::PauseOver);
    player.io.console.print("\n");
    clearInjected(state.playback);
    player.setPaused(false);
    // The cache was emptied: the current clip is loaded and shown again in the next turn.
    state.playback.LastShownFrame = -1.0;
    return PauseEnd::Resumed;
}

void pauseCommand(PlayerContext& player, const KeyCommand&) {
    if (pausePlayer(player) == PauseEnd::Quit) player.quitRequested = true;
}

void initWindowSizeCommand(PlayerContext& player, const KeyCommand&) {
    const cv::Mat* clip = player.cachedCurrentClip();
    // The window takes the clip's own size, also when it is held decoded smaller.
    cv::Mat sized = clip != nullptr ? *clip : cv::Mat();
    const cv::Size whole =
        player.clipCache.wholeSizeOf(clipIndexOf(player.state.playback.frame_no));
    if (!sized.empty() && !whole.empty() && whole != sized.size())
        cv::resize(*clip, sized, whole, 0, 0, cv::INTER_LINEAR);
    player.io.sizeWindowTo(sized);
    player.state.playback.LastShownFrame = -1.0;
}

void noActionCommand(PlayerContext&, const KeyCommand&) {}

}  // namespace kalvento
