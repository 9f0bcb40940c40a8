#include "remote/key_list.h"

#include <algorithm>

namespace kalvento {

namespace {
struct NamedKey {
    const char* name;
    int code;
};
constexpr NamedKey kNamedKeys[] = {{"ESC", 27}, {"ENTER", 13}, {"TAB", 9},
                                   {"BS", 8},   {"SPACE", 32}, {"COMMA", ','}};
// Steps, jumps, folders, random clip, replay, speed, mirror, camera, calibration, threshold.
constexpr const char kDefaultKeys[] = "zxZX!\"#$%&'()1234567890pnPNlJsSeqgvV\t";
}  // namespace

int keyCodeOf(const std::string& text) {
    for (const NamedKey& key : kNamedKeys)
        if (text == key.name) return key.code;
    if (text.size() == 1 && static_cast<unsigned char>(text[0]) > ' ' &&
        static_cast<unsigned char>(text[0]) < 127)
        return static_cast<unsigned char>(text[0]);
    return 0;
}

std::string keyNameOf(int code) {
    for (const NamedKey& key : kNamedKeys)
        if (code == key.code) return key.name;
    if (code > ' ' && code < 127) return std::string(1, static_cast<char>(code));
    return "code " + std::to_string(code);
}

KeyList KeyList::defaults() {
    KeyList list;
    for (const char* c = kDefaultKeys; *c; ++c) list.codes_.push_back(static_cast<unsigned char>(*c));
    return list;
}

std::optional<KeyList> KeyList::parse(const std::string& text, std::string& error) {
    KeyList list;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(',', start);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(start, end - start);
        const int code = keyCodeOf(item);
        if (code == 0) {
            error = "not a key: \"" + item + "\" (one character, or ESC ENTER TAB BS SPACE COMMA)";
            return std::nullopt;
        }
        if (!list.allows(code)) list.codes_.push_back(code);
        start = end + 1;
    }
    return list;
}

bool KeyList::allows(int code) const {
    return std::find(codes_.begin(), codes_.end(), code) != codes_.end();
}

}  // namespace kalvento
