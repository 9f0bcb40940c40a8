#include "tools/demo_contents.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <numbers>
#include <system_error>

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>
#include <opencv2/videoio.hpp>

namespace kalvento::demo {

namespace {

namespace fs = std::filesystem;

// The colours of one folder's scene (BGR).
struct Scheme {
    cv::Scalar skyTop;
    cv::Scalar skyBottom;
    cv::Scalar hills;
    cv::Scalar ground;
    cv::Scalar ball;
    cv::Scalar figure;
};

const Scheme kSchemes[] = {
    // day: blue sky, green hills, orange ball
    {{180, 110, 40}, {250, 220, 170}, {60, 140, 60}, {40, 100, 120}, {0, 150, 255}, {40, 40, 40}},
    // dusk: purple to orange, dark hills, yellow sun
    {{110, 40, 70}, {80, 150, 250}, {60, 40, 50}, {40, 60, 90}, {60, 230, 255}, {20, 20, 20}},
    // night: navy sky, grey hills, pale moon
    {{60, 20, 10}, {120, 60, 30}, {70, 70, 80}, {40, 40, 45}, {220, 240, 245}, {200, 200, 200}},
    // desert: pale sky, sand dunes, red ball
    {{220, 190, 150},
     {210, 230, 240},
     {90, 170, 220},
     {110, 190, 235},
     {30, 30, 210},
     {60, 30, 20}},
    // sea: teal sky, blue water, white ball
    {{150, 130, 30}, {230, 230, 190}, {150, 90, 20}, {120, 60, 10}, {250, 250, 250}, {30, 30, 90}},
    // forest: green haze, deep green hills, magenta ball
    {{90, 140, 60}, {200, 230, 200}, {30, 80, 20}, {20, 60, 40}, {200, 40, 220}, {250, 250, 250}},
};

const Scheme& schemeOf(int folderNo) {
    constexpr int n = static_cast<int>(std::size(kSchemes));
    return kSchemes[((folderNo - 1) % n + n) % n];
}

cv::Scalar mix(const cv::Scalar& a, const cv::Scalar& b, double t) {
    return a * (1.0 - t) + b * t;
}

std::string clipFileName(int number) {
    char name[32];
    std::snprintf(name, sizeof name, "clip_%05d.jpg", number);
    return name;
}

bool makeParentFolders(const std::string& path) {
    const fs::path parent = fs::path(path).parent_path();
    if (parent.empty()) return true;
    std::error_code error;
    fs::create_directories(parent, error);
    return !error;
}

// A stick figure standing on `feet`, `height` pixels tall; `stride` in -1..1 swings its legs
// and arms.
void drawFigure(cv::Mat& image, cv::Point feet, int height, double stride,
                const cv::Scalar& colour) {
    const int thickness = std::max(2, height / 14);
    const int headRadius = std::max(2, height / 9);
    const cv::Point hip(feet.x, feet.y - height * 9 / 20);
    const cv::Point neck(feet.x, feet.y - height * 8 / 10);
    const cv::Point head(feet.x, neck.y - headRadius);
    const int legSwing = static_cast<int>(stride * height * 0.22);
    const int armSwing = static_cast<int>(stride * height * 0.18);
    cv::line(image, hip, cv::Point(feet.x - legSwing, feet.y), colour, thickness, cv::LINE_AA);
    cv::line(image, hip, cv::Point(feet.x + legSwing, feet.y), colour, thickness, cv::LINE_AA);
    cv::line(image, hip, neck, colour, thickness + 2, cv::LINE_AA);
    const cv::Point shoulder(feet.x, neck.y + height / 20);
    const int handY = hip.y + height / 30;
    cv::line(image, shoulder, cv::Point(feet.x + armSwing, handY), colour, thickness, cv::LINE_AA);
    cv::line(image, shoulder, cv::Point(feet.x - armSwing, handY), colour, thickness, cv::LINE_AA);
    cv::circle(image, head, headRadius, colour, cv::FILLED, cv::LINE_AA);
}

// Text with a dark outline, readable on any background.
void drawLabel(cv::Mat& image, const std::string& text, cv::Point origin, double scale,
               int thickness, const cv::Scalar& colour) {
    cv::putText(image, text, origin, cv::FONT_HERSHEY_SIMPLEX, scale, cv::Scalar(0, 0, 0),
                thickness + std::max(2, thickness), cv::LINE_AA);
    cv::putText(image, text, origin, cv::FONT_HERSHEY_SIMPLEX, scale, colour, thickness,
                cv::LINE_AA);
}

}  // namespace

cv::Mat drawClip(int folderNo, int index, int count, cv::Size size) {
    const int w = std::max(1, size.width);
    const int h = std::max(1, size.height);
    const Scheme& scheme = schemeOf(folderNo);
    const double t = count > 1 ? std::clamp(double(index) / (count - 1), 0.0, 1.0) : 0.0;
    cv::Mat image(h, w, CV_8UC3);

    // Sky: a vertical gradient that brightens and darkens slowly over the folder.
    const int horizon = h * 2 / 3;
    const double light = 0.85 + 0.15 * std::sin(2.0 * std::numbers::pi * t);
    for (int y = 0; y < horizon; ++y) {
        image.row(y).setTo(mix(scheme.skyTop, scheme.skyBottom, double(y) / horizon) * light);
    }
    image.rowRange(horizon, h).setTo(scheme.ground);

    // The ball crosses the sky on an arc, from the first clip to the last.
    const int radius = std::max(2, h / 12);
    const double rise = std::sin(std::numbers::pi * t) * std::max(0, horizon - 3 * radius);
    const cv::Point ball(radius + static_cast<int>(t * (w - 2 * radius)),
                         horizon - radius - static_cast<int>(rise));
    cv::circle(image, ball, radius, scheme.ball, cv::FILLED, cv::LINE_AA);

    // Hills that scroll sideways, one hill width every 100 clips.
    std::vector<cv::Point> hills;
    const int step = std::max(1, w / 32);
    const double shift = index * 0.01 * 2.0 * std::numbers::pi;
    for (int x = 0; x <= w + step; x += step) {
        const double phase = 2.0 * std::numbers::pi * x / w * 1.5 + shift;
        const double height = (0.55 + 0.25 * std::sin(phase) + 0.2 * std::sin(2.3 * phase + 1.0));
        hills.emplace_back(x, horizon - static_cast<int>(height * h / 6));
    }
    hills.emplace_back(w + step, horizon);
    hills.emplace_back(0, horizon);
    cv::fillPoly(image, std::vector<std::vector<cv::Point>>{hills}, scheme.hills, cv::LINE_AA);

    // Ground stripes that run towards the viewer.
    const int stripeGap = std::max(4, w / 10);
    const int offset = (index * std::max(1, stripeGap / 10)) % stripeGap;
    for (int x = offset - stripeGap * 3; x < w + stripeGap * 3; x += stripeGap) {
        const cv::Point top(w / 2 + (x - w / 2) / 3, horizon);
        const cv::Point bottom(x + (x - w / 2), h);
        cv::line(image, top, bottom, mix(scheme.ground, cv::Scalar(255, 255, 255), 0.25),
                 std::max(1, w / 320), cv::LINE_AA);
    }

    // A figure walking along the ground, one stride every 8 clips.
    const int figureHeight = std::max(8, h / 4);
    const int walkRange = std::max(1, w - figureHeight);
    const int walked = (index * std::max(1, w / 160)) % (2 * walkRange);
    const int figureX = figureHeight / 2 + (walked < walkRange ? walked : 2 * walkRange - walked);
    drawFigure(image, cv::Point(figureX, horizon + (h - horizon) / 2), figureHeight,
               std::sin(index * std::numbers::pi / 4.0), scheme.figure);

    // Where we are: the folder and clip numbers, large, and a progress bar.
    char label[64];
    std::snprintf(label, sizeof label, "S%03d  clip %05d / %05d", folderNo, index,
                  std::max(0, count - 1));
    const double scale = w / 640.0 * 1.2;
    const int thickness = std::max(1, static_cast<int>(std::lround(w / 640.0 * 3)));
    int baseline = 0;
    const cv::Size textSize =
        cv::getTextSize(label, cv::FONT_HERSHEY_SIMPLEX, scale, thickness, &baseline);
    drawLabel(image, label, cv::Point((w - textSize.width) / 2, h / 20 + textSize.height), scale,
              thickness, cv::Scalar(255, 255, 255));
    const int barHeight = std::max(2, h / 60);
    const cv::Rect bar(0, h - barHeight, w, barHeight);
    cv::rectangle(image, bar, cv::Scalar(0, 0, 0), cv::FILLED);
    cv::rectangle(image, cv::Rect(0, h - barHeight, static_cast<int>(t * w) + 1, barHeight),
                  scheme.ball, cv::FILLED);
    return image;
}

bool writeClips(const std::string& folder, const std::vector<int>& numbers, cv::Size size,
                int folderNo, int quality) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder)) return false;
    if (numbers.empty()) return true;
    const int count = *std::max_element(numbers.begin(), numbers.end()) + 1;
    const std::vector<int> params = {cv::IMWRITE_JPEG_QUALITY, std::clamp(quality, 1, 100)};
    std::atomic<bool> ok{true};
    auto write = [&](const cv::Range& r) {
        for (int i = r.start; i < r.end && ok; ++i) {
            const int number = numbers[static_cast<std::size_t>(i)];
            const std::string path = (fs::path(folder) / clipFileName(number)).string();
            if (number < 0 || !cv::imwrite(path, drawClip(folderNo, number, count, size), params)) {
                ok = false;
            }
        }
    };
    const cv::Range all(0, static_cast<int>(numbers.size()));
