#include "motion/camera_supervisor.h"

namespace kalvento {

CameraSupervisor::Outcome CameraSupervisor::turn(const CameraState& state, Camera& camera,
                                                 int64_t nowMicros) {
    if (retrySeconds_ <= 0 || state.CamActive != 0 || state.CameraLost == 0) {
        nextTry_ = 0;
        probing_ = false;
        retries_ = 0;
        return Outcome::Nothing;
    }
    const int64_t period = static_cast<int64_t>(retrySeconds_) * 1000000;
    if (nextTry_ == 0) {
        nextTry_ = nowMicros + period;
        return Outcome::Started;
    }
    if (probing_) return finishProbe(camera);
    if (nowMicros < nextTry_) return Outcome::Nothing;
    nextTry_ = nowMicros + period;
    ++retries_;
    probing_ =
        camera.open(state.CamChan, state.CameraSource, state.CamWidth, state.CamHeight, 60.0);
    return Outcome::Nothing;
}

CameraSupervisor::Outcome CameraSupervisor::finishProbe(Camera& camera) {
    const CameraStatus status = camera.status();
    if (status == CameraStatus::Opening) return Outcome::Nothing;
    probing_ = false;
    camera.release();
    if (status != CameraStatus::Open) return Outcome::Nothing;
    nextTry_ = 0;
    return Outcome::CameraBack;
}

}  // namespace kalvento
