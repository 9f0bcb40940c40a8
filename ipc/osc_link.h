#pragma once
// The player's OSC link. Out: the motion of the turn, at most --osc-rate times a second
// (/kalvento/motion: camera number, own motion amount, shared total, threshold), the shown clip
// when it changes (/kalvento/clip: folder number, clip index, clip count) and, in the gesture mode,
// the recogniser's result
// (/kalvento/gesture: result, name, PHASE, SPEED, ACCEL, WIDTH). In: /kalvento/key (one
// character string or a key code 1 .. 255 as a whole number of any number type) queues a key
// for the key stage, one per turn, when the allowed keys hold it; /kalvento/motion from
// another player puts its motion amount (rounded when it is not whole) into the shared block
// slot of its camera number, so a remote camera is followed like a local one.
// /kalvento/command (the command's name as a string, its arguments after it, of any type)
// queues a command when the allowed commands hold it (and, for `key K`, the allowed keys K).
// /kalvento/status answers the sender with every state message. The state goes out as it
// changes, one message per item, named as the command that sets it: /kalvento/folder i,
// /kalvento/threshold i, /kalvento/osd i, /kalvento/camera i, /kalvento/follow i,
// /kalvento/paused i and /kalvento/waiting s. Everything else that arrives is dropped and
// counted; nothing received does more than the input it queues.

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/input_queue.h"
#include "core/key_set.h"
#include "platform/osc.h"
#include "platform/shared_block.h"

namespace kalvento {

// What the player reports of itself over OSC.
struct PlayerReport {
    int folder = 0;  // 1 for S001
    int clip = 0;
    int clipCount = 0;
    int threshold = 0;
    int osd = 0;
    int camera = 0;
    int follow = 0;
    int paused = 0;
    std::string waiting;  // what the player waits for ("pause", "learning", ...); "" nothing
    bool operator==(const PlayerReport&) const = default;
};

struct OscCounters {
    int64_t keys = 0;       // keys queued
    int64_t commands = 0;   // commands queued
    int64_t motions = 0;    // remote motion values written
    int64_t malformed = 0;  // not an OSC message, wrong arguments, or a value out of range
    int64_t oversized = 0;
    int64_t unknown = 0;   // a well-formed message of another address
    int64_t overflow = 0;  // keys dropped because the queue was full
    int64_t refused = 0;   // keys (commands) the allowed keys (commands) do not hold

    int64_t dropped() const { return malformed + oversized + unknown + overflow + refused; }
};

class OscLink {
public:
    static constexpr size_t kKeyQueueLimit = InputQueue::kLimit;
    static constexpr int kMaxDatagramsPerTurn = 4096;
    // A remote slot that no message has refreshed for this long is cleared, so a player that
    // went away does not leave its last motion behind.
    static constexpr int64_t kRemoteMotionLifetimeMicros = 1000000;

    // Only keys in `allowedKeys` and commands in `allowedCommands` are queued, into `inputs`
    // (null: a queue of the link's own); the motion goes at most `motionRateHz` times a second
    // (the turns of a camera-less player come far faster than anyone listening needs).
    OscLink(OscPort& port, const KeySet& allowedKeys, int motionRateHz,
            InputQueue* inputs = nullptr, std::set<std::string> allowedCommands = {})
        : port_(port),
          allowedKeys_(allowedKeys),
          allowedCommands_(std::move(allowedCommands)),
          inputs_(inputs != nullptr ? *inputs : ownInputs_),
          motionPeriodMicros_(1000000 / motionRateHz) {}

    // Sends /kalvento/motion when its time has come at clock time `nowMicros`: one period
    // after the last, or at once after a gap longer than a period.
    void sendMotion(int64_t nowMicros, int camChan, int differenceSum, int diffSum, int threshold);
    // Sends /kalvento/clip when (folder, clip, count) differs from the last one sent.
    void sendClip(int folderNumber, int clip, int clipCount);
    void sendGesture(int result, const std::string& name, int phase, int speed, int accel,
                     int width);

    // Takes what arrived (at most kMaxDatagramsPerTurn datagrams), writes remote motion into
    // `block` (its copy in `copy`) and clears remote slots that went stale. `nowMicros` is the
    // player's clock.
    void receive(SharedBlock& block, BlockBytes& copy, int64_t nowMicros);
    // Clears every slot a received message filled and that has not expired yet.
    void clearRemoteSlots(SharedBlock& block, BlockBytes& copy);
    // The next queued key, or 0 when none waits (a command before it is dropped).
    int takeKey();
    // Sends each item of `report` that differs from the last report (all of them the first
    // time), except the clip, which sendClip sends.
    void sendState(const PlayerReport& report);

    const OscCounters& counters() const { return counters_; }
    // True at most once a second (clock time `nowMicros`): the counts may be reported again.
    bool countsDue(int64_t nowMicros);

private:
    void handle(const OscMessage& message, SharedBlock& block, BlockBytes& copy, int64_t nowMicros);
    void handleKey(const std::vector<OscValue>& args);
    void handleCommand(const std::vector<OscValue>& args);
    // Queues `input` from OSC; false (counted) when the queue is full.
    bool queue(Input input);
    // Every state message of `report`, each through `send`.
    template <typename Send>
    void eachStateMessage(const PlayerReport& report, const PlayerReport* before, Send send);
    void handleMotion(const std::vector<OscValue>& args, SharedBlock& block, BlockBytes& copy,
                      int64_t nowMicros);

    OscPort& port_;
    const KeySet allowedKeys_;
    const std::set<std::string> allowedCommands_;
    OscCounters counters_;
    InputQueue ownInputs_;
    InputQueue& inputs_;
    std::optional<PlayerReport> reported_;  // the last report sent
    int64_t remoteSeen_[32] = {};  // clock time a remote value last came in; 0 none
    int lastFolder_ = -1, lastClip_ = -1, lastCount_ = -1;
    const int64_t motionPeriodMicros_;
    int64_t nextMotion_ = 0;  // clock time from which /kalvento/motion may go again
    int64_t nextCounts_ = 0;  // clock time from which the counts may be reported again
};

}  // namespace kalvento
