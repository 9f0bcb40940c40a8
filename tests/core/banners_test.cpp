// The banner table: every banner has its rows and words, printing gives the rows (indented as
// asked) and hands the words to a display without printing them.

#include <gtest/gtest.h>

#include <algorithm>

#include "core/banners.h"
#include "core/events.h"

namespace kalvento::test {
namespace {

// Keeps what is printed and the banners told apart.
class KindConsole final : public Console, public EventListener {
public:
    KindConsole() { events.listen(this); }
    void out(std::string_view text) override {
        printed += text;
        rows += static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    }
    void err(std::string_view) override {}
    std::optional<std::string> readLine() override { return std::nullopt; }
    void banner(Banner banner) override { words += std::string(bannerArt(banner).words) + "|"; }
    operator Events&() { return events; }
    Events events{*this};
    std::string printed, words;
    int rows = 0;
};

TEST(Banners, EveryBannerPrintsItsRowsAndShowsItsWords) {
    const struct {
        Banner banner;
        const char* words;
        size_t rows;
    } table[] = {
        {Banner::CameraOn, "CAMERA: ON", 5},
        {Banner::CameraOff, "CAMERA: OFF", 5},
        {Banner::Pause, "PAUSE!", 5},
        {Banner::PauseOver, "Go!", 5},
        {Banner::ThankYou, "THANK YOU!", 5},
        {Banner::Digit1, "1", 8},
        {Banner::Digit5, "5", 8},
        {Banner::Stop, "STOP", 7},
        {Banner::Go, "Go!", 7},
        {Banner::GoGo, "Go!!", 7},
        {Banner::Finished, "FINISHED!", 7},
        {Banner::StartSetting, "START SETTING!", 5},
    };
    for (const auto& row : table) {
        KindConsole console;
        printBanner(console, row.banner);
        EXPECT_EQ(console.words, std::string(row.words) + "|");
        EXPECT_EQ(static_cast<size_t>(console.rows), row.rows) << row.words;
        EXPECT_EQ(std::count(console.printed.begin(), console.printed.end(), '\n'),
                  static_cast<long>(row.rows));
        EXPECT_EQ(console.printed.find(row.words), std::string::npos) << "words are not printed";
        EXPECT_EQ(bannerArt(row.banner).rows.size(), row.rows);
    }
}

TEST(Banners, TheIndentedCameraBannerIsTheSameArt) {
    KindConsole plain, indented;
    printBanner(plain, Banner::CameraOn);
    printBanner(indented, Banner::CameraOn, 4);
    EXPECT_EQ(indented.printed.substr(0, 12), "      OOO   ");
    std::string expected;
    for (const char* row : bannerArt(Banner::CameraOn).rows)
        expected += "    " + std::string(row) + "\n";
    EXPECT_EQ(indented.printed, expected);
    EXPECT_EQ(plain.printed.substr(0, 8), "  OOO   ");
}

TEST(Banners, CountdownDigitsOneToFiveOnly) {
    for (int digit : {0, 6, -1}) {
        KindConsole console;
        printCountdownDigit(console, digit);
        EXPECT_EQ(console.printed, "") << digit;
    }
    KindConsole three;
    printCountdownDigit(three, 3);
    EXPECT_EQ(three.words, "3|");
    EXPECT_EQ(three.printed.substr(0, 14), "   OOOOOO    \n");
}

}  // namespace
}  // namespace kalvento::test
