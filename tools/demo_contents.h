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
// of the motion); a backward part goes back to rest. A `fade` part does not move: the picture
// of the pose it leaves dissolves into the one it reaches, every frame changing by less than
// the recogniser's difference threshold, so that the player sees a figure standing still.
struct GesturePart {
    GestureMotion motion;
    int frames;
    bool backward = false;
    int stillAfter = 0;
    double reach = 1.0;
    bool fade = false;
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

// The learning video's frame rate and the stillness before each learned motion. Before its
// Go! a learning run counts down (5 steps of 600 ms), has its quiet phase (30 still turns) and
// waits one more step: read at the video's own pace that is 5.6 s or more, 84 frames; read
// one frame per turn it is the quiet phase's 30 frames only, and the learning turns after Go!
// read the rest of the stillness before the motion comes. 10 s (150 frames) serve both, also
// for the first run, which the camera's opening precedes.
inline constexpr double kLearningFps = 15.0;
inline constexpr int kLearningStillBefore = 150;

// After a learned motion the figure holds its end pose for kLearningEndHold frames: the turn
// that ends the run, and the next run's countdown (3 s, 45 frames, and 10 to spare for a late
// one) when the video is read at its own pace, during which the player reads no frame; a quiet
// phase reading one frame a turn sees it standing still. Then it goes back to rest as a slow
// fade (see GesturePart) of kLearningFadeFrames frames, each changing a pixel by under 4 grey
// levels, so that neither a quiet phase nor a learning turn reading them sees motion, even when
// a countdown later still skips a few of them. The rest of kLearningStillBefore frames follows.
inline constexpr int kLearningEndHold = 55;
inline constexpr int kLearningFadeFrames = 60;

// A video for "--learn 2": motion A, motion B, then A and B again as the similar motions, each
// after kLearningStillBefore frames of stillness (hold, fade, rest) and the last followed by
// some more for its review and FINISHED!. So the player says Go! while the figure stands still
// and never has to ask it to stop, whether the video is read at its own pace (in a window) or
// one frame a turn (--camera-source-unpaced).
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
