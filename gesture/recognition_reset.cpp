#include "gesture/recognition_reset.h"

namespace kalvento {

void clearOutputs(GestureOutputs& outputs) {
    outputs = GestureOutputs{};
}

void resetRecognition(Recogniser& recogniser, GestureState& gesture) {
    RecognitionState& state = recogniser.recognition;
    state.PhaseMin = 11.0;
    state.PhaseMax = -1.0;
    state.MinInput = 0;
    state.MaxInput = 0;
    state.mflg = 0;
    state.DropFlag = 0;
    state.AgreeCount = 0;
    state.DisagreeCount = 0;
    state.InputCount.fill(0);
    state.CumScore.fill(0.0);
    state.TurnScore.fill(0.0);
    state.CumRank.fill(RankEntry{});
    state.TurnRank.fill(RankEntry{});
    for (TurnRow& row : state.TurnTable) {
        row.Gesture.fill(-1);
        row.Score.fill(0.0);
        row.Sample.fill(0);
    }
    recogniser.features.GroupCopied.fill(0);
    gesture.rv = -1.0;  // the next grid fill compares the new picture with itself
}

}  // namespace kalvento
