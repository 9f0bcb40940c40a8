#pragma once
// Which keys a remote may type: a list given on the command line ("z,x,p,n,TAB", one
// character or a key name per item) or the default of keys that only move through the clips
// or change the view, never ESC, ENTER or a key that writes files.

#include <optional>
#include <string>
#include <vector>

namespace kalvento {

// The code of one key: a single character stands for itself; ESC, ENTER, TAB, BS, SPACE and
// COMMA name the others. 0 when `text` is neither.
int keyCodeOf(const std::string& text);
// The name or character of a key code, as keyCodeOf reads it back.
std::string keyNameOf(int code);

class KeyList {
public:
    // The keys that step, jump, switch folders, replay, change speed or mirror, switch the
    // camera, calibrate and change the threshold.
    static KeyList defaults();
    // nullopt, with the reason in `error`, when an item is not a key.
    static std::optional<KeyList> parse(const std::string& text, std::string& error);

    bool allows(int code) const;
    const std::vector<int>& codes() const { return codes_; }

private:
    std::vector<int> codes_;
};

}  // namespace kalvento
