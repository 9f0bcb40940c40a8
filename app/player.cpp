#include "app/player.h"

#include "app/exit.h"
#include "app/shutdown.h"
#include "app/startup.h"

namespace kalvento {

namespace {
constexpr const char* kKeyAllocationPicture = "./keyallocation_01.jpg";
}  // namespace

Player::Player(Io& io_, Options options_) : io(io_), options(std::move(options_)) {
    io.mouse = MouseHook{&Player::onMouse, this};
    state.camera.CameraSource = options.cameraSource;
}

void Player::onMouse(int event, int x, int y, int flags, void* user) {
    Player& player = *static_cast<Player*>(user);
    (void)player;
    (void)event;
    (void)x;
    (void)y;
    (void)flags;
}

void Player::startUp() {
    printBanner(io.console);
    io.console.print("%s\n", io.files.currentDirectory().c_str());
    if (!storeCommandLine(options.words, state.commandLine, io.console))
        throw PlayerExit{2, false};
    importCommandLineImages(state.commandLine, io);
    random.seed(options.seed ? *options.seed : static_cast<uint32_t>(io.clock.wallSeconds()));
    io.createWindow(WindowMode::Normal);
    if (!io.images.loadColor(kKeyAllocationPicture, state.KeyAllocationImage))
        state.KeyAllocationImage.release();
}

int Player::run() {
    try {
        startUp();
        mainLoop();
        shutDown(state, io);
        return 0;
    } catch (const PlayerExit& exit) {
        if (exit.shutDown) shutDown(state, io);
        return exit.status;
    }
}

}  // namespace kalvento
