#pragma once
// The player: owns the state record and runs start-up and the main loop against the outside
// world given as an Io.

#include "app/options.h"
#include "app/state.h"
#include "platform/io.h"
#include "platform/random.h"

namespace kalvento {

class Player {
public:
    // `io` must outlive the player. The player registers its own mouse callback in `io`.
    Player(Io& io, Options options);
    Player(const Player&) = delete;
    Player& operator=(const Player&) = delete;

    // Runs start-up and the main loop until the user quits; returns the exit status (0 after
    // a normal quit).
    int run();

    State state;
    Random random;
    Io& io;
    const Options options;

private:
    static void onMouse(int event, int x, int y, int flags, void* user);
    void startUp();
    void mainLoop();
};

}  // namespace kalvento
