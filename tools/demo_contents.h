#pragma once
// Generated contents for demos, tests and benchmarks: contents folders of numbered JPEG clips
// showing a moving scene with the clip number drawn on it, a camera video with a moving
// figure, and the key-allocation picture.

#include <string>
#include <vector>

#include <opencv2/core.hpp>

namespace kalvento::demo {

// The picture of clip `index` of a folder of `count` clips: a scene that moves with the index
// and the folder and clip numbers written large, so a viewer sees where they are.
cv::Mat drawClip(int folderNo, int index, int count, cv::Size size);

// Writes clip_%05d.jpg for each of `numbers` into `folder` (created when missing, with its
// parents). False when a file could not be written.
bool writeClips(const std::string& folder, const std::vector<int>& numbers, cv::Size size,
                int folderNo, int quality = 90);

// Writes clips 0 .. count-1.
bool writeFolder(const std::string& folder, int count, cv::Size size, int folderNo,
                 int quality = 90);

// A camera video: a figure that moves for `movingFrames` frames and then stands still for
// `stillFrames` frames, repeated `cycles` times, on a plain background. While it stands still
// only a small patch in the top right corner flickers, as a real camera's picture never stays
// exactly the same.
bool writeCameraVideo(const std::string& path, cv::Size size, double fps, int movingFrames,
                      int stillFrames, int cycles);

// The two motions of the gesture video, both starting and ending at the rest pose (arms
// hanging) when performed forward and then backward.
enum class GestureMotion {
    SweepArm,   // A: the left arm sweeps sideways from hanging, out to the side, up overhead
    RaiseArms,  // B: both arms are raised sideways to shoulder height and a little above
};

// One performance: the motion forward (from rest to its end pose) or backward (back to rest)
// in `frames` frames, then `stillAfter` frames standing still in the pose it reached.
// A forward part starts where the motion is and goes on to `reach` (1: the end pose; 0.5 half
// of the motion); a backward part goes back to rest.
struct GesturePart {
    GestureMotion motion;
    int frames;
    bool backward = false;
    int stillAfter = 0;
    double reach = 1.0;
};

// How the camera sees the scene: the figure moved sideways and drawn `scale` times as large
// (another performer), sensor noise (standard deviation in
// grey levels, from frame `noiseFrom` on) and a change of light (by `lightChange` grey levels,
// spread over `lightFrames` frames from frame `lightFrom` on). The default is a perfect camera.
struct GestureVideoLook {
    int shiftX = 0;
    double scale = 1.0;
    double noise = 0.0;
    int noiseFrom = -1;
    double lightChange = 0.0;
    int lightFrom = -1;
    int lightFrames = 1;
};

// A camera video of a white figure on a plain dark background performing `parts` in order,
// after `stillBefore` frames at rest. Still frames are exact copies, so a still scene shows no
// change at all (unless `look` adds noise). False for a size below 64 x 48, a part of fewer
// than 1 frame or a reach outside 0 .. 1, or a write error.
bool writeGestureVideo(const std::string& path, cv::Size size, double fps, int stillBefore,
                       const std::vector<GesturePart>& parts, const GestureVideoLook& look = {});

// The truth of every frame of such a video: the motion last performed and how far along it the
// figure is (0 rest .. 1 end pose); `performed` is false for the frames before the first part.
struct TruePhase {
    GestureMotion motion = GestureMotion::SweepArm;
    double amount = 0.0;
    bool performed = false;
};
std::vector<TruePhase> gesturePhases(int stillBefore, const std::vector<GesturePart>& parts);

// The parts of the demo: each motion performed forward and back several times at different
// speeds, with pauses between.
std::vector<GesturePart> demoGestureParts();

// Still frames at the start of the learning video: the first turn and the quiet phase (30
// still turns) of the first learning run, and some to spare.
inline constexpr int kLearningStillBefore = 45;

// A video for "--learn 2": motion A, motion B, then A and B again as the similar motions, each
// followed by one still frame (the turn that ends the run) and the way back to rest, which the
// next run's quiet phase (or the review) sees, then stillness for that quiet phase. Frames are
// read one per turn, so the motions fall into the learning turns.
std::vector<GesturePart> learningGestureParts(int frames = 6);

// The gesture-quality benchmark's videos: each learned motion performed in `frames` frames
// (learningGestureParts(kBenchLearnedFrames)), then recognition videos of them as learned, at
// half and double speed, half and three quarters of the way, forward and back, with the figure
// shifted, a smaller figure, with camera noise, with a change of light, and nobody moving.
inline constexpr int kBenchLearnedFrames = 8;
struct BenchGestureVideo {
    std::string name;
    int stillBefore;
    std::vector<GesturePart> parts;
    GestureVideoLook look;
};
std::vector<BenchGestureVideo> benchGestureVideos();

// The first frame that differs from the one before (-1 none): the noise, the light or the
// motion starting.
int firstChangedFrame(const BenchGestureVideo& video);

// Writes the truth of every frame of `video` as text: a comment, "# first-change N", then one
// line "FRAME GESTURE PHASE" a frame (gesture "A", "B" or "-" before anything is performed).
bool writePhaseFile(const std::string& path, const BenchGestureVideo& video);

// A video for recognition: A forward, A backward, B forward, B backward, with pauses.
std::vector<GesturePart> recognitionGestureParts();

// The picture shown while the player is paused: the keys and what they do.
bool writeKeyAllocationPicture(const std::string& path);

}  // namespace kalvento::demo
