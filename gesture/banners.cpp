#include "gesture/banners.h"

#include <span>

namespace kalvento {

namespace {

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

void printLines(Console& console, std::span<const char* const> lines) {
    for (const char* line : lines) console.print("%s\n", line);
}

}  // namespace

void printCountdownDigit(Console& console, int digit) {
    switch (digit) {
        case 1:
            printLines(console, kDigit1);
            break;
        case 2:
            printLines(console, kDigit2);
            break;
        case 3:
            printLines(console, kDigit3);
            break;
        case 4:
            printLines(console, kDigit4);
            break;
        case 5:
            printLines(console, kDigit5);
            break;
        default:
            break;
    }
}

void printStopBanner(Console& console) {
    printLines(console, kStop);
}
void printGoBanner(Console& console) {
    printLines(console, kGo);
}
void printGoGoBanner(Console& console) {
    printLines(console, kGoGo);
}

void printFinishedBanner(Console& console) {
    printLines(console, kFinished);
}

void printStartSettingBanner(Console& console) {
    printLines(console, kStartSetting);
}

}  // namespace kalvento
