#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <optional>
#include <thread>

#include <opencv2/core/utils/logger.hpp>
#include <opencv2/videoio.hpp>

#include "platform/camera.h"

namespace kalvento {

namespace {

using Time = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool isStream(const std::string& source) {
    return source.find("://") != std::string::npos;
}

// A plain file path (not a stream, not an image-sequence pattern such as cam_%04d.png).
bool isFilePath(const std::string& source) {
    return !source.empty() && !isStream(source) && source.find('%') == std::string::npos;
}

// What one capture thread is asked to open.
struct OpenRequest {
    int index = 0;
    std::string source;
    int width = 0;
    int height = 0;
    double fps = 0;
};

// One opened (or opening) capture and the thread that owns it. The caller and the thread
// meet under `mutex`; the thread keeps the session alive for as long as it runs, so a caller
// that stops waiting can simply let go of it.
struct Session {
    std::mutex mutex;
    std::condition_variable changed;
    bool opening = true;
    bool opened = false;
    bool stop = false;
    bool finished = false;
    enum class Job { None, Read, TurnOff } job = Job::None;
    bool jobDone = false;
    bool jobResult = false;
    CameraControl control = CameraControl::AutoExposure;
    cv::Mat frame;  // the frame of the last read, handed over by swapping
};

class CaptureThread {
public:
    CaptureThread(std::shared_ptr<Session> session, OpenRequest request, CameraSettings settings)
        : session_(std::move(session)), request_(std::move(request)),
          settings_(std::move(settings)) {}

    void run() {
        bool ok = openCapture();
        {
            std::lock_guard<std::mutex> lock(session_->mutex);
            session_->opening = false;
            session_->opened = ok;
        }
        session_->changed.notify_all();
        if (ok) serve();
        capture_.release();
        std::lock_guard<std::mutex> lock(session_->mutex);
        session_->finished = true;
        session_->changed.notify_all();
    }

private:
    bool openCapture() {
        const std::string& source = request_.source;
        bool opened = false;
        try {
            if (source.empty()) {
                // V4L2 only: the other back ends try the same device again, and noisily.
                opened = capture_.open(request_.index, cv::CAP_V4L2);
            } else if (isStream(source)) {
                // FFmpeg only, with its own time-outs, so that a silent server gives up.
                opened = capture_.open(source, cv::CAP_FFMPEG,
                                       {cv::CAP_PROP_OPEN_TIMEOUT_MSEC, settings_.openTimeoutMs,
                                        cv::CAP_PROP_READ_TIMEOUT_MSEC, settings_.readTimeoutMs});
            } else if (isFilePath(source)) {
                opened = capture_.open(source, cv::CAP_FFMPEG);
            } else {
                opened = capture_.open(source, cv::CAP_IMAGES);
            }
        } catch (const cv::Exception&) {
            opened = false;
        }
        if (!opened) return false;
        capture_.set(cv::CAP_PROP_FRAME_WIDTH, request_.width);
        capture_.set(cv::CAP_PROP_FRAME_HEIGHT, request_.height);
        capture_.set(cv::CAP_PROP_FPS, request_.fps);
        double fps = capture_.get(cv::CAP_PROP_FPS);
        paced_ = settings_.paceFiles && isFilePath(source) && fps >= 1.0 && fps <= 1000.0;
        if (paced_) framePeriod_ = std::chrono::duration<double>(1.0 / fps);
        return true;
    }

    // Runs the jobs the caller asks for until it lets go.
    void serve() {
        for (;;) {
            Session::Job job;
            {
                std::unique_lock<std::mutex> lock(session_->mutex);
                session_->changed.wait(lock, [&] {
                    return session_->stop || session_->job != Session::Job::None;
                });
                if (session_->stop) return;
                job = session_->job;
            }
            bool result = job == Session::Job::Read ? readFrame() : turnOff();
            {
                std::lock_guard<std::mutex> lock(session_->mutex);
                if (job == Session::Job::Read) std::swap(session_->frame, buffer_);
                session_->job = Session::Job::None;
                session_->jobDone = true;
                session_->jobResult = result;
            }
            session_->changed.notify_all();
        }
    }

