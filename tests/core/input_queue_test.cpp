// The one input queue: order, its limit, taking the first input of a kind, and the turn's
// injected input that PendingKey stands for.

#include <gtest/gtest.h>

#include "core/input_queue.h"

namespace kalvento::test {
namespace {

TEST(InputQueue, InputsComeOutInTheirOrderAndAFullQueueRefusesMore) {
    InputQueue queue;
    EXPECT_TRUE(queue.empty());
    EXPECT_FALSE(queue.take().has_value());
    ASSERT_TRUE(queue.push(Input::Key('x', InputSource::Osc)));
    ASSERT_TRUE(queue.push(Input::Command("folder", {"3"}, InputSource::Web)));
    ASSERT_TRUE(queue.push(Input::Key(27, InputSource::Script)));
    EXPECT_EQ(queue.size(), 3u);
    std::optional<Input> first = queue.take();
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->isKey());
    EXPECT_EQ(first->key, 'x');
    EXPECT_EQ(first->source, InputSource::Osc);
    std::optional<Input> second = queue.take();
    ASSERT_TRUE(second);
    EXPECT_TRUE(second->isCommand("folder"));
    EXPECT_FALSE(second->isCommand("clip"));
    EXPECT_EQ(second->args, std::vector<std::string>{"3"});
    EXPECT_STREQ(sourceName(second->source), "web");

    while (queue.size() < InputQueue::kLimit) ASSERT_TRUE(queue.push(Input::Key('z', InputSource::Osc)));
    EXPECT_FALSE(queue.push(Input::Key('x', InputSource::Osc)));
    EXPECT_EQ(queue.size(), InputQueue::kLimit);
}

TEST(InputQueue, TakeFirstTakesTheOldestOfAKindAndLeavesTheOthersInOrder) {
    InputQueue queue;
    queue.push(Input::Key('x', InputSource::Osc));
    queue.push(Input::Command("resume", {}, InputSource::Web));
    queue.push(Input::Key(27, InputSource::Osc));
    queue.push(Input::Key(27, InputSource::Web));
    auto isEsc = [](const Input& input) { return input.key == 27; };
    EXPECT_TRUE(queue.holds(isEsc));
    EXPECT_FALSE(queue.holds([](const Input& input) { return input.isCommand("pause"); }));
    std::optional<Input> esc = queue.takeFirst(isEsc);
    ASSERT_TRUE(esc);
    EXPECT_EQ(esc->source, InputSource::Osc);
    EXPECT_EQ(queue.take()->key, 'x');
    EXPECT_TRUE(queue.take()->isCommand("resume"));
    EXPECT_EQ(queue.take()->source, InputSource::Web);
    EXPECT_FALSE(queue.takeFirst(isEsc));
}

TEST(InjectedInput, PendingKeyHoldsTheKeyOrMarksACommand) {
    PlaybackState playback;
    EXPECT_FALSE(hasInjected(playback));
    EXPECT_FALSE(injectedInput(playback));
    injectInput(playback, Input::Key('x', InputSource::Osc));
    EXPECT_EQ(playback.PendingKey, 'x');
    EXPECT_TRUE(injectedKeyIs(playback, 'x'));
    EXPECT_FALSE(injectedCommandIs(playback, "step-forward"));
    EXPECT_EQ(injectedInput(playback)->source, InputSource::Osc);

    injectInput(playback, Input::Command("step-forward", {}, InputSource::Mouse));
    EXPECT_EQ(playback.PendingKey, kInjectedCommand);
    EXPECT_FALSE(injectedKeyIs(playback, kInjectedCommand)) << "the mark is no key";
    EXPECT_TRUE(injectedCommandIs(playback, "step-forward"));
    EXPECT_EQ(injectedInput(playback)->source, InputSource::Mouse);

    clearInjected(playback);
    EXPECT_EQ(playback.PendingKey, 0);
    EXPECT_FALSE(injectedCommandIs(playback, "step-forward"));
}

TEST(InjectedInput, TheOldestQueuedCommandIsInjectedOnlyWhenNothingIs) {
    PlaybackState playback;
    InputQueue queue;
    queue.push(Input::Command("folder", {"2"}, InputSource::Osc));
    queue.push(Input::Key('z', InputSource::Osc));
    injectInput(playback, Input::Command("random-folder", {}, InputSource::Player));
    injectNextQueued(playback, queue);
    EXPECT_TRUE(injectedCommandIs(playback, "random-folder")) << "the player's own request stays";
    EXPECT_EQ(queue.size(), 2u);
    clearInjected(playback);
    injectNextQueued(playback, queue);
    EXPECT_TRUE(injectedCommandIs(playback, "folder"));
    EXPECT_EQ(injectedInput(playback)->args, std::vector<std::string>{"2"});
    clearInjected(playback);
    injectNextQueued(playback, queue);
    EXPECT_FALSE(hasInjected(playback)) << "a key is read as typed, never injected";
    EXPECT_EQ(queue.takeKey()->key, 'z');
    EXPECT_TRUE(queue.empty());
}

TEST(InputQueue, KeysAndCommandsAreTakenApartEachInTheirOrder) {
    InputQueue queue;
    queue.push(Input::Command("clip", {"4"}, InputSource::Web));
    queue.push(Input::Command("key", {"ESC"}, InputSource::Osc));
    queue.push(Input::Command("key", {"no such key"}, InputSource::Osc));
    queue.push(Input::Key('j', InputSource::Window));
    std::optional<Input> key = queue.takeKey();
    ASSERT_TRUE(key);
    EXPECT_TRUE(key->isKey());
    EXPECT_EQ(key->key, 27) << "key ESC presses ESC";
    EXPECT_EQ(key->source, InputSource::Osc);
    EXPECT_EQ(queue.takeKey()->key, 'j');
    EXPECT_FALSE(queue.takeKey());
    EXPECT_TRUE(queue.takeCommand()->isCommand("clip"));
    std::optional<Input> refused = queue.takeCommand();
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->args, std::vector<std::string>{"no such key"}) << "left to be refused";
    EXPECT_FALSE(queue.takeCommand());
}

}  // namespace
}  // namespace kalvento::test
