#pragma once
// The camera: opened by device index, or from a source (video file, image-sequence pattern,
// stream URL) that takes the device's place.

#include <deque>
#include <memory>
#include <string>

#include <opencv2/core.hpp>

namespace kalvento {

class Camera {
public:
    virtual ~Camera() = default;
    // Opens device `index`, or `source` when it is not empty, and asks for the given frame
    // size and rate (a request only: the frames may come in another size). False when
    // nothing could be opened; the camera is then closed.
    virtual bool open(int index, const std::string& source, int width, int height, double fps) = 0;
    // Grabs and decodes the next frame as 8-bit BGR. False (frame emptied) when none came.
    virtual bool read(cv::Mat& frame) = 0;
    virtual void release() = 0;
    virtual bool isOpen() const = 0;
};

// cv::VideoCapture. Owns its capture alone: it can be moved but not copied, and a camera moved
// from may only be destroyed or assigned to.
class OpenCvCamera final : public Camera {
public:
    OpenCvCamera();
    ~OpenCvCamera() override;
    OpenCvCamera(OpenCvCamera&& other) noexcept;
    OpenCvCamera& operator=(OpenCvCamera&& other) noexcept;
    bool open(int index, const std::string& source, int width, int height, double fps) override;
    bool read(cv::Mat& frame) override;
    void release() override;
    bool isOpen() const override;

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Frames handed in by a test, served in order; opening fails while `openable` is false.
class FakeCamera final : public Camera {
public:
    bool open(int index, const std::string& source, int, int, double) override {
        openedIndex = index;
        openedSource = source;
        ++opens;
        open_ = openable;
        return open_;
    }
    bool read(cv::Mat& frame) override {
        if (!open_ || frames.empty()) {
            frame.release();
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

    std::deque<cv::Mat> frames;
    bool openable = true;
    int openedIndex = -1;
    std::string openedSource;
    int opens = 0;
    int releases = 0;

private:
    bool open_ = false;
};

}  // namespace kalvento