#if defined(__SANITIZE_THREAD__)
    // ThreadSanitizer cannot see how OpenCV's TBB workers hand their work back.
    write(all);
#else
    // Clips are independent: drawing and encoding them spreads over the cores.
    cv::parallel_for_(all, write);
#endif
    return ok;
}

bool writeFolder(const std::string& folder, int count, cv::Size size, int folderNo, int quality) {
    std::vector<int> numbers(static_cast<std::size_t>(std::max(0, count)));
    for (std::size_t i = 0; i < numbers.size(); ++i) numbers[i] = static_cast<int>(i);
    return writeClips(folder, numbers, size, folderNo, quality);
}

bool writeCameraVideo(const std::string& path, cv::Size size, double fps, int movingFrames,
                      int stillFrames, int cycles) {
    if (size.width < 16 || size.height < 16 || !(fps > 0.0) || movingFrames < 0 ||
        stillFrames < 0 || cycles < 1 || movingFrames + stillFrames < 1) {
        return false;
    }
    if (!makeParentFolders(path)) return false;
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps, size);
    if (!writer.isOpened()) return false;

    const int w = size.width;
    const int h = size.height;
    cv::Mat background(h, w, CV_8UC3, cv::Scalar(200, 205, 210));
    const int floorY = h * 7 / 8;
    background.rowRange(floorY, h).setTo(cv::Scalar(150, 160, 170));
    cv::rectangle(background, cv::Rect(w / 10, h / 8, w / 5, h / 3), cv::Scalar(170, 140, 110),
                  cv::FILLED);  // a picture on the wall, so the scene is not empty

    // The figure walks back and forth between the walls; each moving frame is one step.
    const int figureHeight = h * 5 / 8;
    const int margin = figureHeight / 3;
    const int range = std::max(1, w - 2 * margin);
    const int stepPixels = std::max(2, w / 40);
    auto frameAfterSteps = [&](int steps) {
        const int travelled = (steps * stepPixels) % (2 * range);
        const int x = margin + (travelled < range ? travelled : 2 * range - travelled);
        cv::Mat frame = background.clone();
        drawFigure(frame, cv::Point(x, floorY), figureHeight, std::sin(steps * 0.9),
                   cv::Scalar(40, 40, 60));
        return frame;
    };

    int steps = 0;
    cv::Mat frame = frameAfterSteps(steps);
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (int i = 0; i < movingFrames; ++i) {
            if (cycle > 0 || i > 0) frame = frameAfterSteps(++steps);
            writer.write(frame);
        }
        // Standing still, like a real camera the picture is never quite the same: a small
        // flicker in a corner stays far below any motion threshold but is not nothing.
        for (int i = 0; i < stillFrames; ++i) {
            cv::Mat still = frame.clone();
            cv::rectangle(still, cv::Rect(w - 12, 4, 8, 8),
                          i % 2 ? cv::Scalar(210, 210, 210) : cv::Scalar(160, 160, 160),
                          cv::FILLED);
            writer.write(still);
        }
    }
    writer.release();
    return true;
}

