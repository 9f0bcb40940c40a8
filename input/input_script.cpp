#include "input/input_script.h"

#include <charconv>
#include <sstream>

#include "platform/window.h"

namespace kalvento {

namespace {

bool parseInt(std::string_view text, int& value, int low, int high) {
    int parsed = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
    if (ec != std::errc() || end != text.data() + text.size()) return false;
    if (parsed < low || parsed > high) return false;
    value = parsed;
    return true;
}

std::vector<std::string_view> splitWords(std::string_view line) {
    std::vector<std::string_view> words;
    size_t pos = 0;
    while (pos < line.size()) {
        while (pos < line.size() && (line[pos] == ' ' || line[pos] == '\t')) ++pos;
        size_t start = pos;
        while (pos < line.size() && line[pos] != ' ' && line[pos] != '\t') ++pos;
        if (pos > start) words.push_back(line.substr(start, pos - start));
    }
    return words;
}

// The key of "key C": the text after "key " stands for one key.
bool parseKey(std::string_view text, int& code) {
    struct Named {
        const char* name;
        int code;
    };
    static const Named kNames[] = {{"ESC", kKeyEsc},
                                   {"ENTER", kKeyEnter},
                                   {"TAB", kKeyTab},
                                   {"BS", kKeyBackspace},
                                   {"SPACE", kKeySpace}};
    if (text.size() == 1) {
        code = static_cast<unsigned char>(text[0]);
        return true;
    }
    for (const Named& named : kNames)
        if (text == named.name) {
            code = named.code;
            return true;
        }
    std::vector<std::string_view> words = splitWords(text);
    return words.size() == 2 && words[0] == "code" && parseInt(words[1], code, 0, 255);
}

bool parseMouseEvent(std::string_view name, int& code) {
    static const std::pair<const char*, int> kEvents[] = {{"move", kMouseMove},
                                                          {"ldown", kMouseLeftDown},
                                                          {"rdown", kMouseRightDown},
                                                          {"mdown", kMouseMiddleDown},
                                                          {"lup", kMouseLeftUp}};
    for (const auto& [eventName, eventCode] : kEvents)
        if (name == eventName) {
            code = eventCode;
            return true;
        }
    return false;
}

// One non-blank, non-comment line. False when it is not understood.
bool parseLine(std::string_view line, ScriptEvent& event) {
    constexpr int kBig = 1000000000;
    if (line.substr(0, 4) == "key ") {
        event.kind = ScriptEvent::Key;
        return parseKey(line.substr(4), event.value);
    }
    std::vector<std::string_view> words = splitWords(line);
    if (words[0] == "idle" && words.size() == 2) {
        event.kind = ScriptEvent::Idle;
        return parseInt(words[1], event.value, 0, kBig);
    }
    if (words[0] == "sleep" && words.size() == 2) {
        event.kind = ScriptEvent::Sleep;
        return parseInt(words[1], event.value, 0, 3600 * 1000);
    }
    if (words[0] == "command" && words.size() >= 2) {
        event.kind = ScriptEvent::Command;
        event.words.assign(words.begin() + 1, words.end());
        return true;
    }
    if (words[0] == "mouse" && (words.size() == 4 || words.size() == 5)) {
        event.kind = ScriptEvent::Mouse;
        return parseMouseEvent(words[1], event.value) && parseInt(words[2], event.x, -kBig, kBig) &&
               parseInt(words[3], event.y, -kBig, kBig) &&
               (words.size() == 4 || parseInt(words[4], event.flags, 0, 255));
    }
    return false;
}

}  // namespace

std::optional<std::vector<ScriptEvent>> parseInputScript(std::string_view text,
                                                         std::string& error) {
    std::vector<ScriptEvent> events;
    int lineNumber = 0;
    size_t pos = 0;
    while (pos <= text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string_view::npos) end = text.size();
        std::string_view line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNumber;
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.find_first_not_of(" \t") == std::string_view::npos || line[0] == '#') continue;
        ScriptEvent event;
        if (!parseLine(line, event)) {
            std::ostringstream message;
            message << "line " << lineNumber << ": cannot understand \"" << line << "\"";
            error = message.str();
            return std::nullopt;
        }
        events.push_back(event);
    }
    return events;
}

}  // namespace kalvento
