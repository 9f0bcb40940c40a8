#include "app/shutdown.h"

namespace kalvento {

namespace {

constexpr const char* kFarewellBanner[] = {
    "OOOOO  O   O   OOO   O   O  O   O     O   O   OOO   O   O   O",
    "  O    O   O  O   O  OO  O  O  O       O O   O   O  O   O   O",
    "  O    OOOOO  OOOOO  O O O  OOO         O    O   O  O   O   O",
    "  O    O   O  O   O  O  OO  O  O        O    O   O  O   O    ",
    "  O    O   O  O   O  O   O  O   O       O     OOO    OOO    O",
};

}  // namespace

void shutDown(State& state, Io& io) {
    io.camera.release();
    state.camera.CamActive = 0;
    io.console.print("\n\n");
    for (const char* row : kFarewellBanner) io.console.print("%s\n", row);
    io.window.delay(500);
}

}  // namespace kalvento
