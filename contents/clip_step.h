#pragma once
// The display step's choice of clip. Each turn it shows the clip that frame_no names, loading
// it into the clip cache under the cache's limit when it is new. A clip that fails to load has
// the folder rescanned, and the turn starts again; one that fails again right after that
// rescan shows nothing, and no rescan follows until some clip loads. It also plans the
// read-ahead: the clips the playback shows next in its direction and step.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "contents/clip_cache.h"
#include "core/state.h"
#include "platform/console.h"
#include "platform/picture_header.h"
#include "platform/window.h"

namespace kalvento {

class ClipStep {
public:
    // What the step asks of the player.
    struct Hooks {
        // Loads a clip file (through the read-ahead when there is one).
        ClipCache::Decode load;
        // Shows clip `clip` of the cache as the window shows clips (mirrored, with the meter).
        std::function<void(int clip)> show;
        // After a clip failed to load: the contents scan, then the folder's parameter file.
        std::function<void()> rescan;
        std::function<void()> readFolderParameters;
        // Where the clips are shown changed: the loads decode for `area` from now on.
        std::function<void(const PictureArea& area)> showIn;
    };
    // With `showEveryTurn` (the motion meter on) the clip is shown again on turns that stay
    // on it, so the meter follows the motion.
    // It prints on `console` and gives `window` its moments; both must outlive it.
    ClipStep(Console& console, Window& window, Hooks hooks, bool showEveryTurn)
        : console_(console),
          window_(window),
          hooks_(std::move(hooks)),
          showEveryTurn_(showEveryTurn) {}

    // The display step of one turn. False when the clip failed to load and the folder was
    // rescanned: the turn starts again.
    bool run(State& state, ClipCache& cache);

    // A scan happened: the next failed clip may have its folder rescanned again.
    void scanned() { rescannedAfterFailure_ = false; }

    // The web remote's preview takes pictures at least `width` wide (0: no preview).
    void setPreviewWidth(int width) { previewWidth_ = width; }
    // Where the clips are shown, as of the last turn: what the loads decode for.
    const PictureArea& pictureArea() const { return area_; }

    // The clips to decode ahead, the most likely first, when anything they depend on changed
    // since the last plan; nullopt when nothing did. Clips ahead in the direction of travel
    // (both ways for the gesture drive, which may go either way) come first, then the clips
    // just passed, which a reversal shows first; clips the cache holds need no decode.
    std::optional<std::vector<std::string>> readAheadPlan(const State& state,
                                                          const ClipCache& cache);
    // The decodes were dropped: the next plan is made whatever it is.
    void forgetPlan() { planned_ = PlanKey{}; }

private:
    enum class ClipLoad { Loaded, ShowNothing, Rescanned };
    // Follows the window's picture area: when it grew, the held pictures too small for it go
    // (the shown clip is then loaded and shown again) and the read-ahead plans anew.
    void followPictureArea(State& state, ClipCache& cache);
    // A turn on the clip shown last turn.
    void stayOnClip(const State& state, const ClipCache& cache, int clip, bool inFolder);
    // Loads clip `clip` into the cache under its rules and marks its position. Loaded, or
    // what the failed load led to: nothing to show, or a rescan (the turn starts again).
    ClipLoad loadShownClip(State& state, ClipCache& cache, int clip);
    ClipLoad clipLoadFailed(State& state, int clip);
    void sayWhyNotShown(const std::string& path);

    Console& console_;
    Window& window_;
    Hooks hooks_;
    const bool showEveryTurn_;
    int repeatTurns_ = 0;
    PictureArea area_;
    int previewWidth_ = 0;
    // A clip that fails to load right after the rescan its failure caused is not rescanned
    // again until some clip loads.
    bool rescannedAfterFailure_ = false;
    // What the last read-ahead plan was made for: folder, clip, direction, step, engine.
    struct PlanKey {
        int dirNum = -1, clip = -1, maxCount = -1, direction = -1, engine = -1;
        double step = 0.0;
        bool operator==(const PlanKey&) const = default;
    };
    PlanKey planned_;
};

}  // namespace kalvento
