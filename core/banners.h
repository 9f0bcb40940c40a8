#pragma once
// The block-letter banners the player prints on the console (the camera switched, the pause,
// the learning and calibration countdowns, the farewell), in one table. Each banner also has
// its words, which the on-screen display draws in big letters when the banner is printed.

#include <span>

#include "core/event_listener.h"

namespace kalvento {

class Events;

struct BannerArt {
    Banner banner;
    const char* words;  // what the banner says, for the on-screen display
    std::span<const char* const> rows;
};

const BannerArt& bannerArt(Banner banner);

// Prints the banner's rows, each after `indent` spaces and followed by a line end, and tells
// the listeners of `events` (the on-screen display shows its words).
void printBanner(Events& events, Banner banner, int indent = 0);

// The countdown digit 1 .. 5; other digits print nothing.
void printCountdownDigit(Events& events, int digit);

}  // namespace kalvento
