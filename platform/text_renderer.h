#pragma once
// Text drawn as pictures for the on-screen display: lines of UTF-8 rendered with a TrueType
// font (FreeType) into coverage masks, each rendered once per text and size and kept. Every
// glyph is drawn whole, also where it reaches below the font's descent (an underscore).

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>

#include <opencv2/core.hpp>

namespace kalvento {

// A font file with Japanese and Latin glyphs, found through fontconfig (a sans-serif face for
// the Japanese language); nullopt with the reason in `error` when there is none.
std::optional<std::string> findDisplayFont(std::string& error);

class TextRenderer {
public:
    // Opens `fontFile`; null with the reason in `error` when it cannot.
    static std::unique_ptr<TextRenderer> open(const std::string& fontFile, std::string& error);
    ~TextRenderer();
    TextRenderer(const TextRenderer&) = delete;
    TextRenderer& operator=(const TextRenderer&) = delete;

    // The coverage mask (8-bit, 255 = ink) of one line of text whose letters are `pixels`
    // high; empty for an empty text. The mask is kept: the same text at the same size is
    // rendered only once, until more than kKeptLines different lines were asked for.
    const cv::Mat& line(const std::string& text, int pixels);
    // The width in pixels `text` takes at `pixels` high, measured without rendering.
    int width(const std::string& text, int pixels);

    // How many lines were rendered (not taken from those kept) since the start.
    int64_t renderCount() const { return renders_; }

    static constexpr size_t kKeptLines = 512;

private:
    struct Impl;
    explicit TextRenderer(std::unique_ptr<Impl> impl);

    std::unique_ptr<Impl> impl_;
    std::map<std::pair<int, std::string>, cv::Mat> kept_;
    int64_t renders_ = 0;
    cv::Mat nothing_;  // the mask of an empty text
};

}  // namespace kalvento
