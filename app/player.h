#pragma once
// The player: owns the state record and runs start-up and the main loop against the outside
// world given as an Io. Key commands get the player itself: its state, its outside world and
// the operations below, which other subsystems provide.

#include <string>

#include "app/options.h"
#include "app/state.h"
#include "app/turn_timer.h"
#include "platform/io.h"
#include "platform/random.h"

namespace kalvento {

class Player {
public:
    // `io` must outlive the player. The player registers its own mouse callback in `io`.
    Player(Io& io, Options options);
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Runs start-up and the main loop until the user quits; returns the exit status (0 after
    // a normal quit).
    int run();

    // --- Operations for the commands ---

    // Rescans the current folder (may change DirNum; throws PlayerExit when no folder holds
    // a clip).
    void scan();
    // Reads the playback state from the parameter files.
    void readParameters();
    // When the current folder has its own parameter file, says so and reads the parameters.
    void readFolderParameters();
    // Prints the function list with the current values.
    void showHelp();
    // Clears the shared motion values (the total and the per-camera slots).
    void resetSharedMotion();
    // Releases every cached clip image and clears the Loaded flags.
    void releaseImageCache();
    // The cached image of the clip at frame_no, or nullptr when it is not in the cache.
    const cv::Mat* cachedCurrentClip() const;
    // Loads clip `clip` into the image cache unless it is there. False when it is outside the
    // folder or fails to load.
    bool cacheClip(int clip);
    // The pause lets the camera go and takes it again on resume (CamActive stays 1).
    void releaseCameraForPause();
    void reopenCameraAfterPause();

    // --- The turn ---

    // Prompt, per-turn values and speed level of one turn.
    void beginTurn();
    // Shows the clip at frame_no, loading it into the image cache when needed. False when the
    // clip failed to load and the folder was rescanned: the turn starts again.
    bool displayClip();

    State state;
    Random random;
    Io& io;
    const Options options;
    TurnTimer timer;
    std::unique_ptr<SharedBlock> sharedBlock;  // open from the main loop's start on
    int RepeatTurns = 0;                       // turns in a row without a change of the shown clip

private:
    static void onMouse(int event, int x, int y, int flags, void* user);
    void startUp();
    void initialise();
    void openSharedBlock();
    void takeStartingClip();
    void mainLoop();
    void printStatus();
    void runMotionEngine();

    // A clip that fails to load right after the rescan its failure caused is not rescanned
    // again until some clip loads.
    bool rescannedAfterFailure_ = false;
    cv::Mat flipped_;  // the mirrored clip of the display, reused
};

}  // namespace kalvento
