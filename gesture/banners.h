#pragma once
// The block-letter artwork of the learning runs and the threshold calibration, drawn with the
// letter O on the console.

#include "platform/console.h"

namespace kalvento {

// The countdown digit 1 .. 5 in eight lines; other digits print nothing.
void printCountdownDigit(Console& console, int digit);
// STOP in seven lines: the quiet phase saw motion.
void printStopBanner(Console& console);
// Go! in seven lines: the countdown is over.
void printGoBanner(Console& console);
// Go!! in seven lines: the countdown of a similar learning is over.
void printGoGoBanner(Console& console);
// FINISHED! in seven lines: every gesture is learned, or the knowledge base was written.
void printFinishedBanner(Console& console);
// START SETTING! in five lines: the threshold calibration begins.
void printStartSettingBanner(Console& console);

}  // namespace kalvento
