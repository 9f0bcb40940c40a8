#include "settings/camera_config.h"

#include <algorithm>

#include "core/decimal.h"
#include "core/player_state.h"
#include "core/read_whole.h"

namespace kalvento {

namespace {

constexpr int kMaxCamChan = 31;

}  // namespace

void ReadCameraConfig(State& state, FileOps& files, Console& console) {
    CameraState& camera = state.camera;
    if (camera.IgnoreCamConfig == 1) {
        console.print(
            "\nATTENTION: The system ignored the configuration file [ SetCamera3.txt ].\n\n");
        return;
    }
    std::optional<std::string> text =
        readWholeFile(files, console, kCameraConfigFileName, 64 * 1024);
    if (!text) return;
    console.print("\n--------------------------------------\n");
    console.print(" 1 : [ CamFlipV    (Set 0 or 1)] \n");
    console.print(" 2 : [ CamFlipH    (Set 0 or 1)] \n");
    console.print(" 3 : [ CamChan     (Set 0 -- n)] \n");
    console.print(" 4 : [ CamOnMemory (Set 1 -- %d)] \n", kMaxCamOnMemory);
    console.print(" 5 : [ CamBeep     (Set 0 or 1)] \n");
    console.print("--------------------------------------\n");
    size_t pos = 0;
    bool readable = true;  // after the first number that is not one, nothing more is read
    auto next = [&](int& field) {
        int value = 0;
        if (readable && parseDecimal(*text, pos, value))
            field = value;
        else
            readable = false;
    };
    auto flag = [](int value) { return value == 0 ? 0 : 1; };
    next(camera.CamFlipV);
    camera.CamFlipV = flag(camera.CamFlipV);
    console.print("変数設定： CamFlipV     = %d ( 1-> Invert Camera Image Vertically) \n",
                  camera.CamFlipV);
    next(camera.CamFlipH);
    camera.CamFlipH = flag(camera.CamFlipH);
    console.print("変数設定： CamFlipH     = %d ( 1-> Invert Camera Image Horizontally) \n",
                  camera.CamFlipH);
    next(camera.CamChan);
    camera.CamChan = std::clamp(camera.CamChan, 0, kMaxCamChan);
    console.print("変数設定： CamChan      = %d ( Camera ID number ) \n", camera.CamChan);
    int& onMemory = state.playback.CamOnMemory;
    next(onMemory);
    onMemory = std::clamp(onMemory, 1, kMaxCamOnMemory);
    console.print("変数設定： CamOnMemory  = %d ( Number of On-Memory Frames ) \n", onMemory);
    next(camera.CamBeep);
    camera.CamBeep = flag(camera.CamBeep);
    console.print("変数設定： CamBeep      = %d ( 1-> Beep ON ) \n", camera.CamBeep);
}

}  // namespace kalvento
