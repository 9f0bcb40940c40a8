#pragma once
// What the key commands work on: the player's state record, its outside world and the few
// loop operations a command calls, the recogniser's services among them. The player (the
// program's top) implements the operations; commands see nothing else of it.

#include <memory>

#include <opencv2/core.hpp>

#include "contents/clip_cache.h"
#include "core/player_state.h"
#include "core/input_queue.h"
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
    // Whether inputs and motion may arrive over the network; the waits then wait in short
    // slices and run the service step in between.
    virtual bool receivesRemotely() const = 0;
    // The part of a turn that never stops, run from every wait outside the turn: what came
    // over the network goes into `inputs` (remote motion that stopped coming still expires),
    // the web remote gets the status, the state that changed is sent, and the display keeps
    // its clock. `waitingFor` names the wait ("pause", "learning", "copy", "question", ...).
    virtual void serviceStep(const char* waitingFor) = 0;
    // The pause begins (the shown clip is kept for the remotes) or ends.
    virtual void setPaused(bool paused) = 0;
    // The window's display level 0 .. 3; false when there is no display.
    virtual bool setDisplayLevel(int level) = 0;

    State state;
    // The decoded clips the display keeps, with the Loaded flags of state.contents.
    ClipCache clipCache{state.contents};
    Recogniser recogniser;  // the gesture recogniser: knowledge base, tables, learning
    Random random;
    Io& io;
    TurnTimer timer;
    std::unique_ptr<SharedBlock> sharedBlock;  // open from the main loop's start on
    bool quitRequested = false;  // the user quit from the pause: the main loop ends this turn
    // Every input from outside: the window's keys aside, what remotes and scripts send.
    InputQueue inputs;
    // Where the command running now came from (the window for a typed key).
    InputSource running = InputSource::Window;
    InputSource runningSource() const { return running; }
};

}  // namespace kalvento
