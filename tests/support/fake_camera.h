#pragma once
// A camera that serves the frames a test hands in, in order, and records how it was opened and
// which controls were turned off.

#include <deque>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "platform/camera.h"

namespace kalvento::test {

// Opening fails while `openable` is false.
class FakeCamera final : public Camera {
public:
    bool open(int index, const std::string& source, int width, int height, double) override {
        openedIndex = index;
        openedSource = source;
        requestedSize = cv::Size(width, height);
        ++opens;
        open_ = openable;
        failure_ = openable ? CameraFailure::None : openFailure;
        return open_;
    }
    bool read(cv::Mat& frame) override {
        if (!open_ || frames.empty()) {
            frame.release();
            if (open_) failure_ = CameraFailure::NoFrame;
            return false;
        }
        frames.front().copyTo(frame);
        frames.pop_front();
        return true;
    }
    void release() override {
        open_ = false;
        ++releases;
    }
    bool isOpen() const override { return open_; }
    CameraStatus status() const override {
        if (open_) return CameraStatus::Open;
        return failure_ == CameraFailure::None ? CameraStatus::Closed : CameraStatus::Failed;
    }
    CameraFailure failure() const override { return failure_; }
    bool turnOff(CameraControl control) override {
        turnedOff.push_back(control);
        for (CameraControl refused : refusedControls)
            if (refused == control) return false;
        return open_;
    }
    std::vector<VideoDevice> devices() const override { return deviceList; }

    std::deque<cv::Mat> frames;
    bool openable = true;
    CameraFailure openFailure = CameraFailure::CannotOpen;  // why an unopenable camera fails
    int openedIndex = -1;
    std::string openedSource;
    cv::Size requestedSize;
    int opens = 0;
    int releases = 0;
    std::vector<CameraControl> turnedOff;
    std::vector<CameraControl> refusedControls;
    std::vector<VideoDevice> deviceList;

private:
    bool open_ = false;
    CameraFailure failure_ = CameraFailure::None;
};

}  // namespace kalvento::test
