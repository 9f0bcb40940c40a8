#pragma once
// The block-letter banners the player prints on the console (the camera switched, the pause,
// the learning and calibration countdowns, the farewell), in one table. Each banner also has
// its words, which the on-screen display draws in big letters when the banner is printed.

#include <span>

#include "platform/console.h"

namespace kalvento {

enum class Banner {
    CameraOn,
    CameraOff,
    Pause,
    PauseOver,  // the small Go! when the pause ends
    ThankYou,
    Digit1,
    Digit2,
    Digit3,
    Digit4,
    Digit5,
    Stop,
    Go,
    GoGo,  // the countdown of a similar learning is over
    Finished,
    StartSetting,
};

struct BannerArt {
    Banner banner;
    const char* words;  // what the banner says, for the on-screen display
    std::span<const char* const> rows;
};

const BannerArt& bannerArt(Banner banner);

// Prints the banner's rows, each after `indent` spaces and followed by a line end, and has the
// on-screen display show its words.
void printBanner(Console& console, Banner banner, int indent = 0);

// The countdown digit 1 .. 5; other digits print nothing.
void printCountdownDigit(Console& console, int digit);

}  // namespace kalvento
