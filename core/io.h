#pragma once
// What the player touches outside itself, bundled: each piece is a small interface with a real
// implementation (the fakes of tests are in tests/support/).

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/camera.h"
#include "platform/clip_reader.h"
#include "platform/clock.h"
#include "core/events.h"
#include "platform/file_ops.h"
#include "platform/image_loader.h"
#include "platform/osc.h"
#include "platform/process_runner.h"
#include "platform/shared_block.h"
#include "platform/window.h"

namespace kalvento {

struct Question;
class QuestionDesk;

// The mouse callback and its user data, registered again whenever the window is re-created.
struct MouseHook {
    MouseCallback callback = nullptr;
    void* user = nullptr;
};

// Opens the named shared block; null with the reason when it cannot (and, for OtherOwner, the
// uid of the block's owner in `owner`).
using SharedBlockOpener = std::function<std::unique_ptr<SharedBlock>(
    const std::string& name, SharedBlockFailure& failure, uint32_t& owner)>;

struct Io {
    Window& window;
    Events& console;  // prints and tells the on-screen display
    FileOps& files;
    Clock& clock;
    ImageLoader& images;
    Camera& camera;
    MouseHook mouse;
    // Unset: a block of this process's own memory.
    SharedBlockOpener openSharedBlock;
    // Starts the movie encoder; the player cannot make movies while it is null.
    ProcessRunner* processes = nullptr;
    // Sends and receives OSC messages; null when the player neither sends nor listens.
    OscPort* osc = nullptr;
    // Loads the clips of the display step, with read-ahead; null: they load through `images`.
    ClipReader* clips = nullptr;
    // Asks the console questions; null: they are asked on `console` alone.
    QuestionDesk* questions = nullptr;
    // Shows `lines` as a page of big text in the window and waits until ESC or the window is
    // closed; unset where no page can be shown (headless, no font).
    std::function<void(const std::vector<std::string>& lines)> showPage = nullptr;

    // A console question and its answer (nullopt when none came), through `questions`.
    std::optional<std::string> ask(const Question& question);
    std::optional<int> askNumber(const Question& question);

    // Creates the player window and registers the mouse callback on it.
    void createWindow(WindowMode mode) {
        window.create(mode);
        window.setMouseCallback(mouse.callback, mouse.user);
    }

    // Gives the window the size of `clip` (a fullscreen window stays as it is) and shows it.
    // The window stays the same window: its id, its keyboard focus and its mouse callback go
    // on, and no key is dropped. An empty `clip` changes nothing.
    void sizeWindowTo(const cv::Mat& clip) {
        if (clip.empty()) return;
        window.sizeToPicture(clip.size());
        window.show(clip);
    }
};

}  // namespace kalvento
