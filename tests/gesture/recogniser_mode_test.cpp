// The recogniser's mode: one reading of the learn target, SimilarRuns and REVIEW_MODE.

#include <gtest/gtest.h>

#include <memory>

#include "gesture/learning.h"
#include "gesture/recogniser.h"

namespace kalvento::test {
namespace {

TEST(RecogniserMode, EachLearningRunIsAModeAndRecognitionIsTheRest) {
    struct Case {
        int learnTarget, similarRuns, review;
        RecogniserMode mode;
    } cases[] = {
        {-1, 0, 0, RecogniserMode::Recognising},
        {-1, -2, 0, RecogniserMode::Recognising},  // a stray negative run count is no run
        {0, 0, 0, RecogniserMode::StandardLearning},
        {7, 0, 0, RecogniserMode::StandardLearning},
        {-1, 1, 0, RecogniserMode::SimilarLearning},
        {-1, 3, 0, RecogniserMode::SimilarLearning},
        {-1, 0, 1, RecogniserMode::Review},
        // The runs never overlap; if stored values claimed so, the earlier run wins.
        {2, 1, 1, RecogniserMode::StandardLearning},
        {-1, 1, 1, RecogniserMode::SimilarLearning},
    };
    auto recogniser = std::make_unique<Recogniser>();
    for (const Case& c : cases) {
        recogniser->learning.LearnTarget = c.learnTarget;
        recogniser->params.SimilarRuns = c.similarRuns;
        recogniser->learning.REVIEW_MODE = c.review;
        EXPECT_EQ(recogniserMode(*recogniser), c.mode)
            << c.learnTarget << " " << c.similarRuns << " " << c.review;
        EXPECT_EQ(learningRunUnderWay(*recogniser), c.mode != RecogniserMode::Recognising);
    }
    // A turn may name its learn target itself.
    recogniser->learning.LearnTarget = -1;
    recogniser->params.SimilarRuns = 0;
    recogniser->learning.REVIEW_MODE = 0;
    EXPECT_EQ(recogniserMode(*recogniser, 4), RecogniserMode::StandardLearning);
    EXPECT_EQ(recogniserMode(*recogniser, -1), RecogniserMode::Recognising);
}

}  // namespace
}  // namespace kalvento::test
