#include "core/key_set.h"

#include <array>
#include <charconv>
#include <utility>

#include "platform/window.h"

namespace kalvento {

namespace {

constexpr std::array<std::pair<const char*, int>, 7> kKeyNames = {{
    {"ESC", kKeyEsc},
    {"ENTER", kKeyEnter},
    {"TAB", kKeyTab},
    {"BS", kKeyBackspace},
    {"SPACE", kKeySpace},
    {"COMMA", ','},
    {"F1", kKeyDisplayLevel},
}};

// Adds one item of a key list to `keys`; false when it is no item.
bool addItem(const std::string& item, KeySet& keys) {
    if (item == "all") {
        keys.addAll();
        return true;
    }
    if (item == "default") {
        keys.addAll(defaultRemoteKeys());
        return true;
    }
    const int code = keyCodeOf(item);  // never a comma: the list is split at them
    if (code == 0) return false;
    keys.add(code);
    return true;
}

}  // namespace

std::vector<int> KeySet::codes() const {
    std::vector<int> held;
    for (size_t code = 0; code < codes_.size(); ++code)
        if (codes_.test(code)) held.push_back(static_cast<int>(code));
    return held;
}

int keyCodeOf(const std::string& text) {
    for (const auto& [name, code] : kKeyNames)
        if (text == name) return code;
    if (text.size() == 1 && text[0] > 32 && text[0] < 127) return static_cast<unsigned char>(text[0]);
    return 0;
}

std::string keyNameOf(int code) {
    for (const auto& [name, named] : kKeyNames)
        if (code == named) return name;
    if (code > 32 && code < 127) return std::string(1, static_cast<char>(code));
    return "code " + std::to_string(code);
}

KeySet defaultRemoteKeys() {
    // The default list is made of valid items only.
    static const KeySet keys = [] {
        std::string unused;
        return *parseKeyList(kDefaultRemoteKeyList, unused);
    }();
    return keys;
}

std::optional<KeySet> parseKeyList(const std::string& text, std::string& error) {
    KeySet keys;
    if (text.empty()) return keys;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        const std::string item =
            text.substr(start, comma == std::string::npos ? comma : comma - start);
        if (!addItem(item, keys)) {
            error = "unknown key \"" + item +
                    "\" in the key list (one character, ESC, ENTER, TAB, BS, SPACE, COMMA, F1, "
                    "default or all, separated by commas)";
            return std::nullopt;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return keys;
}

int keyArgumentCode(const std::string& text) {
    if (int code = keyCodeOf(text); code != 0) return code;
    const std::string digits = text.rfind("code ", 0) == 0 ? text.substr(5) : text;
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || digits.empty()) return 0;
    return value >= 1 && value <= 255 ? value : 0;
}

}  // namespace kalvento
