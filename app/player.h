#pragma once
// The player: owns the state record and runs start-up and the main loop against the outside
// world given as an Io. Key commands see it as their PlayerContext, the recogniser's runs as
// their RecogniserHost.

#include <string>

#include "app/options.h"
#include "commands/player_context.h"
#include "contents/clip_step.h"
#include "ipc/osc_link.h"
#include "motion/camera_supervisor.h"
#include "remote/previews.h"
#include "remote/remote_hub.h"

namespace kalvento {

class OnScreenDisplay;

class Player final : public PlayerContext {
public:
    // `io` must outlive the player. The player registers its own mouse callback in `io`.
    Player(Io& io, Options options);

    // Runs start-up and the main loop until the user quits; returns the exit status (0 after
    // a normal quit).
    int run();

    // --- PlayerContext ---
    void scan() override;
    void readParameters() override;
    void readFolderParameters() override;
    void showHelp() override;
    void resetSharedMotion() override;
    void releaseImageCache() override;
    const cv::Mat* cachedCurrentClip() const override;
    bool cacheClip(int clip) override;
    void dropReadAhead() override;
    void releaseCameraForPause() override;
    void reopenCameraAfterPause() override;
    void clearFilledSlots() override;
    bool receivesRemotely() const override { return osc_ != nullptr || remote_ != nullptr; }
    void serviceStep(const char* waitingFor) override;
    void setPaused(bool paused) override;
    bool setDisplayLevel(int level) override;

    // --- RecogniserHost ---
    void captureFrame(bool measure) override;
    const cv::Mat* currentClip() override;
    void showWithFlip(const cv::Mat& image) override;
    void waitWithWindow(int ms) override;
    bool escapeWaiting() override;
    void startTurn() override;
    void paceTurn(int turnsPerSecond) override;
    Events& console() override { return io.console; }

    // --- The turn ---

    // Prompt, per-turn values and speed level of one turn.
    void beginTurn();
    // Shows the clip at frame_no, loading it into the image cache when needed. False when the
    // clip failed to load and the folder was rescanned: the turn starts again.
    bool showClipAtPosition();

    // Tells the clip reader which clips the playback shows next in its direction and step,
    // and keeps the last shown ones wanted (a reversal shows them again). Does nothing when
    // nothing changed since the last plan or there is no clip reader.
    void planReadAhead();

    // --camera-retry: the camera supervisor's turn; a camera it found again (now, or in a wait
    // since the last turn) is switched on as q does.
    void retryLostCamera();
    // The supervisor's bookkeeping in a wait (the service step's): the retry time and the
    // tries go on, but a camera found again is only switched on at the next turn, never in
    // the middle of a wait.
    void superviseCameraInWait();

    const Options& options() const { return options_; }

    // The web remote's hub, fed once a turn and drained of its threshold values, and the
    // on-screen display, whose level the hub reports and the osd command sets; null: none.
    // Both must outlive the run.
    // The hub's clip preview takes pictures of at least its width.
    void attachRemote(RemoteHub* hub, OnScreenDisplay* display = nullptr) {
        remote_ = hub;
        display_ = display;
        clipStep_.setPreviewWidth(hub != nullptr ? kPreviewMaxWidth : 0);
    }

private:
    static void onMouse(int event, int x, int y, int flags, void* user);
    // The camera options into the camera state: source, size, fit, lock, normalize.
    void applyCameraOptions();
    void startUp();
    void initialise();
    void openSharedBlock();
    void takeStartingClip();
    void mainLoop();
    void takeScreenOptions();
    void printStatus();
    void tellClipPosition();
    void runMotionEngine();
    // --import-and-play: the folder just made is the one the first scan takes (whatever folder
    // the parameter file read before it names).
    void startOnPlayFolder();
    // --camera-source-loop: says on the console and in the window that a video stands in for
    // the camera, and how to use a real one.
    void sayCameraStandIn();
    // --camera-on: the camera key's command, with its title line, as if q had been typed.
    void openCameraAtStart();
    // --gesture: q, then ; as if typed. Without the folder's knowledge base the player says so
    // and stays in the motion mode q left it in.
    void enterGestureModeAtStart();
    // The command of `key` with its title line, as if it had been typed.
    void runKeyAtStart(int key);
    // One supervision (its start said on the console).
    CameraSupervisor::Outcome superviseCamera();
    void tellCameraMissing();
    // OSC: what arrived before the turn measures motion, the turn's motion after it, the shown
    // clip after the display, a received key before the key stage.
    void receiveOsc();
    void sendOscMotion();
    void sendOscClip();
    void sendOscGesture();  // every gesture turn, after the drive
    // When the turn has no injected input, the oldest queued command becomes it (queued keys
    // are read by the key stage's window read, as typed ones).
    void injectQueuedInput();
    // The web remote's commands into the input queue.
    void takeRemoteCommands();
    // The state that changed since the last report, to --osc-send.
    void sendOscState();
    // Whether a queued input is ESC; takes the first such input out.
    bool takeQueuedEscape();
    // What a wait of the recogniser waits for: "learning" or "calibration".
    const char* recogniserWaitName() const;
    void printOscCounts();
    // Web remote: a threshold value taken before the turn measures, the status, a motion
    // sample and (when watched) the pictures handed over after the display.
    void applyRemoteThreshold();
    void publishRemote();
    void offerRemotePictures();
    void runGestureTurn();
    void learningTurnEnd();
    void endTurn();
    // Loads a clip file for the display step: through the clip reader when there is one.
    bool loadClipImage(const std::string& path, cv::Mat& into, cv::Size& whole);
    // Shows the cached clip with its marker (and the meter), when the cache holds it.
    void showCachedClip(int clip);

    const Options options_;
    CameraSupervisor cameraSupervisor_;
    std::optional<CameraMissing> cameraMissingTold_;  // what the window was last told
    bool cameraBackInWait_ = false;  // the supervisor found the camera in a wait: on at the turn
    ClipStep clipStep_;
    std::unique_ptr<OscLink> osc_;    // null without io.osc
    RemoteHub* remote_ = nullptr;
    OnScreenDisplay* display_ = nullptr;
    int64_t startMicros_ = 0;  // clock time the loop started, for the remote's uptime
    bool paused_ = false;
    const char* waitingFor_ = "";  // what the player waits for now, "" nothing
    cv::Mat pausedClip_;  // the clip shown when the pause began, for the remote's picture
    cv::Mat flipped_;  // the shown copy that carries the motion meter, reused
};

}  // namespace kalvento
