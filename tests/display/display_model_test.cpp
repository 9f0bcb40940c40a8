// The display's model on its own, with times given by the test: when each piece ends and
// when the look next changes, no stale Go!, F1's level banner, the help page's language and
// pages, and PAUSE! until a key.

#include <gtest/gtest.h>

#include "display/display_model.h"

namespace kalvento::test {
namespace {

std::string bannerAt(DisplayModel& model, int64_t now) {
    model.advance(now);
    const Scene scene = model.scene(now);
    return scene.banner ? scene.banner->words : "";
}

TEST(DisplayModel, EveryPieceEndsInTimeAndSaysWhenTheLookChanges) {
    DisplayModel model(1, HelpLanguage::English);
    model.banner(Banner::CameraOff, 0);
    model.error("ERROR: one\nERROR: two\n", 0);
    EXPECT_EQ(model.nextChange(0), DisplayModel::kBannerMicros - DisplayModel::kFadeMicros)
        << "the banner starts to fade first";
    // Follow the changes as the window does, never missing one.
    int64_t now = 0;
    int changes = 0;
    while (now >= 0 && changes < 1000) {
        model.advance(now);
        now = model.nextChange(now);
        ++changes;
    }
    EXPECT_EQ(changes, 2 * (DisplayModel::kFadeSteps + 1) + 1) << "two fades, each in steps";
    const int64_t notices = DisplayModel::kNoticeMicros;
    EXPECT_FALSE(model.anything()) << "nothing left after " << notices << " us";
    EXPECT_EQ(bannerAt(model, DisplayModel::kBannerMicros), "");
    EXPECT_EQ(model.scene(notices).bottom.size(), 0u);
}

TEST(DisplayModel, NoStaleGoAfterACancelledRunAndPausesSayPlay) {
    DisplayModel model(1, HelpLanguage::English);
    model.caption("Learning gesture A (standard)");
    model.banner(Banner::Digit1, 0);
    model.banner(Banner::Go, 100000);  // held back behind the young 1
    EXPECT_EQ(model.microsUntilHeldBanner(100000), DisplayModel::kBannerHoldMicros - 100000);
    model.caption("");  // the run is cancelled
    EXPECT_EQ(model.microsUntilHeldBanner(100000), -1);
    EXPECT_EQ(bannerAt(model, 500000), "1") << "the held Go! went with the run";
    model.banner(Banner::Pause, 600000);
    EXPECT_EQ(bannerAt(model, 60000000), "PAUSE!") << "until a key";
    EXPECT_TRUE(model.keyRead());
    model.banner(Banner::PauseOver, 60000000);
    EXPECT_EQ(bannerAt(model, 60000000), "PLAY") << "the end of a pause is no Go!";
    EXPECT_EQ(bannerAt(model, 60000000 + DisplayModel::kBannerMicros), "");
}

TEST(DisplayModel, F1NamesTheNewLevelForAMoment) {
    DisplayModel model(1, HelpLanguage::English);
    model.cycleLevel(0);
    EXPECT_EQ(model.level(), 2);
    EXPECT_EQ(bannerAt(model, 0), "OSD level 2");
    EXPECT_EQ(bannerAt(model, DisplayModel::kLevelBannerMicros), "");
    model.setLevel(3, 0);
    model.cycleLevel(0);
    EXPECT_EQ(model.level(), 0) << "3 wraps round to 0";
    EXPECT_FALSE(model.anything()) << "level 0 shows nothing, not even its name";
}

TEST(DisplayModel, TheWebRemoteLinksShowUnderTheStatusAtLevelThreeOnly) {
    DisplayModel model(2, HelpLanguage::English);
    model.status("[S1] status");
    model.links({"http://192.168.1.20:8081/?token=abc", "http://10.0.0.5:8081/?token=abc"});
    EXPECT_TRUE(model.scene(0).top.empty()) << "level 2 shows neither";
    model.setLevel(3, 0);
    std::vector<std::string> top;
    for (const ShownLine& line : model.scene(0).top) top.push_back(line.text);
    EXPECT_EQ(top, (std::vector<std::string>{"[S1] status", "http://192.168.1.20:8081/?token=abc",
                                             "http://10.0.0.5:8081/?token=abc"}));
}

TEST(DisplayModel, TheHelpPageIsInItsLanguageAndTurnsItsPages) {
    const std::vector<std::string> japanese{"[ESC]　一時停止"};
    std::vector<std::string> english;
    for (int i = 0; i < 40; ++i) english.push_back("line " + std::to_string(i));
    DisplayModel model(1, HelpLanguage::English);
    model.helpPage(japanese, english, 0);
    Scene scene = model.scene(0);
    EXPECT_EQ(scene.helpPages, 3);
    EXPECT_EQ(scene.helpPageNumber, 1);
    EXPECT_EQ(scene.helpPage.front(), "line 0");
    EXPECT_EQ(scene.helpPage.size(), DisplayModel::kHelpLinesPerPage);
    EXPECT_EQ(model.nextChange(0), DisplayModel::kHelpPageMicros);
    scene = model.scene(2 * DisplayModel::kHelpPageMicros);
    EXPECT_EQ(scene.helpPageNumber, 3);
    EXPECT_EQ(scene.helpPage.front(), "line 32");
    EXPECT_EQ(model.scene(3 * DisplayModel::kHelpPageMicros).helpPageNumber, 1) << "round again";
    EXPECT_TRUE(model.keyRead());
    EXPECT_EQ(model.scene(0).helpPages, 0) << "a key ends it";

    DisplayModel japaneseModel(1, HelpLanguage::Japanese);
    japaneseModel.helpPage(japanese, english, 0);
    EXPECT_EQ(japaneseModel.scene(0).helpPage, japanese);
    EXPECT_EQ(japaneseModel.nextChange(0), -1) << "one page stays as it is";
}

}  // namespace
}  // namespace kalvento::test
