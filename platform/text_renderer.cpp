#include "platform/text_renderer.h"

#include <algorithm>
#include <utility>

#include <vector>

#include <ft2build.h>
#include FT_FREETYPE_H
#include <fontconfig/fontconfig.h>

namespace kalvento {

namespace {

// Sizes are rounded to this step, so a window resized by a few pixels reuses its lines.
constexpr int kSizeStep = 2;

int roundedSize(int pixels) {
    return std::max(kSizeStep, (pixels + kSizeStep / 2) / kSizeStep * kSizeStep);
}

}  // namespace

std::optional<std::string> findDisplayFont(std::string& error) {
    FcConfig* config = FcInitLoadConfigAndFonts();
    if (config == nullptr) {
        error = "fontconfig cannot load its configuration";
        return std::nullopt;
    }
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif:lang=ja"));
    std::optional<std::string> file;
    if (pattern != nullptr) {
        FcConfigSubstitute(config, pattern, FcMatchPattern);
        FcDefaultSubstitute(pattern);
        FcResult result = FcResultNoMatch;
        FcPattern* match = FcFontMatch(config, pattern, &result);
        FcChar8* path = nullptr;
        FcCharSet* chars = nullptr;
        // A face without kana is no answer, even if fontconfig offers it as the best match.
        if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch &&
            FcPatternGetCharSet(match, FC_CHARSET, 0, &chars) == FcResultMatch &&
            FcCharSetHasChar(chars, 0x3042) && FcCharSetHasChar(chars, 'A'))
            file = reinterpret_cast<const char*>(path);
        if (match != nullptr) FcPatternDestroy(match);
        FcPatternDestroy(pattern);
    }
    FcConfigDestroy(config);
    if (!file) error = "fontconfig finds no font with Japanese and Latin letters";
    return file;
}

// One glyph rendered: its coverage, where it sits against the pen and the baseline, and how
// far the pen moves on.
struct RenderedGlyph {
    cv::Mat coverage;
    int left = 0;  // from the pen to the bitmap's left edge
    int top = 0;   // from the baseline up to the bitmap's top row
    int advance = 0;
};

// The code points of UTF-8 text; a byte that starts no valid sequence stands for itself.
std::vector<char32_t> codePointsOf(const std::string& text) {
    std::vector<char32_t> points;
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        const int length = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 1;
        char32_t point = length == 1 ? c : c & (0x3F >> (length - 1));
        bool whole = i + static_cast<size_t>(length) <= text.size();
        for (int k = 1; whole && k < length; ++k) {
            const unsigned char next = static_cast<unsigned char>(text[i + static_cast<size_t>(k)]);
            whole = (next & 0xC0) == 0x80;
            point = (point << 6) | (next & 0x3F);
        }
        points.push_back(whole ? point : c);
        i += whole ? static_cast<size_t>(length) : 1;
    }
    return points;
}

struct TextRenderer::Impl {
    FT_Library library = nullptr;
    FT_Face face = nullptr;
    int size = 0;

    ~Impl() {
        if (face != nullptr) FT_Done_Face(face);
        if (library != nullptr) FT_Done_FreeType(library);
    }

    bool setSize(int pixels) {
        if (pixels == size) return true;
        if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels)) != 0) return false;
        size = pixels;
        return true;
    }

    // The glyph of `point` at the current size; `render` false measures its advance only.
    RenderedGlyph glyph(char32_t point, bool render) {
        RenderedGlyph glyph;
        // Outlines only: a font's own small bitmaps are one bit deep and may lack glyphs.
        const FT_Int32 flags =
            FT_LOAD_NO_BITMAP | FT_LOAD_TARGET_LIGHT | (render ? FT_LOAD_RENDER : FT_LOAD_DEFAULT);
        if (FT_Load_Char(face, point, flags) != 0) return glyph;
        const FT_GlyphSlot slot = face->glyph;
        glyph.advance = static_cast<int>(slot->advance.x >> 6);
        if (!render || slot->bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) return glyph;
        const FT_Bitmap& bitmap = slot->bitmap;
        if (bitmap.rows > 0 && bitmap.width > 0)
            glyph.coverage = cv::Mat(static_cast<int>(bitmap.rows), static_cast<int>(bitmap.width),
                                     CV_8UC1, bitmap.buffer, static_cast<size_t>(bitmap.pitch))
                                 .clone();
        glyph.left = slot->bitmap_left;
        glyph.top = slot->bitmap_top;
        return glyph;
    }
};

TextRenderer::TextRenderer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TextRenderer::~TextRenderer() = default;

std::unique_ptr<TextRenderer> TextRenderer::open(const std::string& fontFile, std::string& error) {
    auto impl = std::make_unique<Impl>();
    if (FT_Init_FreeType(&impl->library) != 0) {
        error = "cannot start FreeType";
        return nullptr;
    }
    if (FT_New_Face(impl->library, fontFile.c_str(), 0, &impl->face) != 0) {
        error = "cannot open the font " + fontFile;
        return nullptr;
    }
    if (!impl->setSize(32)) {
        error = "the font " + fontFile + " has no size of 32 pixels";
        return nullptr;
    }
    return std::unique_ptr<TextRenderer>(new TextRenderer(std::move(impl)));
}

// Every glyph is placed whole: the mask reaches from the font's ascent or the highest glyph,
// whichever is higher, down to its descent or the lowest glyph (an underscore below the
// descent stays), and from the leftmost to the rightmost inked or advanced column.
const cv::Mat& TextRenderer::line(const std::string& text, int pixels) {
    if (text.empty()) return nothing_;
    const int size = roundedSize(pixels);
    auto key = std::make_pair(size, text);
    auto kept = kept_.find(key);
    if (kept != kept_.end()) return kept->second;
    if (kept_.size() >= kKeptLines) kept_.clear();

    cv::Mat mask;
    if (impl_->setSize(size)) {
        const FT_Size_Metrics& metrics = impl_->face->size->metrics;
        int above = static_cast<int>(metrics.ascender >> 6);
        int below = static_cast<int>(-(metrics.descender >> 6));
        int pen = 0, leftmost = 0, rightmost = 0;
        std::vector<std::pair<int, RenderedGlyph>> placed;
        for (char32_t point : codePointsOf(text)) {
            RenderedGlyph glyph = impl_->glyph(point, true);
            const int x = pen + glyph.left;
            if (!glyph.coverage.empty()) {
                above = std::max(above, glyph.top);
                below = std::max(below, glyph.coverage.rows - glyph.top);
                leftmost = std::min(leftmost, x);
                rightmost = std::max(rightmost, x + glyph.coverage.cols);
            }
            pen += glyph.advance;
            placed.emplace_back(x, std::move(glyph));
        }
        rightmost = std::max(rightmost, pen);
        if (rightmost > leftmost && above + below > 0) {
            mask = cv::Mat::zeros(above + below, rightmost - leftmost, CV_8UC1);
            for (const auto& [x, glyph] : placed) {
                if (glyph.coverage.empty()) continue;
                const cv::Rect at(x - leftmost, above - glyph.top, glyph.coverage.cols,
                                  glyph.coverage.rows);
                cv::Mat area = mask(at);
                cv::max(area, glyph.coverage, area);
            }
        }
    }
    ++renders_;
    return kept_.emplace(std::move(key), std::move(mask)).first->second;
}

int TextRenderer::width(const std::string& text, int pixels) {
    if (text.empty() || !impl_->setSize(roundedSize(pixels))) return 0;
    int pen = 0;
    for (char32_t point : codePointsOf(text)) pen += impl_->glyph(point, false).advance;
    return pen;
}

}  // namespace kalvento