namespace {

// The pose of the gesture figure: how far each motion has gone, 0 (rest) .. 1 (end pose).
struct GesturePose {
    double sweep = 0.0;
    double raise = 0.0;
};

cv::Mat drawGestureFigure(cv::Size size, const GesturePose& pose, int shiftX = 0,
                          double scale = 1.0) {
    const int w = size.width, h = size.height;
    cv::Mat frame(h, w, CV_8UC3, cv::Scalar(30, 30, 30));
    const cv::Scalar white(255, 255, 255);
    const double unit = h / 240.0 * scale;
    const int thick = std::max(3, static_cast<int>(14 * unit));
    const int middle = w / 2 + shiftX;
    const cv::Point neck(middle, static_cast<int>(h * 0.35));
    const cv::Point hip(middle, static_cast<int>(h * 0.68));
    cv::circle(frame, cv::Point(middle, static_cast<int>(h * 0.24)), static_cast<int>(20 * unit),
               white, cv::FILLED, cv::LINE_8);
    cv::line(frame, neck, hip, white, thick + 4, cv::LINE_8);
    const int leg = static_cast<int>(65 * unit);
    cv::line(frame, hip, hip + cv::Point(-leg / 3, leg), white, thick, cv::LINE_8);
    cv::line(frame, hip, hip + cv::Point(leg / 3, leg), white, thick, cv::LINE_8);

    // Angles in degrees, counter-clockwise from pointing right, with y up: 270 hangs down.
    const double arm = 75 * unit;
    const cv::Point leftShoulder = neck + cv::Point(-static_cast<int>(18 * unit), 0);
    const cv::Point rightShoulder = neck + cv::Point(static_cast<int>(18 * unit), 0);
    const double leftAngle = 270.0 - 180.0 * pose.sweep - 120.0 * pose.raise;
    const double rightAngle = -90.0 + 120.0 * pose.raise;
    auto hand = [&](cv::Point shoulder, double degrees) {
        const double radians = degrees * CV_PI / 180.0;
        return shoulder + cv::Point(static_cast<int>(std::lround(arm * std::cos(radians))),
                                    static_cast<int>(std::lround(-arm * std::sin(radians))));
    };
    cv::line(frame, leftShoulder, hand(leftShoulder, leftAngle), white, thick, cv::LINE_8);
    cv::line(frame, rightShoulder, hand(rightShoulder, rightAngle), white, thick, cv::LINE_8);
    return frame;
}

}  // namespace

