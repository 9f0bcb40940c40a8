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

// The picture shown while the player is paused: the keys and what they do.
bool writeKeyAllocationPicture(const std::string& path);

}  // namespace kalvento::demo
