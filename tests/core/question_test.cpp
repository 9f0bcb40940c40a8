// The question reader: what it accepts, refuses and passes over, what it prints, the end of
// input, and answers from another source or delivered from another thread.

#include <gtest/gtest.h>

#include <thread>

#include "core/question.h"
#include "support/capture_console.h"

namespace kalvento::test {
namespace {

Question numberQuestion(Question::BlankLine blank, int min = INT_MIN, int max = INT_MAX) {
    Question q;
    q.prompt = "how many? ";
    q.refusal = "no.\n";
    q.noAnswer = "none.\n";
    q.kind = Question::Kind::Number;
    q.blankLine = blank;
    q.min = min;
    q.max = max;
    return q;
}

struct Case {
    std::vector<std::string> lines;
    Question::BlankLine blank;
    int min, max;
    std::optional<int> answer;
    std::string printed;
};

TEST(QuestionDesk, NumberRulesTable) {
    using B = Question::BlankLine;
    const Case cases[] = {
        {{"12"}, B::Refused, INT_MIN, INT_MAX, 12, "how many? "},
        {{" \t-3 \r"}, B::Refused, INT_MIN, INT_MAX, -3, "how many? "},
        {{"+7\v"}, B::Refused, INT_MIN, INT_MAX, 7, "how many? "},
        {{"", "4"}, B::Refused, INT_MIN, INT_MAX, 4, "how many? no.\nhow many? "},
        {{"  ", "4"}, B::Skipped, INT_MIN, INT_MAX, 4, "how many? "},
        {{"1.5", "12abc", "1 2", "ten", "2"},
         B::Refused,
         INT_MIN,
         INT_MAX,
         2,
         "how many? no.\nhow many? no.\nhow many? no.\nhow many? no.\nhow many? "},
        {{"2147483648", "-2147483648"},
         B::Refused,
         INT_MIN,
         INT_MAX,
         INT_MIN,
         "how many? no.\nhow many? "},
        {{"0", "9", "8"}, B::Refused, 1, 8, 8, "how many? no.\nhow many? no.\nhow many? "},
        {{"x"}, B::Refused, INT_MIN, INT_MAX, std::nullopt, "how many? no.\nhow many? none.\n"},
        {{}, B::Skipped, INT_MIN, INT_MAX, std::nullopt, "how many? none.\n"},
    };
    for (const Case& c : cases) {
        CaptureConsole console;
        for (const std::string& line : c.lines) console.addInputLine(line);
        QuestionDesk desk(console);
        EXPECT_EQ(desk.askNumber(numberQuestion(c.blank, c.min, c.max)), c.answer) << c.printed;
        EXPECT_EQ(console.outText(), c.printed);
        EXPECT_FALSE(desk.current()) << "no question is left standing";
    }
}

TEST(QuestionDesk, TextAnswersLoseTheirBlanksAndBlankLinesAreSkipped) {
    CaptureConsole console;
    console.addInputLine("");
    console.addInputLine("  \t ");
    console.addInputLine("  my song.wav \r");
    QuestionDesk desk(console);
    Question q;
    q.prompt = "file = ";
    q.blankLine = Question::BlankLine::Skipped;
    EXPECT_EQ(desk.ask(q), std::optional<std::string>("my song.wav"));
    EXPECT_EQ(console.outText(), "file = ");
}

// A window that answers instead of the console, and sees the question come and go.
class ScriptedSource final : public AnswerSource, public EventListener {
public:
    std::vector<std::string> lines;
    std::vector<std::string> seen;  // prompts, "-" when a question is over
    bool answering = true;