std::vector<TruePhase> gesturePhases(int stillBefore, const std::vector<GesturePart>& parts) {
    std::vector<TruePhase> phases(static_cast<size_t>(std::max(0, stillBefore)));
    GesturePose pose;
    for (const GesturePart& part : parts) {
        double& amount = part.motion == GestureMotion::SweepArm ? pose.sweep : pose.raise;
        const double from = amount;
        const double to = part.backward ? 0.0 : part.reach;
        for (int k = 1; k <= part.frames; ++k) {
            amount = from + (to - from) * k / part.frames;
            phases.push_back({part.motion, amount, true});
        }
        for (int i = 0; i < part.stillAfter; ++i) phases.push_back({part.motion, amount, true});
    }
    return phases;
}

bool writeGestureVideo(const std::string& path, cv::Size size, double fps, int stillBefore,
                       const std::vector<GesturePart>& parts, const GestureVideoLook& look) {
    if (size.width < 64 || size.height < 48 || !(fps > 0.0) || stillBefore < 0) return false;
    for (const GesturePart& part : parts)
        if (part.frames < 1 || part.stillAfter < 0 || !(part.reach > 0.0 && part.reach <= 1.0))
            return false;
    if (!makeParentFolders(path)) return false;
    cv::VideoWriter writer(path, cv::VideoWriter::fourcc('M', 'J', 'P', 'G'), fps, size);
    if (!writer.isOpened()) return false;

    // The camera's look of frame `index`: the light and the sensor noise, from their frames on.
    cv::RNG noise(12345);
    int index = 0;
    auto write = [&](const cv::Mat& picture) {
        cv::Mat frame = picture;
        if (look.lightFrom >= 0 && index >= look.lightFrom) {
            const double share = std::min(1.0, (index - look.lightFrom + 1.0) / look.lightFrames);
            frame = picture.clone();
            frame.convertTo(frame, -1, 1.0, look.lightChange * share);
        }
        if (look.noise > 0.0 && look.noiseFrom >= 0 && index >= look.noiseFrom) {
            cv::Mat grain(frame.size(), CV_16SC3);
            noise.fill(grain, cv::RNG::NORMAL, 0.0, look.noise);
            cv::Mat noisy;
            frame.convertTo(noisy, CV_16SC3);
            noisy += grain;
            noisy.convertTo(frame, CV_8UC3);
        }
        writer.write(frame);
        ++index;
    };

    GesturePose pose;
    cv::Mat frame = drawGestureFigure(size, pose, look.shiftX, look.scale);
    for (int i = 0; i < stillBefore; ++i) write(frame);
    for (const GesturePart& part : parts) {
        double& amount = part.motion == GestureMotion::SweepArm ? pose.sweep : pose.raise;
        const double from = amount;
        const double to = part.backward ? 0.0 : part.reach;
        const cv::Mat left = frame;
        if (part.fade) {
            amount = to;
            frame = drawGestureFigure(size, pose, look.shiftX, look.scale);
        }
        for (int k = 1; k <= part.frames; ++k) {
            if (part.fade) {
                const double share = static_cast<double>(k) / part.frames;
                cv::Mat blend;
                cv::addWeighted(left, 1.0 - share, frame, share, 0.0, blend);
                write(blend);
                continue;
            }
            amount = from + (to - from) * k / part.frames;
            frame = drawGestureFigure(size, pose, look.shiftX, look.scale);
            write(frame);
        }
        for (int i = 0; i < part.stillAfter; ++i) write(frame);
    }
    writer.release();
    return true;
}

