#include "gesture/start_values.h"

#include <algorithm>
#include <cstdio>

#include "gesture/features.h"
#include "gesture/recognition_reset.h"
#include "gesture/view_weights.h"

namespace kalvento {

void setRecogniserStartValues(Recogniser& recogniser, GestureState& gesture) {
    KbParameters& params = recogniser.params;
    params.NEROI = kViewPoints;
    params.SKIP = 1.0;
    params.RSKIP = 1.0;
    FeatureState& features = recogniser.features;
    buildDirectionTables(features, params.SKIP);
    buildEdgeWeights(features);
    ViewWeightState& weights = recogniser.weights;
    buildKernelSum(weights, params.OK_HIGH);

    KnowledgeBase& kb = recogniser.kb;
    for (auto& row : kb.SampleCount) row.fill(-1);
    for (int g = 0; g < kGestures; ++g) {
        GestureLabel& label = kb.labels[static_cast<size_t>(g)];
        std::fill(std::begin(label.name), std::end(label.name), '\0');
        std::snprintf(label.name, sizeof label.name, "%c", 'A' + g);
        label.index = g;
    }
    std::fill(kb.LearnProtocol.begin(), kb.LearnProtocol.end(), ProtocolEntry{});
    for (auto& row : weights.ViewWeight) row.fill(1.0);
    weights.SavedViewWeight = weights.ViewWeight;
    for (auto& row : weights.ViewUsable) row.fill(0);
    std::fill(weights.ProtocolMap.begin(), weights.ProtocolMap.end(), 0.0);

    resetRecognition(recogniser, gesture);
    clearOutputs(recogniser.outputs);
}

}  // namespace kalvento
