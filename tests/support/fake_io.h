#pragma once
// The outside world of an in-process player for unit tests: a captured console, a window that
// records what it was asked to do, real files (inside the test's own folder) and a clock that
// moves only when told.

#include "platform/clock.h"
#include "platform/console.h"
#include "platform/file_ops.h"
#include "platform/image_loader.h"
#include "core/io.h"
#include "support/recording_window.h"
#include "support/capture_console.h"
#include "support/fake_camera.h"
#include "support/fake_clock.h"
#include "support/fake_process_runner.h"

namespace kalvento::test {

struct FakeIo {
    CaptureConsole console;
    RecordingWindow window;
    PosixFileOps files;
    FakeClock clock;
    TurboJpegLoader images;
    FakeCamera camera;
    FakeProcessRunner processes;
    Io io{window, console, files, clock, images, camera, {}, {}, &processes};
};

}  // namespace kalvento::test