    void question(const QuestionShown* q) override { seen.push_back(q ? q->prompt : "-"); }
    bool answers() const override { return answering; }
    std::optional<std::string> nextLine(const AskedQuestion&, QuestionDesk&) override {
        if (lines.empty()) return std::nullopt;
        std::string line = lines.front();
        lines.erase(lines.begin());
        return line;
    }
};

TEST(QuestionDesk, AnotherSourceAnswersAndTheTranscriptShowsItsLines) {
    CaptureConsole console;
    console.addInputLine("99");  // not read: the source answers
    ScriptedSource source;
    console.listen(&source);
    source.lines = {"abc", "5"};
    QuestionDesk desk(console);
    desk.setSource(&source);
    EXPECT_EQ(desk.askNumber(numberQuestion(Question::BlankLine::Refused)), 5);
    EXPECT_EQ(console.outText(), "how many? abc\nno.\nhow many? 5\n");
    EXPECT_EQ(source.seen, (std::vector<std::string>{"how many?", "-"}));

    source.answering = false;  // a terminal: the console answers, the source still sees it
    console.clear();
    EXPECT_EQ(desk.askNumber(numberQuestion(Question::BlankLine::Refused)), 99);
    EXPECT_EQ(console.outText(), "how many? ");
    EXPECT_EQ(source.seen.size(), 4u);

    EXPECT_EQ(desk.askNumber(numberQuestion(Question::BlankLine::Refused)), std::nullopt)
        << "the source gave up (ESC)";
}

// A source that waits for an answer delivered from another thread.
class WaitingSource final : public AnswerSource {
public:
    bool answers() const override { return true; }
    std::optional<std::string> nextLine(const AskedQuestion&, QuestionDesk& desk) override {
        for (;;) {
            if (std::optional<std::string> line = desk.takeDelivered()) return line;
            std::this_thread::yield();
        }
    }
};

TEST(QuestionDesk, AnAnswerDeliveredFromAnotherThreadMeetsTheQuestionAskedNow) {
    CaptureConsole console;
    WaitingSource source;
    QuestionDesk desk(console);
    desk.setSource(&source);
    using Outcome = Delivery::Outcome;
    EXPECT_EQ(desk.deliver("3").outcome, Outcome::NoQuestion) << "nothing is asked";
    std::thread remote([&desk] {
        std::optional<AskedQuestion> asked;
        while (!(asked = desk.current())) std::this_thread::yield();
        EXPECT_EQ(asked->prompt, "how many? ");
        EXPECT_TRUE(asked->number);
        EXPECT_EQ(asked->max, 8);
        EXPECT_EQ(desk.deliver("3", asked->serial + 1).outcome, Outcome::NoQuestion)
            << "an answer to another question";
        // Judged when delivered: a wrong one is refused with the question's words, unprinted.
        const Delivery wrong = desk.deliver("9\x1b]0;owned\x07", asked->serial);
        EXPECT_EQ(wrong.outcome, Outcome::Refused);
        EXPECT_EQ(wrong.message, "no.");
        EXPECT_EQ(desk.deliver(" 3 ", asked->serial).outcome, Outcome::Used);
    });
    EXPECT_EQ(desk.askNumber(numberQuestion(Question::BlankLine::Refused, 1, 8)), 3);
    remote.join();
    EXPECT_EQ(console.outText(), "how many? 3\n");
}

// While the console's input answers (a terminal, a pipe), a read blocks there: an answer from
// elsewhere is refused at once instead of being taken and lost. A text answer that comes from
// the window is printed with its control characters escaped.
// A source that does not answer (a terminal does) and tries a delivery the moment a question
// is put, as a web page might.
class DeliveringWatcher final : public AnswerSource {
public:
    explicit DeliveringWatcher(QuestionDesk& desk) : desk_(desk) {}
    void questionChanged(const AskedQuestion* question) override {
        if (question == nullptr) return;
        key = question->key;
        delivered = desk_.deliver("2", question->serial);
    }
    bool answers() const override { return false; }
    std::optional<std::string> nextLine(const AskedQuestion&, QuestionDesk&) override {
        return std::nullopt;
    }
    std::optional<Delivery> delivered;
    int key = 0;

private:
    QuestionDesk& desk_;
};

TEST(QuestionDesk, OneSourceAnswersAQuestionAndItsTextIsPrintedSafely) {
    CaptureConsole console;
    console.addInputLine("4");
    QuestionDesk desk(console);
    DeliveringWatcher watcher(desk);
    desk.setSource(&watcher);
    desk.setKey('A');
    EXPECT_EQ(desk.askNumber(numberQuestion(Question::BlankLine::Refused, 1, 8)), 4);
    ASSERT_TRUE(watcher.delivered);
    EXPECT_EQ(watcher.delivered->outcome, Delivery::Outcome::NotOpen) << "not taken, then lost";
    EXPECT_EQ(watcher.key, 'A');
    EXPECT_EQ(console.outText(), "how many? ");

    WaitingSource source;
    desk.setSource(&source);
    std::thread typist([&] {
        while (!desk.current()) std::this_thread::yield();
        EXPECT_EQ(desk.deliver("a\x1b[2Jb\xc2\x9b\xff ok \xe3\x81\x82").outcome,
                  Delivery::Outcome::Used);
    });
    Question text;
    text.prompt = "name? ";
    EXPECT_EQ(desk.ask(text), "a\x1b[2Jb\xc2\x9b\xff ok \xe3\x81\x82");
    typist.join();
    EXPECT_EQ(console.outText(), "how many? name? a\\x1B[2Jb\\xC2\\x9B\\xFF ok \xe3\x81\x82\n");
}

}  // namespace
}  // namespace kalvento::test
