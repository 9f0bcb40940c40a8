#pragma once
// The learning runs that fill the knowledge base: the standard motion of a gesture (every
// motion turn becomes one sample per view point), the similar motion (matched turn by turn into
// the learning protocol, its grids kept), the review of the kept grids (which sets the
// gesture's levels), and the automatic driver that chains them over the gestures.

#include "core/state.h"
#include "gesture/recogniser.h"
#include "gesture/recogniser_host.h"
#include "gesture/recogniser_turn.h"

namespace kalvento {

// Starts the standard learning of gesture g (0 .. 7): direction tables and view-point
// selection for a fresh run, every gesture's weights and learning protocol cleared, g's
// samples deleted and its levels reset, then bell, countdown, quiet phase, one more step and
// the Go! banner. Only g's MotionLength is cleared: the other gestures keep theirs with their
// samples. The caller sets the learn target to g.
void startStandardLearning(State& state, Recogniser& recogniser, RecogniserHost& host, int g);

// Starts the similar learning of gesture pos_num: SimilarRuns 1 after the same preparation of
// the tables, then bell, countdown, quiet phase, one more step and the Go!! banner.
void startSimilarLearning(State& state, Recogniser& recogniser, RecogniserHost& host);

// Grid keeping of a similar motion, called before the grid of a turn is filled: when the
// previous turn had changed cells and fewer than nine grids are kept, its grid is kept for
// the review (and the slot after it cleared). Keeps at most 9 grids.
void keepPreviousGrid(LearningState& learning, const GestureState& gesture);

// Starts the review at the first kept grid (REVIEW_MODE 1).
void startReview(LearningState& learning);

// The review step of a recogniser turn: the kept grid the turn replays, or nullptr when the
// review has ended (the levels of gesture pos_num are then set from the review sums and the
// recognition state is reset) and the turn takes the live camera picture.
const CellGrid* reviewGrid(RecogniserTurn& turn);

// The automatic learning driver, run at the end of every main-loop turn: starts the next
// standard learning (setting the learn target), the next similar learning, or ends with the
// FINISHED! banner. Nothing while a similar run or review is under way or AutoLearn is 0.
void runLearningDriver(State& state, Recogniser& recogniser, RecogniserHost& host);

// True while a learning run waits for its motion or the review replays its grids: such turns
// end after the recogniser (no display, no key stage).
bool learningRunUnderWay(const Recogniser& recogniser);

// Cancels every learning run: AutoLearn 0, learn target -1, no similar run or review left;
// what an unfinished motion stored is deleted (the standard motion's samples, the similar
// motion's protocol slots) and the recognition state is reset.
void cancelLearning(Recogniser& recogniser, GestureState& gesture);

}  // namespace kalvento
