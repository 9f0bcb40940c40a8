#include "contents/clip_step.h"

#include <algorithm>

#include "core/input_queue.h"
#include "core/paths.h"

namespace kalvento {

namespace {

constexpr int kRepeatTurnsForKeyWait = 10;

}  // namespace

void ClipStep::followPictureArea(State& state, ClipCache& cache) {
    const PictureArea area{window_.pictureArea(), previewWidth_, window_.pictureFillsArea()};
    if (area == area_) return;
    const bool grew = areaGrew(area_, area);
    area_ = area;
    if (hooks_.showIn) hooks_.showIn(area);
    if (!grew) return;
    forgetPlan();
    if (cache.dropUncovering(area, clipIndexOf(state.playback.frame_no)))
        state.playback.LastShownFrame = -1.0;
}

bool ClipStep::run(State& state, ClipCache& cache) {
    followPictureArea(state, cache);
    ContentsState& contents = state.contents;
    PlaybackState& playback = state.playback;
    int f = clipIndexOf(playback.frame_no);
    bool inFolder = f >= 0 && f < contents.MaxCount;
    if (f == clipIndexOf(playback.LastShownFrame)) {
        stayOnClip(state, cache, f, inFolder);
        return true;
    }
    repeatTurns_ = 0;
    if (!inFolder) {
        // A position outside the folder shows nothing; it is remembered so it is not retried
        // every turn.
        playback.LastShownFrame = playback.frame_no;
        return true;
    }
    const FrameData& record = contents.FrameData[static_cast<size_t>(f)];
    if (cache.find(f) == nullptr && !fieldText(record.ClipPath).empty()) {
        const ClipLoad load = loadShownClip(state, cache, f);
        if (load == ClipLoad::Rescanned) return false;
        if (load == ClipLoad::ShowNothing) return true;
    }
    std::string http(fieldText(record.http)), file(fieldText(record.file));
    if (!http.empty()) console_.print("DISP: FrameData[ %5d ].http[2] = [%s]\n", f, http.c_str());
    if (!file.empty()) console_.print("DISP: FrameData[ %5d ].file[3] = [%s]\n", f, file.c_str());
    if (playback.VR_step >= 0.0) hooks_.show(f);
    playback.LastShownFrame = playback.frame_no;
    return true;
}

void ClipStep::stayOnClip(const State& state, const ClipCache& cache, int clip, bool inFolder) {
    // After ten turns on the same clip the window gets one more moment for its events; a key
    // typed then is not used.
    const bool cached = inFolder && cache.find(clip) != nullptr;
    if (++repeatTurns_ == kRepeatTurnsForKeyWait && cached) window_.delay(1);
    // The meter follows the motion of every turn: the clip is shown again with the new bar.
    if (showEveryTurn_ && cached && state.playback.VR_step >= 0.0) hooks_.show(clip);
}

ClipStep::ClipLoad ClipStep::loadShownClip(State& state, ClipCache& cache, int clip) {
    PlaybackState& playback = state.playback;
    const int limit = playback.VR_step <= 0.0 ? 1 : playback.CamOnMemory;
    const bool ok = cache.load(clip, limit, hooks_.load);
    if (!injectedKeyIs(playback, '6')) clearInjected(playback);
    if (!ok) return clipLoadFailed(state, clip);
    rescannedAfterFailure_ = false;
    const cv::Mat& image = *cache.find(clip);
    const int x = static_cast<int>(image.cols * playback.frame_no / state.contents.MaxCount);
    cache.mark(clip, ClipMarker{x, state.mouse.QuickAccessMode == 0});
    return ClipLoad::Loaded;
}

// A clip refused before decoding (more pixels than a clip may have, a FIFO or a device under
// a clip's name) is named with the reason; other failures say nothing more than before.
void ClipStep::sayWhyNotShown(const std::string& path) {
    const PictureCheck check = checkPicture(openablePath(path));
    if (check.verdict == PictureCheck::Verdict::TooLarge ||
        check.verdict == PictureCheck::Verdict::NotRegular)
        console_.printErr("ERROR: The clip [ %s ] is not shown: %s.\n", printable(path).c_str(),
                          check.why.c_str());
}

ClipStep::ClipLoad ClipStep::clipLoadFailed(State& state, int clip) {
    PlaybackState& playback = state.playback;
    const FrameData& record = state.contents.FrameData[static_cast<size_t>(clip)];
    sayWhyNotShown(std::string(fieldText(record.ClipPath)));
    if (rescannedAfterFailure_) {
        // The folder was rescanned for a failed clip and this one fails too: show nothing,
        // keep the key stage reachable and do not rescan again until a clip loads.
        console_.print("\n ***[ READ FAILED AGAIN ][ %s ]***\n",
                       std::string(fieldText(record.ClipPath)).c_str());
        playback.LastShownFrame = playback.frame_no;
        return ClipLoad::ShowNothing;
    }
    console_.print("\n ***[ READ FAILED! ][ NOW, RELOADING IMAGE FILES IN CONTENTS FOLDER ]***\n");
    hooks_.rescan();
    console_.print("Done.\n\n");
    hooks_.readFolderParameters();
    playback.LastShownFrame = -1.0;
    clearInjected(playback);
    rescannedAfterFailure_ = true;
    return ClipLoad::Rescanned;
}

std::optional<std::vector<std::string>> ClipStep::readAheadPlan(const State& state,
                                                                const ClipCache& cache) {
    const ContentsState& contents = state.contents;
    const PlaybackState& playback = state.playback;
    const int f = clipIndexOf(playback.frame_no);
    const int direction = playback.ReplayDirection == 1 ? 1 : -1;
    const PlanKey key{contents.DirNum, f, contents.MaxCount, direction, playback.PlayEngine,
                      playback.VR_step};
    if (key == planned_) return std::nullopt;
    planned_ = key;
    constexpr int kAhead = 4;
    constexpr int kBehind = 2;
    constexpr int kMaxProbes = 64;
    const double step = playback.VR_step > 0.0 ? playback.VR_step : 1.0;
    const bool bothWays = playback.PlayEngine == 0;
    std::vector<int> ahead, behind;
    auto collect = [&](std::vector<int>& clips, int sign, int wanted) {
        for (int k = 1; k <= kMaxProbes && static_cast<int>(clips.size()) < wanted; ++k) {
            const double position = playback.frame_no + sign * k * step;
            if (!(position >= 0.0 && position < contents.MaxCount)) break;
            const int clip = clipIndexOf(position);
            if (clip == f || std::find(clips.begin(), clips.end(), clip) != clips.end()) continue;
            clips.push_back(clip);
        }
    };
    collect(ahead, direction, kAhead);
    collect(behind, -direction, bothWays ? kAhead : kBehind);
    std::vector<int> order;
    for (size_t i = 0; i < std::max(ahead.size(), behind.size()); ++i) {
        if (i < ahead.size()) order.push_back(ahead[i]);
        if (bothWays && i < behind.size()) order.push_back(behind[i]);
    }
    if (!bothWays) order.insert(order.end(), behind.begin(), behind.end());
    std::vector<std::string> paths;
    for (int clip : order) {
        const FrameData& record = contents.FrameData[static_cast<size_t>(clip)];
        if (cache.find(clip) != nullptr || fieldText(record.ClipPath).empty()) continue;
        paths.push_back(openablePath(fieldText(record.ClipPath)));
    }
    return paths;
}

}  // namespace kalvento
