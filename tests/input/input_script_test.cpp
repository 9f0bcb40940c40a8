// Scripted input: the script format, and how the scripted window serves it to key reads.

#include <gtest/gtest.h>

#include "input/input_script.h"
#include "input/scripted_window.h"
#include "support/fake_clock.h"
#include "support/recording_window.h"

namespace kalvento {
namespace {

std::vector<ScriptEvent> parse(const std::string& text) {
    std::string error;
    auto events = parseInputScript(text, error);
    EXPECT_TRUE(events.has_value()) << error;
    return events.value_or(std::vector<ScriptEvent>{});
}

TEST(InputScript, KeysByCharacterNameAndCode) {
    auto events = parse(
        "key x\nkey @\nkey `\nkey ESC\nkey ENTER\nkey TAB\nkey BS\nkey SPACE\n"
        "key code 200\nkey  \nkey #\n");
    std::vector<int> codes;
    for (const ScriptEvent& e : events) {
        EXPECT_EQ(e.kind, ScriptEvent::Key);
        codes.push_back(e.value);
    }
    EXPECT_EQ(codes, (std::vector<int>{'x', '@', '`', 27, 13, 9, 8, 32, 200, ' ', '#'}));
}

TEST(InputScript, IdleMouseSleepCommentsAndBlankLines) {
    auto events = parse(
        "# a comment\n\nidle 3\r\nmouse move 10 20\nmouse ldown 5 6 1\n"
        "mouse rdown 1 2\nmouse mdown 0 0\nmouse lup 3 4\nsleep 15\n");
    ASSERT_EQ(events.size(), 7u);
    EXPECT_EQ(events[0].kind, ScriptEvent::Idle);
    EXPECT_EQ(events[0].value, 3);
    EXPECT_EQ(events[1].kind, ScriptEvent::Mouse);
    EXPECT_EQ(events[1].value, kMouseMove);
    EXPECT_EQ(events[1].x, 10);
    EXPECT_EQ(events[1].y, 20);
    EXPECT_EQ(events[1].flags, 0);
    EXPECT_EQ(events[2].value, kMouseLeftDown);
    EXPECT_EQ(events[2].flags, 1);
    EXPECT_EQ(events[3].value, kMouseRightDown);
    EXPECT_EQ(events[4].value, kMouseMiddleDown);
    EXPECT_EQ(events[5].value, kMouseLeftUp);
    EXPECT_EQ(events[6].kind, ScriptEvent::Sleep);
    EXPECT_EQ(events[6].value, 15);
}

TEST(InputScript, BadLinesAreNamedByNumber) {
    const std::pair<std::string, std::string> cases[] = {
        {"key x\nkey xy\n", "line 2"},    {"key code 256\n", "line 1"},
        {"idle -1\n", "line 1"},          {"idle many\n", "line 1"},
        {"mouse wiggle 1 2\n", "line 1"}, {"mouse move 1\n", "line 1"},
        {"\n\njump 3\n", "line 3"},       {"key\n", "line 1"},
    };
    for (const auto& [text, where] : cases) {
        std::string error;
        EXPECT_FALSE(parseInputScript(text, error).has_value()) << text;
        EXPECT_NE(error.find(where), std::string::npos) << text << " -> " << error;
    }
}

struct MouseLog {
    std::vector<std::vector<int>> calls;
    static void record(int event, int x, int y, int flags, void* user) {
        static_cast<MouseLog*>(user)->calls.push_back({event, x, y, flags});
    }
};

TEST(ScriptedWindow, ServesEventsToKeyReadsThenEscape) {
    RecordingWindow inner;
    test::FakeClock clock;
    ScriptedWindow window(inner, parse("key a\nidle 2\nmouse move 7 8 1\nsleep 40\nkey b\n"), clock,
                          true);
    MouseLog mouse;
    window.setMouseCallback(&MouseLog::record, &mouse);
    EXPECT_EQ(window.waitKey(1), 'a');
    EXPECT_EQ(window.waitKey(1), kNoKey);
    EXPECT_EQ(window.waitKey(1), kNoKey);
    EXPECT_TRUE(mouse.calls.empty());
    EXPECT_EQ(window.waitKey(1), kNoKey);
    EXPECT_EQ(mouse.calls, (std::vector<std::vector<int>>{{0, 7, 8, 1}}));
    EXPECT_EQ(clock.nowMicros(), 0);
    EXPECT_EQ(window.waitKey(1), 'b');
    EXPECT_EQ(clock.nowMicros(), 40000) << "the sleep passes before the next event";
    EXPECT_EQ(window.waitKey(1), kKeyEsc);
    EXPECT_EQ(window.waitKey(1), kKeyEsc);
    EXPECT_EQ(inner.keyWaits(), 0);
}

TEST(ScriptedWindow, CommandsGoToTheSinkAndTheirReadReturnsNoKey) {
    auto events = parse("command folder 3\ncommand pause\nkey x\ncommand key ESC\n");
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(events[0].kind, ScriptEvent::Command);
    EXPECT_EQ(events[0].words, (std::vector<std::string>{"folder", "3"}));
    EXPECT_EQ(events[1].words, (std::vector<std::string>{"pause"}));
    std::string error;
    EXPECT_FALSE(parseInputScript("command\n", error).has_value()) << "a command without a name";

    RecordingWindow inner;
    test::FakeClock clock;
    ScriptedWindow window(inner, events, clock, true);
    std::vector<Input> handed;
    window.setInputSink([&handed](Input input) { handed.push_back(std::move(input)); });
    EXPECT_EQ(window.waitKey(1), kNoKey);
    // A wait without a time limit ends at a command as well: its caller may want it.
    EXPECT_EQ(window.waitKey(0), kNoKey);
    EXPECT_EQ(window.waitKey(0), 'x');
    EXPECT_EQ(window.waitKey(1), kNoKey);
    ASSERT_EQ(handed.size(), 3u);
    EXPECT_TRUE(handed[0].isCommand("folder"));
    EXPECT_EQ(handed[0].args, std::vector<std::string>{"3"});
    EXPECT_EQ(handed[0].source, InputSource::Script);
    EXPECT_TRUE(handed[1].isCommand("pause"));
    EXPECT_TRUE(handed[1].args.empty());
    EXPECT_EQ(handed[2].args, std::vector<std::string>{"ESC"});
}

TEST(ScriptedWindow, DelaysTakeNoEventsAndUntimedWaitsSkipToAKey) {
    RecordingWindow inner;
    test::FakeClock clock;
    ScriptedWindow window(inner, parse("idle 5\nmouse move 1 1\nkey q\n"), clock, true);
    window.delay(100);
    EXPECT_EQ(inner.log(), (std::vector<std::string>{"delay 100"}));
    EXPECT_EQ(window.waitKey(0), 'q');
}

TEST(ScriptedWindow, APeekShowsTheNextKeyWithoutTakingIt) {
    RecordingWindow inner;
    test::FakeClock clock;
    ScriptedWindow window(inner, parse("idle 1\nsleep 30\nkey W\nmouse move 1 1\nkey a\n"), clock,
                          true);
    EXPECT_EQ(window.peekKey(1), kNoKey) << "an idle count comes first";
    EXPECT_EQ(window.waitKey(1), kNoKey);
    EXPECT_EQ(window.peekKey(1), 'W');
    EXPECT_EQ(clock.nowMicros(), 30000) << "the sleep before it passed";
    EXPECT_EQ(window.peekKey(1), 'W') << "still there";
    EXPECT_EQ(window.waitKey(1), 'W');
    EXPECT_EQ(window.peekKey(1), kNoKey) << "a mouse event is left for a key read";
    EXPECT_EQ(window.waitKey(1), kNoKey);
    EXPECT_EQ(window.waitKey(1), 'a');
    EXPECT_EQ(window.peekKey(1), kKeyEsc) << "a used-up headless script ends with ESC";
    EXPECT_EQ(inner.keyWaits(), 0);

    ScriptedWindow live(inner, {}, clock, false);
    EXPECT_EQ(live.peekKey(1), kNoKey);
    EXPECT_EQ(inner.keyWaits(), 1) << "the live window is asked";
}

TEST(ScriptedWindow, LiveWindowTakesOverWithoutHeadless) {
    RecordingWindow inner;
    test::FakeClock clock;
    ScriptedWindow window(inner, parse("key a\n"), clock, false);
    EXPECT_EQ(window.waitKey(1), 'a');
    EXPECT_EQ(window.waitKey(1), kNoKey);
    EXPECT_EQ(inner.keyWaits(), 1);
}

}  // namespace
}  // namespace kalvento
