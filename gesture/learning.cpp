#include "gesture/learning.h"

#include <algorithm>
#include <cstring>

#include "core/banners.h"
#include "core/player_state.h"
#include "gesture/calibration.h"
#include "gesture/features.h"
#include "gesture/recognition_reset.h"
#include "gesture/view_weights.h"

namespace kalvento {

namespace {

constexpr double kUnlearnedAcceptLevel = 1e10;
constexpr int kMaxKeptGridIndex = 8;  // grids are kept while StoredCount <= 8
constexpr double kLeastRatioLevel = 0.92;
constexpr double kSpreadMargin = 2.5;
constexpr int kFinishedWaitMs = 1000;

// The tables every learning run starts from: ray step and sample stride 1, all 32 view points
// chosen afresh.
void prepareRunTables(Recogniser& recogniser, GestureState& gesture) {
    KbParameters& params = recogniser.params;
    params.RSKIP = 1.0;
    params.SKIP = 1.0;
    buildDirectionTables(recogniser.features, params.SKIP);
    params.FixedViewPointFlag = 0;
    params.NEROI = kViewPoints;
    selectViewPoints(recogniser, gesture);
}

// Countdown, quiet phase (not during a review), one more countdown step; false when ESC
// ended them early (the run is then cancelled at its first turn).
bool getReady(State& state, RecogniserHost& host, const Recogniser& recogniser) {
    if (state.camera.CamBeep) host.console().print("\a\n");
    runCountdown(state.gesture, host);
    if (host.escapeWaiting()) return false;
    if (recogniserMode(recogniser) != RecogniserMode::Review)
        runQuietPhase(state, host, QuietMessage::Learning);
    if (host.escapeWaiting()) return false;
    countdownStepWait(state.gesture, host);
    return !host.escapeWaiting();
}

void clearProtocolOf(KnowledgeBase& kb, int p) {
    auto first = kb.LearnProtocol.begin() +
                 static_cast<std::ptrdiff_t>(KnowledgeBase::protocolIndex(p, 0, 0, 0));
    std::fill(first, first + kGestures * kViewPoints * kProtocolSlots, ProtocolEntry{});
}

int clampGesture(int g) {
    return std::clamp(g, 0, kGestures - 1);
}

}  // namespace

void startStandardLearning(State& state, Recogniser& recogniser, RecogniserHost& host, int g) {
    g = clampGesture(g);
    GestureState& gesture = state.gesture;
    prepareRunTables(recogniser, gesture);

    KnowledgeBase& kb = recogniser.kb;
    ViewWeightState& weights = recogniser.weights;
    const size_t gs = static_cast<size_t>(g);
    recogniser.params.pos_num = g;
    kb.labels[gs].MotionLength = 0;
    resetRecognition(recogniser, gesture);
    for (int k = 0; k < kGestures; ++k) {
        const size_t ks = static_cast<size_t>(k);
        weights.ViewWeight[ks].fill(1.0);
        weights.SavedViewWeight[ks].fill(1.0);
        kb.SimilarFrames[ks] = 0;
        std::fill(
            weights.ProtocolMap.begin() + static_cast<std::ptrdiff_t>(ks * kViewPoints * kMapBins),
            weights.ProtocolMap.begin() +
                static_cast<std::ptrdiff_t>((ks + 1) * kViewPoints * kMapBins),
            0.0);
        weights.ViewUsable[ks].fill(0);
        clearProtocolOf(kb, k);
    }
    weights.GestureWeight.fill(0.0);
    kb.deleteGesture(g);
    kb.AcceptLevel[gs] = kUnlearnedAcceptLevel;
    kb.ReviewSum[gs].fill(0.0);
    kb.ReviewCount[gs].fill(0);
    kb.ReviewViewScore[gs].fill(0.0);

    host.console().caption(strf("Learning gesture %c (standard)", 'A' + g));
    if (getReady(state, host, recogniser)) printBanner(host.console(), Banner::Go);
}

void startSimilarLearning(State& state, Recogniser& recogniser, RecogniserHost& host) {
    const int p = clampGesture(recogniser.params.pos_num);
    prepareRunTables(recogniser, state.gesture);
    recogniser.params.pos_num = p;
    resetRecognition(recogniser, state.gesture);
    recogniser.learning.StoredCount = 0;
    recogniser.learning.ReviewFrame = 0;
    recogniser.params.SimilarRuns = 1;

    host.console().caption(strf("Learning gesture %c (similar)", 'A' + p));
    if (getReady(state, host, recogniser)) printBanner(host.console(), Banner::GoGo);
}

void keepPreviousGrid(LearningState& learning, const GestureState& gesture) {
    if (!(gesture.rv > 0.0) || learning.StoredCount < 0 || learning.StoredCount > kMaxKeptGridIndex)
        return;
    const size_t n = static_cast<size_t>(learning.StoredCount);
    learning.StoredGrid[n] = gesture.Grid[static_cast<size_t>(gesture.GridSide & 1)];
    learning.StoredGrid[n + 1].fill(0);
    ++learning.StoredCount;
}

void startReview(LearningState& learning) {
    learning.REVIEW_MODE = 1;
    learning.ReviewFrame = 0;
}

const CellGrid* reviewGrid(RecogniserTurn& turn) {
    Recogniser& recogniser = turn.recogniser;
    LearningState& learning = recogniser.learning;
    if (learning.ReviewFrame >= 0 && learning.ReviewFrame <= learning.StoredCount &&
        learning.StoredCount < kSamples) {
        const CellGrid* grid = &learning.StoredGrid[static_cast<size_t>(learning.ReviewFrame)];
        ++learning.ReviewFrame;
        if (learning.ReviewFrame <= learning.StoredCount) return grid;
    }

    // The review is over: the levels of the gesture come from what it collected.
    const int p = clampGesture(recogniser.params.pos_num);
    const size_t ps = static_cast<size_t>(p);
    KnowledgeBase& kb = recogniser.kb;
    learning.REVIEW_MODE = 0;
    learning.ReviewFrame = 0;
    learning.StoredCount = 0;
    const auto& sum = kb.ReviewSum[ps];
    const auto& count = kb.ReviewCount[ps];
    if (count[0] > 0) kb.AcceptLevel[ps] = sum[0] * recogniser.params.RF_COEFFICIENT / count[0];
    if (count[1] > 0) kb.OK_VAR[ps] = sum[1] * kSpreadMargin / count[1];
    if (count[2] > 0) kb.RatioLevel[ps] = sum[2] / count[2];
    if (kb.RatioLevel[ps] < kLeastRatioLevel) kb.RatioLevel[ps] = kLeastRatioLevel;
    resetRecognition(recogniser, turn.gesture);
    return nullptr;
}

void runLearningDriver(State& state, Recogniser& recogniser, RecogniserHost& host) {
    LearningState& learning = recogniser.learning;
    KbParameters& params = recogniser.params;
    const RecogniserMode mode = recogniserMode(recogniser);
    if (mode == RecogniserMode::SimilarLearning || mode == RecogniserMode::Review ||
        learning.AutoLearn < 1)
        return;
    const int last = clampGesture(learning.GestureMax);
    const int first = learning.AutoLearn == 1 ? 0 : last;
    for (int a = first; a <= last; ++a) {
        if (recogniser.kb.exists(0, a, 0)) continue;
        params.pos_num = a;
        learning.LearnTarget = a;
        startStandardLearning(state, recogniser, host, a);
        return;
    }
    for (int a = first; a <= last; ++a) {
        if (recogniser.kb.SimilarFrames[static_cast<size_t>(a)] != 0) continue;
        params.pos_num = a;
        startSimilarLearning(state, recogniser, host);
        return;
    }
    learning.AutoLearn = 0;
    printBanner(host.console(), Banner::Finished);
    host.console().caption("");
    host.waitWithWindow(kFinishedWaitMs);
}

bool learningRunUnderWay(const Recogniser& recogniser) {
    return recogniserMode(recogniser) != RecogniserMode::Recognising;
}

void cancelLearning(Recogniser& recogniser, GestureState& gesture) {
    LearningState& learning = recogniser.learning;
    KnowledgeBase& kb = recogniser.kb;
    const RecogniserMode mode = recogniserMode(recogniser);
    const int target = learning.LearnTarget;
    if (mode == RecogniserMode::StandardLearning && target < kGestures) {
        kb.deleteGesture(target);
        kb.labels[static_cast<size_t>(target)].MotionLength = 0;
    }
    const int p = recogniser.params.pos_num;
    if (mode == RecogniserMode::SimilarLearning && p >= 0 && p < kGestures) {
        kb.SimilarFrames[static_cast<size_t>(p)] = 0;
        clearProtocolOf(kb, p);
    }
    learning.AutoLearn = 0;
    learning.LearnTarget = -1;
    recogniser.params.SimilarRuns = 0;
    learning.REVIEW_MODE = 0;
    learning.StoredCount = 0;
    learning.ReviewFrame = 0;
    resetRecognition(recogniser, gesture);
    clearOutputs(recogniser.outputs);
}

}  // namespace kalvento
