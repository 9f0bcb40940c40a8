#pragma once

namespace kalvento {

// Thrown to end the player from inside a step or command (no clip in any folder, a fatal
// error of a subsystem). The player catches it, runs the shut-down step when `shutDown` is
// set, and ends the process with `status`.
struct PlayerExit {
    int status = 0;
    bool shutDown = true;
};

}  // namespace kalvento
