#include "app/shutdown.h"

#include "core/banners.h"
#include "core/player_state.h"

namespace kalvento {

void shutDown(State& state, Io& io) {
    io.camera.release();
    state.camera.CamActive = 0;
    io.console.print("\n\n");
    printBanner(io.console, Banner::ThankYou);
    io.window.delay(500);
}

}  // namespace kalvento
