#pragma once
// What the key commands work on: the player's state record, its outside world and the few
// loop operations a command calls, the recogniser's services among them. The player (the
// program's top) implements the operations; commands see nothing else of it.

#include <memory>

#include <opencv2/core.hpp>

#include "contents/clip_cache.h"
#include "core/player_state.h"
#include "core/turn_timer.h"
#include "gesture/recogniser.h"
#include "gesture/recogniser_host.h"
#include "core/io.h"
#include "platform/random.h"
#include "platform/shared_block.h"

namespace kalvento {

class PlayerContext : public RecogniserHost {
public:
    // `io` must outlive the context.
    explicit PlayerContext(Io& io_) : io(io_), timer(io_.clock) {}
    PlayerContext(const PlayerContext&) = delete;
    PlayerContext& operator=(const PlayerContext&) = delete;
    virtual ~PlayerContext() = default;

    // Rescans the current folder (may change DirNum; throws PlayerExit when no folder holds
    // a clip).
    virtual void scan() = 0;
    // Reads the playback state from the parameter files, then the folder's gesture knowledge
    // base; when that loads, it is prepared and PlayEngine becomes 0 (the gesture drive).
    virtual void readParameters() = 0;
    // When the current folder has its own parameter file, says so and reads the parameters.
    virtual void readFolderParameters() = 0;
    // Prints the function list with the current values.
    virtual void showHelp() = 0;
    // Clears the shared motion values (the total and the per-camera slots).
    virtual void resetSharedMotion() = 0;
    // Releases every cached clip image and clears the Loaded flags.
    virtual void releaseImageCache() = 0;
    // The clip at frame_no as it is shown (with its position marker), or nullptr when it is
    // not in the cache.
    virtual const cv::Mat* cachedCurrentClip() const = 0;
    // Loads clip `clip` into the image cache unless it is there. False when it is outside the
    // folder or fails to load.
    virtual bool cacheClip(int clip) = 0;
    // Drops every clip decoded ahead of the display and the plan of what to decode (the
    // pause: nothing is decoded while the player waits, and the memory goes back).
    virtual void dropReadAhead() = 0;
    // The pause lets the camera go and takes it again on resume (CamActive stays 1).
    virtual void releaseCameraForPause() = 0;
    virtual void reopenCameraAfterPause() = 0;
    // Clears the shared block slots this player filled: its camera's and those it received
    // over the network, so that nobody follows them while it is paused or gone.
    virtual void clearFilledSlots() = 0;
    // Whether keys and motion may arrive over the network; the pause then waits in short
    // slices and takes them in between.
    virtual bool receivesRemotely() const = 0;
    // While paused: takes what arrived over the network (remote motion that stopped coming
    // still expires) and returns the next key received, or 0.
    virtual int takeRemoteKeyWhilePaused() = 0;

    State state;
    // The decoded clips the display keeps, with the Loaded flags of state.contents.
    ClipCache clipCache{state.contents};
    Recogniser recogniser;  // the gesture recogniser: knowledge base, tables, learning
    Random random;
    Io& io;
    TurnTimer timer;
    std::unique_ptr<SharedBlock> sharedBlock;  // open from the main loop's start on
    bool quitRequested = false;  // the user quit from the pause: the main loop ends this turn
};

}  // namespace kalvento