std::vector<GesturePart> demoGestureParts() {
    std::vector<GesturePart> parts;
    for (int frames : {6, 9, 5}) {
        parts.push_back({GestureMotion::SweepArm, frames, false, 20});
        parts.push_back({GestureMotion::SweepArm, frames, true, 20});
    }
    for (int frames : {6, 4, 8}) {
        parts.push_back({GestureMotion::RaiseArms, frames, false, 20});
        parts.push_back({GestureMotion::RaiseArms, frames, true, 20});
    }
    return parts;
}

std::vector<GesturePart> learningGestureParts(int frames) {
    std::vector<GesturePart> parts;
    constexpr int kRest = kLearningStillBefore - kLearningEndHold - kLearningFadeFrames;
    static_assert(kRest >= 0);
    constexpr int kLastRest = 100;  // the last review and FINISHED!
    const GestureMotion order[] = {GestureMotion::SweepArm, GestureMotion::RaiseArms,
                                   GestureMotion::SweepArm, GestureMotion::RaiseArms};
    for (size_t run = 0; run < std::size(order); ++run) {
        const bool last = run + 1 == std::size(order);
        parts.push_back({order[run], frames, false, kLearningEndHold});
        parts.push_back(
            {order[run], kLearningFadeFrames, true, last ? kLastRest : kRest, 1.0, true});
    }
    return parts;
}

std::vector<GesturePart> recognitionGestureParts() {
    return {
        {GestureMotion::SweepArm, 6, false, 12},
        {GestureMotion::SweepArm, 9, true, 12},
        {GestureMotion::RaiseArms, 6, false, 12},
        {GestureMotion::RaiseArms, 6, true, 30},
    };
}

