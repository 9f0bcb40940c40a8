#pragma once
// The camera supervisor: while a camera lost by a capture failure stays closed, it tries every
// few seconds to open it again, with a quiet probe that opens off the loop, so a camera that
// is still gone prints nothing and holds up no turn.

#include <cstdint>

#include "core/player_state.h"
#include "platform/camera.h"

namespace kalvento {

class CameraSupervisor {
public:
    // Tries every `retrySeconds` (0: never).
    explicit CameraSupervisor(int retrySeconds) : retrySeconds_(retrySeconds) {}

    // What one turn of supervision led to.
    enum class Outcome {
        Nothing,
        Started,    // the camera was found lost: from now on it is tried every retrySeconds
        CameraBack  // a probe opened the camera and let it go: switch it on as the camera key does
    };
    // One turn at clock time `nowMicros`. Starts, ends and looks after the probes on `camera`;
    // stops trying once the camera is open again or no longer counts as lost.
    Outcome turn(const CameraState& state, Camera& camera, int64_t nowMicros);

    int retrySeconds() const { return retrySeconds_; }
    // The tries to open the camera again since it was lost.
    int retries() const { return retries_; }

private:
    Outcome finishProbe(Camera& camera);

    const int retrySeconds_;
    int64_t nextTry_ = 0;   // clock time of the next try; 0 none planned
    bool probing_ = false;  // a probe is opening
    int retries_ = 0;
};

}  // namespace kalvento
