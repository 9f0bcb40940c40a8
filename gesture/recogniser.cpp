#include "gesture/recogniser.h"

#include <cstdio>
#include <cstring>

namespace kalvento {

KnowledgeBase::KnowledgeBase()
    : LearnProtocol(static_cast<size_t>(kGestures) * kGestures * kViewPoints * kProtocolSlots) {
    for (auto& row : SampleCount) row.fill(-1);
    for (int g = 0; g < kGestures; ++g) {
        GestureLabel& label = labels[static_cast<size_t>(g)];
        std::memset(&label, 0, sizeof label);
        std::snprintf(label.name, sizeof label.name, "%c", 'A' + g);
        label.index = g;
    }
    ViewPointOn.fill(1);
    FixedViewPoint.fill(1);
    AcceptLevel.fill(1e10);
    SpareLevel.fill(-1.0);
    OK_VAR.fill(2000000.0);
    RatioLevel.fill(0.999999);
}

KbRecord* KnowledgeBase::sample(int v, int g, int s) {
    if (v < 0 || v >= kViewPoints || g < 0 || g >= kGestures || s < 0 || s >= kSamples)
        return nullptr;
    return samples_[slot(v, g, s)].get();
}

const KbRecord* KnowledgeBase::sample(int v, int g, int s) const {
    return const_cast<KnowledgeBase*>(this)->sample(v, g, s);
}

KbRecord& KnowledgeBase::ensureSample(int v, int g, int s) {
    std::unique_ptr<KbRecord>& record = samples_[slot(v, g, s)];
    if (!record) {
        record = std::make_unique<KbRecord>();
        std::memset(record.get(), 0, sizeof(KbRecord));
        record->viewPoint = v;
        record->gesture = g;
        record->sample = s;
    }
    return *record;
}

void KnowledgeBase::storeSample(int v, int g, int s, const KbRecord& from) {
    KbRecord& record = ensureSample(v, g, s);
    record = from;
    record.viewPoint = v;
    record.gesture = g;
    record.sample = s;
    record.reserved = 0;
}

bool KnowledgeBase::deleteSample(int v, int g, int s) {
    if (!sample(v, g, s)) return false;
    samples_[slot(v, g, s)].reset();
    return true;
}

void KnowledgeBase::freeAllSamples() {
    for (auto& record : samples_) record.reset();
}

int KnowledgeBase::deleteGesture(int g) {
    if (g < 0 || g >= kGestures) return 0;
    int deleted = 0;
    for (int v = 0; v < kViewPoints; ++v)
        for (int s = 0; s < kSamples; ++s) deleted += deleteSample(v, g, s) ? 1 : 0;
    if (deleted > 0)
        for (auto& row : SampleCount) row[static_cast<size_t>(g)] = -1;
    return deleted;
}

int KnowledgeBase::presentSamples() const {
    int count = 0;
    for (const auto& record : samples_) count += record ? 1 : 0;
    return count;
}

ViewWeightState::ViewWeightState()
    : ProtocolMap(static_cast<size_t>(kGestures) * kViewPoints * kMapBins, 0.0) {
    for (auto& row : ViewWeight) row.fill(1.0);
    SavedViewWeight = ViewWeight;
    PhaseDiffLimit.fill(5.0);
}

RecognitionState::RecognitionState() {
    for (TurnRow& row : TurnTable) {
        row.Gesture.fill(-1);
        row.Score.fill(0.0);
        row.Sample.fill(0);
    }
}

RecogniserMode recogniserMode(const Recogniser& recogniser, int learnTarget) {
    if (learnTarget >= 0) return RecogniserMode::StandardLearning;
    if (recogniser.params.SimilarRuns >= 1) return RecogniserMode::SimilarLearning;
    if (recogniser.learning.REVIEW_MODE != 0) return RecogniserMode::Review;
    return RecogniserMode::Recognising;
}

RecogniserMode recogniserMode(const Recogniser& recogniser) {
    return recogniserMode(recogniser, recogniser.learning.LearnTarget);
}

}  // namespace kalvento