std::vector<BenchGestureVideo> benchGestureVideos() {
    constexpr int kLeadIn = 20;  // still frames before anything changes
    constexpr int kRestAfter = 15;
    constexpr int kChangeAt = 10;  // noise or light change before the motion
    constexpr int f = kBenchLearnedFrames;
    const GestureMotion a = GestureMotion::SweepArm, b = GestureMotion::RaiseArms;
    GestureVideoLook shifted, smaller, noisy, light, quietNoise;
    shifted.shiftX = 40;
    smaller.scale = 0.85;
    noisy.noise = 8.0;
    noisy.noiseFrom = kChangeAt;
    light.lightChange = 50.0;
    light.lightFrom = kChangeAt;
    light.lightFrames = 1;
    quietNoise = noisy;
    return {
        {"A-as-learned", kLeadIn, {{a, f, false, kRestAfter}}, {}},
        {"A-half-speed", kLeadIn, {{a, 2 * f, false, kRestAfter}}, {}},
        {"A-double-speed", kLeadIn, {{a, f / 2, false, kRestAfter}}, {}},
        {"A-half-motion", kLeadIn, {{a, f / 2, false, kRestAfter, 0.5}}, {}},
        {"A-three-quarters", kLeadIn, {{a, f * 3 / 4, false, kRestAfter, 0.75}}, {}},
        {"A-forward-back", kLeadIn, {{a, f, false, 3}, {a, f, true, kRestAfter}}, {}},
        {"A-shifted", kLeadIn, {{a, f, false, kRestAfter}}, shifted},
        {"A-smaller-figure", kLeadIn, {{a, f, false, kRestAfter}}, smaller},
        {"A-camera-noise", kLeadIn, {{a, f, false, kRestAfter}}, noisy},
        {"A-light-change", kLeadIn, {{a, f, false, kRestAfter}}, light},
        {"B-as-learned", kLeadIn, {{b, f, false, kRestAfter}}, {}},
        {"B-double-speed", kLeadIn, {{b, f / 2, false, kRestAfter}}, {}},
        {"B-half-motion", kLeadIn, {{b, f / 2, false, kRestAfter, 0.5}}, {}},
        {"nobody-moving", 60, {}, {}},
        {"nobody-camera-noise", 60, {}, quietNoise},
    };
}

int firstChangedFrame(const BenchGestureVideo& video) {
    int first = video.parts.empty() ? -1 : video.stillBefore;
    for (int from : {video.look.noiseFrom, video.look.lightFrom})
        if (from >= 0 && (first < 0 || from < first)) first = from;
    return first;
}

bool writePhaseFile(const std::string& path, const BenchGestureVideo& video) {
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file) return false;
    std::fprintf(file, "# frame gesture phase (0 rest .. 1 end pose; - nobody performs)\n");
    std::fprintf(file, "# first-change %d\n", firstChangedFrame(video));
    int frame = 0;
    for (const TruePhase& truth : gesturePhases(video.stillBefore, video.parts)) {
        const char* name = !truth.performed                          ? "-"
                           : truth.motion == GestureMotion::SweepArm ? "A"
                                                                     : "B";
        std::fprintf(file, "%d %s %.4f\n", frame++, name, truth.amount);
    }
    return std::fclose(file) == 0;
}

bool writeKeyAllocationPicture(const std::string& path) {
    if (!makeParentFolders(path)) return false;
    cv::Mat picture(600, 800, CV_8UC3, cv::Scalar(50, 35, 25));
    cv::rectangle(picture, cv::Rect(0, 0, 800, 70), cv::Scalar(110, 70, 40), cv::FILLED);
    drawLabel(picture, "KALVENTO PLAYER - keys", cv::Point(30, 48), 1.2, 2,
              cv::Scalar(255, 255, 255));

    struct Row {
        const char* keys;
        const char* meaning;
    };
    const Row rows[] = {
        {"z / x", "step back / forward"},
        {"Z / X", "big step back / forward"},
        {"1 .. 9, 0", "go to folder S001 .. S010"},
        {"p / n", "previous / next folder"},
        {"j", "random folder"},
        {"TAB", "automatic replay on / off"},
        {"SPACE", "mouse on / off"},
        {"q", "camera on / off"},
        {"ENTER", "help on the console"},
        {"ESC", "pause (this picture)"},
    };
    int y = 120;
    for (const Row& row : rows) {
        cv::putText(picture, row.keys, cv::Point(50, y), cv::FONT_HERSHEY_SIMPLEX, 0.9,
                    cv::Scalar(120, 220, 255), 2, cv::LINE_AA);
        cv::putText(picture, row.meaning, cv::Point(270, y), cv::FONT_HERSHEY_SIMPLEX, 0.9,
                    cv::Scalar(240, 240, 240), 2, cv::LINE_AA);
        y += 44;
    }
    cv::line(picture, cv::Point(40, y - 18), cv::Point(760, y - 18), cv::Scalar(110, 70, 40), 2);
    cv::putText(picture, "Paused: ENTER plays on, ESC again quits.", cv::Point(50, y + 22),
                cv::FONT_HERSHEY_SIMPLEX, 0.9, cv::Scalar(120, 255, 160), 2, cv::LINE_AA);
    return cv::imwrite(path, picture, {cv::IMWRITE_JPEG_QUALITY, 95});
}

}  // namespace kalvento::demo
