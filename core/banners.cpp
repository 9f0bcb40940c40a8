#include "core/banners.h"

#include <string>

#include "core/events.h"

namespace kalvento {

namespace {

constexpr const char* kCameraOn[] = {
    "  OOO    OOO   O     O  OOOO  OOOO    OOO            OOOOO    O     O   ",
    " O   O  O   O  OO   OO  O     O   O  O   O    OO    O     O   OO    O   ",
    " O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O     O   O  O  O   ",
    " O   O  O   O  O  O  O  O     O  O   O   O    OO    O     O   O    OO   ",
    "  OOO   O   O  O     O  OOOO  O   O  O   O           OOOOO    O     O   ",
};
constexpr const char* kCameraOff[] = {
    "  OOO    OOO   O     O  OOOO  OOOO    OOO            OOOO    OOOOO  OOOOO ",
    " O   O  O   O  OO   OO  O     O   O  O   O    OO    O    O   O      O     ",
    " O      OOOOO  O O O O  OOOO  OOOO   OOOOO          O    O   OOOO   OOOO  ",
    " O   O  O   O  O  O  O  O     O  O   O   O    OO    O    O   O      O     ",
    "  OOO   O   O  O     O  OOOO  O   O  O   O           OOOO    O      O     ",
};
constexpr const char* kPause[] = {
    " OOOO    OOO   O   O   OOOO  OOOOO  O ", " O   O  O   O  O   O  O      O      O ",
    " OOOO   OOOOO  O   O   OOO   OOOO   O ", " O      O   O  O   O      O  O        ",
    " O      O   O   OOO   OOOO   OOOOO  O ",
};
constexpr const char* kPauseOver[] = {
    "  OOO            O ", " O       OOOO    O ", " O OOOO O    O   O ",
    " O   O  O    O     ", "  OOO    OOOO    O ",
};
constexpr const char* kThankYou[] = {
    "OOOOO  O   O   OOO   O   O  O   O     O   O   OOO   O   O   O",
    "  O    O   O  O   O  OO  O  O  O       O O   O   O  O   O   O",
    "  O    OOOOO  OOOOO  O O O  OOO         O    O   O  O   O   O",
    "  O    O   O  O   O  O  OO  O  O        O    O   O  O   O    ",
    "  O    O   O  O   O  O   O  O   O       O     OOO    OOO    O",
};
constexpr const char* kDigit1[] = {
    "      OO     ", "    OOOO     ", "   OO OO     ", "      OO     ",
    "      OO     ", "      OO     ", "      OO     ", "   OOOOOOOO  ",
};
constexpr const char* kDigit2[] = {
    "   OOOOOO    ", "  OO    OO   ", "        OO   ", "       OO    ",
    "     OO      ", "   OO        ", "  OO         ", "  OOOOOOOO   ",
};
constexpr const char* kDigit3[] = {
    "   OOOOOO    ", "  OO    OO   ", "        OO   ", "    OOOOO    ",
    "        OO   ", "        OO   ", "  OO    OO   ", "   OOOOOO    ",
};
constexpr const char* kDigit4[] = {
    "      OOO    ", "     O OO    ", "    O  OO    ", "   O   OO    ",
    "  O    OO    ", "  OOOOOOOOO  ", "       OO    ", "       OO    ",
};
constexpr const char* kDigit5[] = {
    "  OOOOOOOO   ", "  OO         ", "  OO         ", "  OOOOOOO    ",
    "        OO   ", "        OO   ", "  OO    OO   ", "   OOOOOO    ",
};
constexpr const char* kStop[] = {
    "   OOOOO    OOOOOOOO    OOOOO    OOOOOO   ", "  OO   OO      OO      OO   OO   OO   OO  ",
    "  OO           OO      OO   OO   OO   OO  ", "   OOOOO       OO      OO   OO   OOOOOO   ",
    "       OO      OO      OO   OO   OO       ", "  OO   OO      OO      OO   OO   OO       ",
    "   OOOOO       OO       OOOOO    OO       ",
};
constexpr const char* kGo[] = {
    "   OOOOO                OO  ", "  OO   OO               OO  ", "  OO          OOOOO     OO  ",
    "  OO  OOOO   OO   OO    OO  ", "  OO    OO   OO   OO    OO  ", "  OO    OO   OO   OO        ",
    "   OOOOOO     OOOOO     OO  ",
};
constexpr const char* kGoGo[] = {
    "   OOOOO                OO   OO  ", "  OO   OO               OO   OO  ",
    "  OO          OOOOO     OO   OO  ", "  OO  OOOO   OO   OO    OO   OO  ",
    "  OO    OO   OO   OO    OO   OO  ", "  OO    OO   OO   OO             ",
    "   OOOOOO     OOOOO     OO   OO  ",
};
constexpr const char* kFinished[] = {
    "  OOOOOOO  OOOOOO  OO   OO  OOOOOO   OOOOO   OO   OO  OOOOOOO  OOOOOO   OO  ",
    "  OO         OO    OOO  OO    OO    OO   OO  OO   OO  OO       OO   OO  OO  ",
    "  OO         OO    OOOO OO    OO    OO       OO   OO  OO       OO   OO  OO  ",
    "  OOOOOO     OO    OO OOOO    OO     OOOOO   OOOOOOO  OOOOOO   OO   OO  OO  ",
    "  OO         OO    OO  OOO    OO         OO  OO   OO  OO       OO   OO  OO  ",
    "  OO         OO    OO   OO    OO    OO   OO  OO   OO  OO       OO   OO      ",
    "  OO       OOOOOO  OO   OO  OOOOOO   OOOOO   OO   OO  OOOOOOO  OOOOOO   OO  ",
};
constexpr const char* kStartSetting[] = {
    "  OOOO OOOOO  OOO  OOOO  OOOOO    OOOO OOOOO OOOOO OOOOO OOOOO O   O  OOO   O ",
    " O       O   O   O O   O   O     O     O       O     O     O   OO  O O      O ",
    "  OOO    O   OOOOO OOOO    O      OOO  OOOO    O     O     O   O O O O  OO  O ",
    "     O   O   O   O O  O    O         O O       O     O     O   O  OO O   O    ",
    " OOOO    O   O   O O   O   O     OOOO  OOOOO   O     O   OOOOO O   O  OOO   O ",
};

constexpr BannerArt kBanners[] = {
    {Banner::CameraOn, "CAMERA: ON", kCameraOn},
    {Banner::CameraOff, "CAMERA: OFF", kCameraOff},
    {Banner::Pause, "PAUSE!", kPause},
    {Banner::PauseOver, "Go!", kPauseOver},
    {Banner::ThankYou, "THANK YOU!", kThankYou},
    {Banner::Digit1, "1", kDigit1},
    {Banner::Digit2, "2", kDigit2},
    {Banner::Digit3, "3", kDigit3},
    {Banner::Digit4, "4", kDigit4},
    {Banner::Digit5, "5", kDigit5},
    {Banner::Stop, "STOP", kStop},
    {Banner::Go, "Go!", kGo},
    {Banner::GoGo, "Go!!", kGoGo},
    {Banner::Finished, "FINISHED!", kFinished},
    {Banner::StartSetting, "START SETTING!", kStartSetting},
};

}  // namespace

const BannerArt& bannerArt(Banner banner) {
    for (const BannerArt& art : kBanners)
        if (art.banner == banner) return art;
    return kBanners[0];  // every Banner has its row above
}

void printBanner(Events& events, Banner banner, int indent) {
    events.banner(banner, indent);
}

void printCountdownDigit(Events& events, int digit) {
    constexpr Banner kDigits[] = {Banner::Digit1, Banner::Digit2, Banner::Digit3, Banner::Digit4,
                                  Banner::Digit5};
    if (digit >= 1 && digit <= 5) printBanner(events, kDigits[digit - 1]);
}

}  // namespace kalvento
