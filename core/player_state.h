#pragma once
// The groups of the player's state record that hold images (the clip cache, the camera's
// frames), and the whole record. The groups of numbers are in core/state.h.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include <opencv2/core/mat.hpp>

#include "core/state.h"

namespace kalvento {

// The clip table of the current contents folder and its image cache.
struct ContentsState {
    std::vector<kalvento::FrameData> FrameData = std::vector<kalvento::FrameData>(kMaxClips);
    std::vector<cv::Mat> FrameImage = std::vector<cv::Mat>(kMaxClips);  // empty = null
    int MaxCount = 0;  // clips of the current folder, 0 .. kMaxClips
    int DirNum = 0;    // 0-based folder index; folder name "S" + (DirNum + 1) in 3 digits
};

// Camera and motion measurement.
struct CameraState {
    int CameraLogMode = 2;
    int CamActive = 0;
    int CamChan = 3;  // camera index, 0 .. 31
    int CamFlipV = 0;
    int CamFlipH = 1;
    int CamBeep = 0;
    int IgnoreCamConfig = 0;              // set by the camera keys: the camera file is not read
    int CameraLost = 0;                   // 1 after a capture failure closed the camera, 2 when it never opened
    int PixelStep = 4;                    // sampling step of the frame differencing
    int QBN_threshold = 11500;            // motion threshold parameter
    double ThresholdMargin = 1.05;        // margin ratio over the measured motion ('g', 'h', 'H')
    int VR_threshold = 153600 / (4 * 4);  // threshold in use
    int DifferenceSum = 0;
    int CamFrameSlot = 0;  // half of the frame pair that receives the next frame
    std::vector<uint8_t> CamFramePair = std::vector<uint8_t>(2 * kCamFrameBytes);
    cv::Mat CamFrame;          // the last camera frame as it came, its buffer reused
    cv::Mat CamGray;           // the last camera frame in gray, kept for the whole run
    std::string CameraSource;  // a video or stream opened instead of camera CamChan
    int CamWidth = kCamWidth;  // the frame size asked of the camera
    int CamHeight = kCamHeight;
    FrameFit CamFit = FrameFit::Refuse;
    cv::Mat CamScaled;          // the gray frame scaled to 320 x 240, its buffer reused
    int CamLock = 0;            // 1: automatic exposure, white balance and focus turned off
    unsigned CamLockRefused = 0;  // bits of the controls the camera refused (reported once)
    int CamNormalize = 0;       // 1: each frame brought to the previous frame's mean gray
};

// The whole record.
struct State {
    ContentsState contents;
    PlaybackState playback;
    MouseState mouse;
    CameraState camera;
    KeyFrameState keyFrames;
    SelectionState selection;
    MovieState movie;
    HomeState home;
    GestureState gesture;
    CommandLineState commandLine;
    std::array<uint8_t, kSharedBlockBytes> SI{};  // local copy of the shared block
    cv::Mat KeyAllocationImage;                   // shown while paused; empty when missing
};

}  // namespace kalvento
