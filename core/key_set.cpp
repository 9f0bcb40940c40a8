#include "core/key_set.h"

#include <array>
#include <utility>

namespace kalvento {

namespace {

constexpr std::array<std::pair<const char*, int>, 6> kKeyNames = {{
    {"ESC", 27},
    {"ENTER", 13},
    {"TAB", 9},
    {"BS", 8},
    {"SPACE", 32},
    {"COMMA", ','},
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
    for (const auto& [name, code] : kKeyNames) {
        if (item == name) {
            keys.add(code);
            return true;
        }
    }
    if (item.size() == 1 && item[0] > 32 && item[0] < 127 && item[0] != ',') {
        keys.add(static_cast<unsigned char>(item[0]));
        return true;
    }
    return false;
}

}  // namespace

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
                    "\" in the key list (one character, ESC, ENTER, TAB, BS, SPACE, COMMA, "
                    "default or all, separated by commas)";
            return std::nullopt;
        }
        if (comma == std::string::npos) break;
        start = comma + 1;
    }
    return keys;
}

}  // namespace kalvento
