#pragma once
// The function list: the vision library's licence notice, then every key and mouse command
// with the current value of the setting it changes, then the camera banner and the prompt.

#include <string>
#include <vector>

#include "core/state.h"
#include "core/events.h"

namespace kalvento {

// The licence notice of the vision library, as printed at the top of the function list
// (without its framing rule lines).
extern const char* const kVisionLibraryLicence;

// Prints the function list with the current values to `console` and starts the random
// selection's candidate list afresh (ContentsListReady = 0) and has U and A search the home
// folder from slot 0 again (HomeClipNum = 0). Clearing the shared motion
// values before the list is the caller's part.
void printHelpScreen(State& state, Events& console);

// The key list as the window's help page shows it, in Japanese (the function list's lines with
// their values) and in English, a line a key.
struct HelpPages {
    std::vector<std::string> japanese;
    std::vector<std::string> english;
};
HelpPages helpPages(const State& state);

}  // namespace kalvento
