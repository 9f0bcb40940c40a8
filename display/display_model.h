#pragma once
// What the on-screen display shows and for how long, apart from any drawing: the banner and
// the one held back behind it, notices and errors, messages, the gesture lines, gauge and
// position bar, the caption, status and prompt, the help page and its pages, the question,
// and the level. Times come from the caller, so a test moves them as it likes.
//
// Levels: 0 nothing; 1 banners (a key's new setting among them) with what the keys do under
// PAUSE! and FINISHED!, what a run does, notices and errors, questions, the help page, the
// gauge, gesture lines and position bar, the sign of a missing camera, and a banner naming a
// new level; 2 also every console message for a few seconds, fading; 3 also the per-turn
// status line and the prompt. In English the display leaves out every line written in
// Japanese (the console keeps them); the keys' settings have English words of their own.

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/event_listener.h"

namespace kalvento {

inline constexpr int kDisplayLevels = 4;  // 0 .. 3
inline constexpr int kDefaultDisplayLevel = 1;

enum class HelpLanguage { Japanese, English };

// A banner as the display shows it: its words and how it is coloured.
struct BannerShown {
    enum class Colour { Plain, Stop, Go };
    std::string words;
    Colour colour = Colour::Plain;
};

// A line of text and how strongly it shows (1: fully, fading towards 0).
struct ShownLine {
    std::string text;
    double strength = 1.0;
};

// Everything the display shows at one moment.
struct Scene {
    int level = 0;
    std::optional<BannerShown> banner;
    double bannerStrength = 0.0;
    std::string caption;
    ShownLine hint;    // under the banner: what the keys do now ("ENTER resumes, ESC quits")
    std::string sign;  // a small lasting sign in a corner ("NO CAMERA  retries: 3")
    std::vector<ShownLine> top;     // prompt and status (level 3), gesture lines
    std::vector<ShownLine> bottom;  // notices, errors and (level 2) messages, newest last
    std::optional<GaugeReading> gauge;
    double gaugeStrength = 0.0;
    std::optional<double> position;  // share of the clips passed
    double positionStrength = 0.0;
    std::vector<std::string> helpPage;  // the lines of the page shown now
    int helpPageNumber = 0;             // 1-based, with helpPages pages in all
    int helpPages = 0;
    std::optional<std::string> question;  // prompt, the typed text and a cursor
};

class DisplayModel {
public:
    DisplayModel(int level, HelpLanguage language);

    // How long a piece stays, and the last part of it in which it fades out.
    static constexpr int64_t kMessageMicros = 4000000;
    static constexpr int64_t kNoticeMicros = 8000000;
    static constexpr int64_t kBannerMicros = 2500000;
    static constexpr int64_t kMotionMicros = 2000000;
    static constexpr int64_t kLevelBannerMicros = 1500000;
    static constexpr int64_t kFadeMicros = 1000000;
    // A banner stays at least this long before a different one takes its place, so that one
    // followed at once by another (Go! and the next countdown) can still be read; the newer
    // waits meanwhile (shorter than a countdown step of 600 ms, so no digit is lost). A banner
    // repeated every turn (STOP) counts from when it first showed.
    static constexpr int64_t kBannerHoldMicros = 400000;
    // A help page turns to the next after this long.
    static constexpr int64_t kHelpPageMicros = 12000000;
    // Fading goes in this many steps, so a fading piece is drawn a bounded number of times.
    static constexpr int kFadeSteps = 32;
    static constexpr size_t kMessageLines = 8;
    static constexpr size_t kMotionLines = 3;
    static constexpr size_t kHelpLinesPerPage = 16;

    void message(std::string_view text, int64_t now);
    void error(std::string_view text, int64_t now);
    void notice(std::string_view text, int64_t now);
    void banner(Banner banner, int64_t now);
    // A key's new setting, as a banner in the display's language.
    void setting(const SettingChange& change, int64_t now);
    void cameraMissing(const CameraMissing* missing);
    void caption(std::string_view text);
    void status(std::string_view text);
    void prompt(std::string_view text);
    // The web remote's links, shown under the status at level 3.
    void links(const std::vector<std::string>& links);
    void gauge(const GaugeReading& reading, int64_t now);
    void gesture(std::string_view text, int64_t now);
    void position(double share, int64_t now);
    void helpPage(const std::vector<std::string>& japanese,
                  const std::vector<std::string>& english, int64_t now);
    void question(const QuestionShown* question);
    // A key the player read: the help page and the PAUSE! banner end with it. True when the
    // display changed.
    bool keyRead();
    // Sets the level and shows it for a moment.
    void setLevel(int level, int64_t now);
    void cycleLevel(int64_t now) { setLevel((level_ + 1) % kDisplayLevels, now); }
    int level() const { return level_; }

    // Moves time on to `now`: pieces whose time is up go, a held banner due shows.
    void advance(int64_t now);
    Scene scene(int64_t now) const;
    // True when there is anything to show at `now`.
    bool anything() const;
    // When the look of the display next changes by time alone (a fade step, a piece ending, a
    // held banner or the next help page due): a time after `now`, or -1 when nothing changes.
    int64_t nextChange(int64_t now) const;
    // Counts the changes made by events; the display is drawn again when it moved.
    uint64_t version() const { return version_; }
    // Micros until a banner held back behind a younger one is due, or -1 when none waits.
    int64_t microsUntilHeldBanner(int64_t now) const;

private:
    struct Timed {
        std::string text;
        int64_t since = 0;
        int64_t life = 0;  // micros it stays; 0 for ever
    };
    struct BannerEntry {
        BannerShown shown;
        int64_t since = 0;
        int64_t life = 0;
    };
    void showBanner(BannerEntry entry, bool untilKey, int64_t now);
    void showHintOf(Banner banner, int64_t now);
    // False for a line the display leaves out in its language.
    bool speaks(std::string_view text) const;
    void addLines(std::deque<Timed>& to, std::string_view text, int64_t now, int64_t life);
    static double strength(int64_t since, int64_t life, int64_t now);
    static int64_t nextStepOf(int64_t since, int64_t life, int64_t now);
    const std::vector<std::string>& pageLines() const;

    int level_;
    HelpLanguage language_;
    uint64_t version_ = 0;
    std::optional<BannerEntry> banner_;
    bool bannerUntilKey_ = false;
    int64_t bannerShownAt_ = 0;
    std::optional<BannerEntry> heldBanner_;  // waits until banner_ has been up kBannerHoldMicros
    std::string caption_;
    std::optional<Timed> hint_;  // life 0: until the next key
    std::optional<CameraMissing> cameraMissing_;
    std::deque<Timed> notices_;   // notices and errors, level 1
    std::deque<Timed> messages_;  // level 2
    std::deque<Timed> motion_;    // gesture lines, level 1
    std::optional<GaugeReading> gauge_;
    int64_t gaugeSince_ = 0;
    std::optional<double> position_;
    int64_t positionSince_ = 0;
    std::string status_;  // level 3
    std::vector<std::string> links_;  // level 3
    std::string prompt_;
    std::vector<std::string> japaneseHelp_, englishHelp_;
    bool helpShown_ = false;
    int64_t helpSince_ = 0;
    std::optional<QuestionShown> question_;
};

// The words and colour the display gives a banner.
BannerShown bannerShownOf(Banner banner);

// True when `text` holds a Japanese character (kana, kanji, their punctuation and full-width
// forms), which an English display does not show.
bool holdsJapanese(std::string_view text);

// The sign of a missing camera.
std::string cameraSignOf(const CameraMissing& missing);

}  // namespace kalvento
