#include "core/playback.h"

namespace kalvento {

void setFramePosition(PlaybackState& playback, double position) {
    playback.frame_no = position;
}

void moveFramePosition(PlaybackState& playback, double delta) {
    playback.frame_no += delta;
}

void setFolderIndex(ContentsState& contents, int dirNum) {
    contents.DirNum = dirNum;
}

}  // namespace kalvento
