#include "core/input_queue.h"

#include "core/key_set.h"

namespace kalvento {

const char* sourceName(InputSource source) {
    switch (source) {
        case InputSource::Window: return "window";
        case InputSource::Script: return "script";
        case InputSource::Web: return "web";
        case InputSource::Osc: return "osc";
        case InputSource::Mouse: return "mouse";
        case InputSource::Player: return "player";
    }
    return "player";
}

bool InputQueue::push(Input input) {
    if (inputs_.size() >= kLimit) return false;
    inputs_.push_back(std::move(input));
    return true;
}

std::optional<Input> InputQueue::take() {
    if (inputs_.empty()) return std::nullopt;
    Input input = std::move(inputs_.front());
    inputs_.pop_front();
    return input;
}

bool pressesKey(const Input& input) {
    if (input.isKey()) return true;
    return input.isCommand("key") && input.args.size() == 1 && keyArgumentCode(input.args[0]) != 0;
}

std::optional<Input> InputQueue::takeKey() {
    std::optional<Input> found = takeFirst(pressesKey);
    if (found && !found->isKey()) found = Input::Key(keyArgumentCode(found->args[0]), found->source);
    return found;
}

std::optional<Input> InputQueue::takeCommand() {
    return takeFirst([](const Input& input) { return !pressesKey(input); });
}

void injectInput(PlaybackState& playback, Input input) {
    playback.PendingKey = input.isKey() ? input.key : kInjectedCommand;
    playback.PendingInput = std::move(input);
}

void clearInjected(PlaybackState& playback) {
    playback.PendingKey = 0;
    playback.PendingInput = Input{};
}

std::optional<Input> injectedInput(const PlaybackState& playback) {
    if (playback.PendingKey == 0) return std::nullopt;
    if (playback.PendingKey == kInjectedCommand) return playback.PendingInput;
    return Input::Key(playback.PendingKey, playback.PendingInput.source);
}

bool injectedCommandIs(const PlaybackState& playback, const char* name) {
    return playback.PendingKey == kInjectedCommand && playback.PendingInput.name == name;
}

void injectNextQueued(PlaybackState& playback, InputQueue& queue) {
    if (hasInjected(playback)) return;
    if (std::optional<Input> next = queue.takeCommand()) injectInput(playback, std::move(*next));
}

}  // namespace kalvento
