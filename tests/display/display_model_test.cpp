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

TEST(DisplayModel, TheGaugeAndBarStayWhileReadingsComeAlsoUnchangedOnes) {
    DisplayModel model(1, HelpLanguage::English);
    const GaugeReading still{0, 40, {}, 0, 500};  // nobody moves: a motion of 0
    model.gauge(still, 0);
    model.position(0.0, 0);
    ASSERT_TRUE(model.scene(0).gauge) << "a reading of zero shows";
    EXPECT_EQ(model.scene(0).gauge->motion, 0);
    EXPECT_TRUE(model.scene(0).position);
    const uint64_t drawn = model.version();
    // A reading every 20 ms for 10 s, all the same: the gauge stays and nothing is drawn again.
    int64_t now = 0;
    for (; now <= 10000000; now += 20000) {
        model.gauge(still, now);
        model.position(0.0, now);
        model.advance(now);
        ASSERT_TRUE(model.scene(now).gauge) << "gone at " << now << " us";
        ASSERT_EQ(model.scene(now).gaugeStrength, 1.0) << "fading at " << now << " us";
        ASSERT_TRUE(model.scene(now).position);
    }
    EXPECT_EQ(model.version(), drawn) << "unchanged readings draw nothing again";
    model.gauge(GaugeReading{0, 40, {}, 12, 500}, now);
    EXPECT_GT(model.version(), drawn) << "a changed reading is drawn";
    // The last reading keeps them for kMotionMicros, no longer.
    const int64_t last = now;
    model.advance(last + DisplayModel::kMotionMicros - 1);
    EXPECT_TRUE(model.scene(last + DisplayModel::kMotionMicros - 1).gauge);
    model.advance(last + DisplayModel::kMotionMicros);
    EXPECT_FALSE(model.scene(last + DisplayModel::kMotionMicros).gauge);
    EXPECT_FALSE(model.scene(last + DisplayModel::kMotionMicros).position);
}

TEST(DisplayModel, AKeysSettingIsABannerInTheDisplaysLanguage) {
    const SettingChange threshold{"motion threshold 36670", "QBN_threshold = 36670"};
    for (const auto& [language, words] :
         {std::pair{HelpLanguage::English, "motion threshold 36670"},
          std::pair{HelpLanguage::Japanese, "QBN_threshold = 36670"}}) {
        DisplayModel model(1, language);
        model.setting(threshold, 0);
        EXPECT_EQ(bannerAt(model, 0), words) << "at the default level";
        EXPECT_EQ(bannerAt(model, DisplayModel::kBannerMicros - 1), words);
        EXPECT_EQ(bannerAt(model, DisplayModel::kBannerMicros), "") << "it goes like a banner";
    }
    DisplayModel model(1, HelpLanguage::English);
    model.banner(Banner::CameraOn, 0);
    model.setting({"walker mode on", "WalkerMode = オン"}, 100000);
    EXPECT_EQ(bannerAt(model, 100000), "CAMERA: ON") << "a young banner is read first";
    EXPECT_EQ(bannerAt(model, DisplayModel::kBannerHoldMicros), "walker mode on");
    model.setting({"walker mode off", "WalkerMode = オフ"}, 2000000);
    EXPECT_EQ(bannerAt(model, 2000000), "walker mode off") << "a key pressed again replaces it";
    DisplayModel off(0, HelpLanguage::English);
    off.setting(threshold, 0);
    EXPECT_FALSE(off.anything()) << "level 0 shows nothing";
}

TEST(DisplayModel, AMissingCameraKeepsItsSignUntilItIsBack) {
    DisplayModel model(1, HelpLanguage::Japanese);
    const CameraMissing never{3, true};
    model.cameraMissing(&never);
    EXPECT_EQ(model.scene(0).sign, "NO CAMERA (never opened)  retries: 3");
    EXPECT_EQ(model.nextChange(0), -1) << "it lasts: no time ends it";
    model.advance(3600000000);
    EXPECT_EQ(model.scene(3600000000).sign, "NO CAMERA (never opened)  retries: 3");
    const uint64_t version = model.version();
    model.cameraMissing(&never);
    EXPECT_EQ(model.version(), version) << "told again, unchanged: nothing to draw";
    const CameraMissing lost{0, false};
    model.cameraMissing(&lost);
    EXPECT_EQ(model.scene(0).sign, "NO CAMERA  retries: 0");
    for (int level : {2, 3}) {
        model.setLevel(level, 0);
        EXPECT_FALSE(model.scene(0).sign.empty()) << "level " << level;
    }
    model.setLevel(0, 0);
    EXPECT_TRUE(model.scene(0).sign.empty()) << "level 0 shows nothing";
    model.setLevel(1, 0);
    model.cameraMissing(nullptr);
    EXPECT_TRUE(model.scene(0).sign.empty()) << "the camera is back";
}

TEST(DisplayModel, PauseAndFinishedSayWhatTheKeysDo) {
    DisplayModel model(1, HelpLanguage::English);
    model.banner(Banner::Pause, 0);
    EXPECT_EQ(model.scene(0).hint.text, "ENTER resumes, ESC quits");
    EXPECT_EQ(model.scene(600000000).hint.text, "ENTER resumes, ESC quits") << "until a key";
    EXPECT_TRUE(model.keyRead());
    EXPECT_EQ(model.scene(0).hint.text, "");
    model.banner(Banner::Finished, 0);
    EXPECT_EQ(model.scene(0).hint.text, "W saves the learned gestures; ESC ESC ends");
    model.advance(DisplayModel::kNoticeMicros);
    EXPECT_EQ(model.scene(DisplayModel::kNoticeMicros).hint.text, "") << "as long as a notice";
    DisplayModel japanese(1, HelpLanguage::Japanese);
    japanese.banner(Banner::Pause, 0);
    EXPECT_EQ(japanese.scene(0).hint.text, "ENTER で再開、ESC で終了");
}

TEST(DisplayModel, AnEnglishDisplayLeavesOutLinesWrittenInJapanese) {
    const char* confirmation = "S001:(00040)> （変数設定： WalkerMode = [ オン ]）\n";
    const char* english = "KEY FUNCTION : [w][ Toggle WalkerMode ]\n";
    DisplayModel model(2, HelpLanguage::English);
    model.message(confirmation, 0);
    model.message(english, 0);
    model.notice("*** The video /tmp/Müller kamera.avi stands in for the camera. ***", 1);
    model.caption("ジェスチャー");
    std::vector<std::string> shown;
    for (const ShownLine& line : model.scene(1).bottom) shown.push_back(line.text);
    EXPECT_EQ(shown, (std::vector<std::string>{
                         "KEY FUNCTION : [w][ Toggle WalkerMode ]",
                         "*** The video /tmp/Müller kamera.avi stands in for the camera. ***"}))
        << "Latin letters beyond ASCII are English enough";
    EXPECT_EQ(model.scene(0).caption, "");
    DisplayModel japanese(2, HelpLanguage::Japanese);
    japanese.message(confirmation, 0);
    EXPECT_EQ(japanese.scene(0).bottom.size(), 1u) << "the Japanese display shows it";

    EXPECT_TRUE(holdsJapanese("横モード"));
    EXPECT_TRUE(holdsJapanese("（"));
    EXPECT_TRUE(holdsJapanese("余裕率"));
    EXPECT_FALSE(holdsJapanese("→ × é ü ß naïve"));
    EXPECT_FALSE(holdsJapanese("\xE3\x81"));  // a sequence cut short is no character
}

}  // namespace
}  // namespace kalvento::test
