#include "platform/text_renderer.h"

#include <algorithm>

#include <SDL.h>
#include <SDL_ttf.h>
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

struct TextRenderer::Impl {
    TTF_Font* font = nullptr;
    int size = 0;

    ~Impl() {
        if (font != nullptr) TTF_CloseFont(font);
        TTF_Quit();
    }

    bool setSize(int pixels) {
        if (pixels == size) return true;
        if (TTF_SetFontSize(font, pixels) != 0) return false;
        size = pixels;
        return true;
    }
};

TextRenderer::TextRenderer(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
TextRenderer::~TextRenderer() = default;

std::unique_ptr<TextRenderer> TextRenderer::open(const std::string& fontFile, std::string& error) {
    if (TTF_Init() != 0) {
        error = std::string("cannot start SDL_ttf: ") + TTF_GetError();
        return nullptr;
    }
    auto impl = std::make_unique<Impl>();
    impl->font = TTF_OpenFont(fontFile.c_str(), 32);
    if (impl->font == nullptr) {
        error = "cannot open the font " + fontFile + ": " + TTF_GetError();
        return nullptr;  // Impl's destructor balances TTF_Init
    }
    impl->size = 32;
    return std::unique_ptr<TextRenderer>(new TextRenderer(std::move(impl)));
}

const cv::Mat& TextRenderer::line(const std::string& text, int pixels) {
    if (text.empty()) return nothing_;
    const int size = roundedSize(pixels);
    auto key = std::make_pair(size, text);
    auto kept = kept_.find(key);
    if (kept != kept_.end()) return kept->second;
    if (kept_.size() >= kKeptLines) kept_.clear();

    cv::Mat mask;
    SDL_Surface* rendered = nullptr;
    if (impl_->setSize(size))
        rendered = TTF_RenderUTF8_Blended(impl_->font, text.c_str(), SDL_Color{255, 255, 255, 255});
    if (rendered != nullptr) {
        SDL_Surface* argb = SDL_ConvertSurfaceFormat(rendered, SDL_PIXELFORMAT_ARGB8888, 0);
        SDL_FreeSurface(rendered);
        if (argb != nullptr) {
            // ARGB8888 in memory is B, G, R, A: the mask is the fourth channel.
            cv::Mat bgra(argb->h, argb->w, CV_8UC4, argb->pixels, static_cast<size_t>(argb->pitch));
            cv::extractChannel(bgra, mask, 3);
            SDL_FreeSurface(argb);
        }
    }
    ++renders_;
    return kept_.emplace(std::move(key), std::move(mask)).first->second;
}

int TextRenderer::width(const std::string& text, int pixels) {
    int w = 0;
    int h = 0;
    if (text.empty() || !impl_->setSize(roundedSize(pixels))) return 0;
    if (TTF_SizeUTF8(impl_->font, text.c_str(), &w, &h) != 0) return 0;
    return w;
}

}  // namespace kalvento
