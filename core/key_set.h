#pragma once
// The keys a remote control may send: a set of one-byte key codes, read from a list such as
// "x,z,J,ENTER" or "all". The OSC bridge takes its keys through one; any other remote (a web
// page, a serial panel) takes the same list with the same default.

#include <bitset>
#include <optional>
#include <string>
#include <vector>

namespace kalvento {

class KeySet {
public:
    bool contains(int code) const { return code >= 0 && code < 256 && codes_.test(code); }
    void add(int code) {
        if (code >= 0 && code < 256) codes_.set(static_cast<size_t>(code));
    }
    void addAll() { codes_.set(); }
    void addAll(const KeySet& other) { codes_ |= other.codes_; }
    size_t size() const { return codes_.count(); }
    // The codes held, smallest first.
    std::vector<int> codes() const;
    bool operator==(const KeySet&) const = default;

private:
    std::bitset<256> codes_;
};

// The keys that only move through the contents or change the view: the steps, jumps and
// folder keys, the random clip J, replay and speed, the mirror, the mouse modes, the camera
// key q, the display key i and ; (read the parameters and the gesture files). Not ESC or ENTER
// (pause, help), nor any key that writes or deletes a file or starts a program. The one file a
// key of the list may write is the marker check_result.txt that a contents folder gets when
// it is first opened; j (a random folder) is left out, because its search writes that marker
// into every folder it finds.
KeySet defaultRemoteKeys();

// The default as a list, for usage texts and the README.
inline constexpr const char* kDefaultRemoteKeyList =
    "z,x,Z,X,/,\\,COMMA,.,!,\",#,$,%,&,',(,),l,J,@,0,1,2,3,4,5,6,7,8,9,n,N,p,P,R,TAB,s,S,e,"
    "SPACE,m,M,`,q,i,;";

// Reads a key list: items separated by commas, each a single character (33..126; a comma is
// written COMMA), a name (ESC, ENTER, TAB, BS, SPACE, COMMA, F1), "default" (the default keys)
// or "all" (every key). An empty list accepts no key. nullopt, with the reason in `error`, for
// an item that is none of these.
std::optional<KeySet> parseKeyList(const std::string& text, std::string& error);

// The code of one key as a remote names it: a name of the list above or one character 33..126
// (a comma included); 0 when `text` is neither.
int keyCodeOf(const std::string& text);
// The key a command's argument names: what keyCodeOf reads, "code N" or a number 1 .. 255;
// 0 for anything else.
int keyArgumentCode(const std::string& text);
// The name or character of a key code, as keyCodeOf reads it back; "code N" for a code that
// has neither.
std::string keyNameOf(int code);

}  // namespace kalvento
