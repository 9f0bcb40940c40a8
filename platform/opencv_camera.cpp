#include <opencv2/videoio.hpp>

#include "platform/camera.h"

namespace kalvento {

struct OpenCvCamera::Impl {
    cv::VideoCapture capture;
};

OpenCvCamera::OpenCvCamera() : impl_(std::make_unique<Impl>()) {}

OpenCvCamera::~OpenCvCamera() = default;
OpenCvCamera::OpenCvCamera(OpenCvCamera&& other) noexcept = default;
OpenCvCamera& OpenCvCamera::operator=(OpenCvCamera&& other) noexcept = default;

bool OpenCvCamera::open(int index, const std::string& source, int width, int height, double fps) {
    impl_->capture.release();
    bool opened = source.empty() ? impl_->capture.open(index) : impl_->capture.open(source);
    if (!opened) return false;
    impl_->capture.set(cv::CAP_PROP_FRAME_WIDTH, width);
    impl_->capture.set(cv::CAP_PROP_FRAME_HEIGHT, height);
    impl_->capture.set(cv::CAP_PROP_FPS, fps);
    return true;
}

bool OpenCvCamera::read(cv::Mat& frame) {
    if (!impl_->capture.isOpened() || !impl_->capture.read(frame) || frame.empty()) {
        frame.release();
        return false;
    }
    return true;
}

void OpenCvCamera::release() {
    impl_->capture.release();
}

bool OpenCvCamera::isOpen() const {
    return impl_->capture.isOpened();
}

}  // namespace kalvento