    // The next frame; a paced video gives the frame of the time elapsed since its first
    // frame, skipping those that are late and waiting for one that is early.
    bool readFrame() {
        try {
            if (paced_) keepPace();
            bool ok = capture_.read(buffer_) && !buffer_.empty();
            if (!ok && rewind()) ok = capture_.read(buffer_) && !buffer_.empty();
            if (!ok) buffer_.release();
            ++framesRead_;
            return ok;
        } catch (const cv::Exception&) {
            buffer_.release();
            return false;
        }
    }

    // A looping video file back at its first frame, its pace started again; false when it
    // does not loop or cannot go back.
    bool rewind() {
        if (!settings_.loopFiles || !isFilePath(request_.source) || framesRead_ == 0)
            return false;
        if (!capture_.set(cv::CAP_PROP_POS_FRAMES, 0) &&
            !capture_.open(request_.source, cv::CAP_FFMPEG))
            return false;
        framesRead_ = 0;
        if (paced_) keepPace();
        return true;
    }

    void keepPace() {
        Time::time_point now = Time::now();
        if (framesRead_ == 0) start_ = now;
        auto due = [&](long frame) {
            return start_ + std::chrono::duration_cast<Time::duration>(framePeriod_ * frame);
        };
        // A frame whose successor is already due is skipped, as a camera would have shown
        // the newer one.
        while (due(framesRead_ + 1) <= now && capture_.grab()) ++framesRead_;
        std::this_thread::sleep_until(due(framesRead_));
    }

    bool turnOff() {
        switch (session_->control) {
            case CameraControl::AutoExposure:
                // V4L2's menu: 1 is manual exposure, 3 the aperture priority (automatic).
                return capture_.set(cv::CAP_PROP_AUTO_EXPOSURE, 1);
            case CameraControl::AutoWhiteBalance:
                return capture_.set(cv::CAP_PROP_AUTO_WB, 0);
            case CameraControl::AutoFocus:
                return capture_.set(cv::CAP_PROP_AUTOFOCUS, 0);
        }
        return false;
    }

    std::shared_ptr<Session> session_;
    OpenRequest request_;
    CameraSettings settings_;
    cv::VideoCapture capture_;
    cv::Mat buffer_;
    bool paced_ = false;
    std::chrono::duration<double> framePeriod_{0};
    Time::time_point start_;
    long framesRead_ = 0;
};

}  // namespace

struct OpenCvCamera::Impl {
    CameraSettings settings;
    std::shared_ptr<Session> session;
    std::thread thread;
    Time::time_point openStarted;
    CameraFailure failure = CameraFailure::None;

    // Lets the session go: its thread releases the capture and ends. A thread that does not
    // end at once (a back end hanging in a read) is left to end by itself.
    void letGo() {
        if (!session) return;
        bool finished = false;
        {
            std::unique_lock<std::mutex> lock(session->mutex);
            session->stop = true;
            session->changed.notify_all();
            finished = session->changed.wait_for(lock, milliseconds(500),
                                                 [&] { return session->finished; });
        }
        if (finished)
            thread.join();
        else
            thread.detach();
        session.reset();
    }

    // Waits for the open to end; false with the failure noted when it failed or timed out.
    bool waitForOpen(std::unique_lock<std::mutex>& lock) {
        Time::time_point deadline = openStarted + milliseconds(settings.openTimeoutMs);
        if (!session->changed.wait_until(lock, deadline, [&] { return !session->opening; })) {
            failure = CameraFailure::OpenTimedOut;
            return false;
        }
        if (!session->opened) failure = CameraFailure::CannotOpen;
        return session->opened;
    }

