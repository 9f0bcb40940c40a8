#include "app/player.h"
#include "contents/scan.h"

namespace kalvento {

void Player::mainLoop() {
    io.console.print("\n");
    CameraState& camera = state.camera;
    camera.VR_threshold = 153600 / (camera.PixelStep * camera.PixelStep);
    io.console.print("The system is starting up. This may take a while.\n\n");
    scanContents(state, io);
    // Until the turns of the player arrive, the first clip stays on screen until ESC.
    while (io.window.waitKey(10) != kKeyEsc) {
    }
}

}  // namespace kalvento
