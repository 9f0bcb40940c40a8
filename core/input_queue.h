#pragma once
// The player's one road in. Every source pushes its inputs into the queue; the key stage of a
// turn (and every wait outside the turn) takes them out, one at a time, in the order they came.
//
// The turn's injected input, PendingKey, is part of the queue: the one input a turn runs in
// place of the typed key. A source of the player itself (a mouse step, the automatic random
// folder, the gesture drive's steps) injects it directly; the key stage moves the queue's
// oldest input there when nothing was injected. Only the functions here write PendingKey:
// it holds the key code of an injected key, kInjectedCommand for an injected command, or 0.

#include <cstddef>
#include <deque>
#include <optional>

#include "core/input.h"
#include "core/state.h"

namespace kalvento {

// PendingKey while the injected input is a command (never a key code).
inline constexpr int kInjectedCommand = 256;

class InputQueue {
public:
    static constexpr size_t kLimit = 64;

    // Queues `input` behind the others; false (and nothing queued) when the queue is full.
    bool push(Input input);
    // The oldest input, taken out; nullopt when the queue is empty.
    std::optional<Input> take();
    // The oldest input that `wanted` accepts, taken out; the others stay in their order.
    template <typename Predicate>
    std::optional<Input> takeFirst(Predicate wanted) {
        for (auto it = inputs_.begin(); it != inputs_.end(); ++it) {
            if (!wanted(*it)) continue;
            Input found = std::move(*it);
            inputs_.erase(it);
            return found;
        }
        return std::nullopt;
    }
    // Whether an input that `wanted` accepts waits in the queue.
    template <typename Predicate>
    bool holds(Predicate wanted) const {
        for (const Input& input : inputs_)
            if (wanted(input)) return true;
        return false;
    }
    // The oldest key: a key input, or the command `key K` as the key K it presses (its source
    // kept); nullopt when none waits. Commands stay in their order.
    std::optional<Input> takeKey();
    // The oldest input that is no key in that sense (a command other than a valid `key K`).
    std::optional<Input> takeCommand();
    bool empty() const { return inputs_.empty(); }
    size_t size() const { return inputs_.size(); }

private:
    std::deque<Input> inputs_;
};

// --- The turn's injected input ---

// Makes `input` the turn's injected input, in place of any injected before.
void injectInput(PlaybackState& playback, Input input);
// Drops the turn's injected input (PendingKey becomes 0).
void clearInjected(PlaybackState& playback);
// Whether an input is injected (PendingKey is not 0).
inline bool hasInjected(const PlaybackState& playback) {
    return playback.PendingKey != 0;
}
// The turn's injected input; nullopt when there is none.
std::optional<Input> injectedInput(const PlaybackState& playback);
// Whether the injected input is the key `code`.
inline bool injectedKeyIs(const PlaybackState& playback, int code) {
    return playback.PendingKey == code && code != kInjectedCommand;
}
// Whether the injected input is the command `name`.
bool injectedCommandIs(const PlaybackState& playback, const char* name);
// When nothing is injected, the oldest queued command becomes the turn's injected input (keys
// are read as typed keys, see InputQueue::takeKey).
void injectNextQueued(PlaybackState& playback, InputQueue& queue);

// Whether `input` presses a key: a key, or the command `key K` with a key K.
bool pressesKey(const Input& input);

}  // namespace kalvento