    // Runs one job on the capture thread and waits for it at most `limit`.
    std::optional<bool> runJob(Session::Job job, milliseconds limit, cv::Mat* frame) {
        std::unique_lock<std::mutex> lock(session->mutex);
        if (!waitForOpen(lock)) return std::nullopt;
        session->job = job;
        session->jobDone = false;
        session->changed.notify_all();
        if (!session->changed.wait_for(lock, limit, [&] { return session->jobDone; })) {
            failure = CameraFailure::ReadTimedOut;
            return std::nullopt;
        }
        if (frame) std::swap(*frame, session->frame);
        return session->jobResult;
    }
};

OpenCvCamera::OpenCvCamera(CameraSettings settings) : impl_(std::make_unique<Impl>()) {
    impl_->settings = std::move(settings);
    // OpenCV's warnings about cameras it cannot open would stand between the player's own
    // lines; the player says itself what failed. OPENCV_LOG_LEVEL still sets them.
    if (std::getenv("OPENCV_LOG_LEVEL") == nullptr)
        cv::utils::logging::setLogLevel(cv::utils::logging::LOG_LEVEL_ERROR);
    // FFmpeg's own lines (a refused connection of every probe) likewise; OpenCV reads this
    // when its FFmpeg back end first starts.
    ::setenv("OPENCV_FFMPEG_LOGLEVEL", "0", 0);
}

OpenCvCamera::~OpenCvCamera() {
    if (impl_) impl_->letGo();
}

OpenCvCamera::OpenCvCamera(OpenCvCamera&& other) noexcept = default;

OpenCvCamera& OpenCvCamera::operator=(OpenCvCamera&& other) noexcept {
    if (this != &other) {
        if (impl_) impl_->letGo();
        impl_ = std::move(other.impl_);
    }
    return *this;
}

bool OpenCvCamera::open(int index, const std::string& source, int width, int height, double fps) {
    impl_->letGo();
    std::error_code error;
    if (isFilePath(source) && !std::filesystem::exists(source, error)) {
        impl_->failure = CameraFailure::SourceNotFound;
        return false;
    }
    impl_->failure = CameraFailure::None;
    impl_->session = std::make_shared<Session>();
    impl_->openStarted = Time::now();
    auto worker = std::make_shared<CaptureThread>(
        impl_->session, OpenRequest{index, source, width, height, fps}, impl_->settings);
    impl_->thread = std::thread([worker] { worker->run(); });
    return true;
}

bool OpenCvCamera::read(cv::Mat& frame) {
    if (!impl_ || !impl_->session) {
        frame.release();
        return false;
    }
    // A paced video waits up to one frame period inside the read, on top of the time-out.
    std::optional<bool> ok = impl_->runJob(Session::Job::Read,
                                           milliseconds(impl_->settings.readTimeoutMs + 1000),
                                           &frame);
    if (ok && *ok) return true;
    frame.release();
    if (ok) impl_->failure = CameraFailure::NoFrame;
    // The thread of a read or open that timed out may hang for long: it is let go.
    if (!ok) impl_->letGo();
    return false;
}

void OpenCvCamera::release() {
    if (impl_) impl_->letGo();
}

bool OpenCvCamera::isOpen() const {
    return status() == CameraStatus::Open;
}

CameraStatus OpenCvCamera::status() const {
    if (!impl_) return CameraStatus::Closed;
    Impl& impl = *impl_;
    if (!impl.session)
        return impl.failure != CameraFailure::None ? CameraStatus::Failed : CameraStatus::Closed;
    bool overdue = Time::now() > impl.openStarted + milliseconds(impl.settings.openTimeoutMs);
    {
        std::lock_guard<std::mutex> lock(impl.session->mutex);
        if (!impl.session->opening)
            return impl.session->opened ? CameraStatus::Open : CameraStatus::Failed;
        if (!overdue) return CameraStatus::Opening;
    }
    // An open that outlived its time-out is given up, whatever the back end does.
    impl.failure = CameraFailure::OpenTimedOut;
    impl.letGo();
    return CameraStatus::Failed;
}

CameraFailure OpenCvCamera::failure() const {
    return impl_ ? impl_->failure : CameraFailure::None;
}

bool OpenCvCamera::turnOff(CameraControl control) {
    if (!impl_ || !impl_->session) return false;
    {
        std::lock_guard<std::mutex> lock(impl_->session->mutex);
        impl_->session->control = control;
    }
    std::optional<bool> ok = impl_->runJob(Session::Job::TurnOff,
                                           milliseconds(impl_->settings.readTimeoutMs), nullptr);
    if (!ok) impl_->letGo();
    return ok.value_or(false);
}

std::vector<VideoDevice> OpenCvCamera::devices() const {
    const std::string& root = impl_ ? impl_->settings.sysfsRoot : std::string("/sys");
    return listVideoDevices(root, root == "/sys");
}

}  // namespace kalvento
