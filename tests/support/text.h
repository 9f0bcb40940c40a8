#pragma once
// Looking into what a player printed.

#include <regex>
#include <string>
#include <vector>

namespace kalvento::test {

inline bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// How often `part` stands in `text` (overlapping occurrences count).
inline size_t count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t pos = text.find(part); pos != std::string::npos; pos = text.find(part, pos + 1))
        ++n;
    return n;
}

// The clips shown, in order, from the player's "DISP: FrameData[ n ].http[2]" lines (printed
// for clips whose frame data carry a text, see Workspace::addFrameData).
inline std::vector<int> shownClips(const std::string& out) {
    static const std::regex line(R"(DISP: FrameData\[ *(\d+) \]\.http\[2\])");
    std::vector<int> clips;
    for (std::sregex_iterator it(out.begin(), out.end(), line), end; it != end; ++it)
        clips.push_back(std::stoi((*it)[1]));
    return clips;
}

}  // namespace kalvento::test
