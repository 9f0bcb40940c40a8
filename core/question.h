#pragma once
// The player's console questions (how many clips, which sound file, how many gestures), asked
// in one way: prompt, read a line, judge it, say why it was refused and ask again, or give up
// at the end of input. Answers come from the console, or from another source that takes its
// place (the player window when no terminal is attached) or answers from elsewhere (deliver).

#include <climits>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>

#include "core/event_listener.h"

namespace kalvento {

class Events;

struct Question {
    enum class Kind { Text, Number };
    // How a line holding only blanks is taken.
    enum class BlankLine {
        Refused,  // a wrong answer: the refusal is printed and the question asked again
        Skipped,  // no answer yet: the next line is read without a word
    };
    std::string prompt;    // printed before the first read and after each refusal
    std::string refusal;   // printed when an answer is refused, before the prompt again
    std::string noAnswer;  // printed when no answer comes (end of input, given up)
    Kind kind = Kind::Text;
    BlankLine blankLine = BlankLine::Refused;
    int min = INT_MIN;  // the range of a number answer
    int max = INT_MAX;
};

// What became of an answer delivered from elsewhere (a web page).
struct Delivery {
    enum class Outcome {
        Used,        // a right answer: the question takes it
        Refused,     // a wrong answer: `message` is the question's refusal
        NotOpen,     // the question is answered elsewhere (the console's input)
        NoQuestion,  // no question, or not the one meant, is being asked
    };
    Outcome outcome = Outcome::NoQuestion;
    std::string message;
};

// The question being asked now, as others see it.
struct AskedQuestion {
    std::string prompt;
    bool number = false;
    int min = INT_MIN;
    int max = INT_MAX;
    uint64_t serial = 0;  // counts the questions asked, so an answer meets the right one
    int key = 0;          // the key whose command asks it (see QuestionDesk::setKey); 0 none
    // Whether answers delivered from elsewhere are taken. Chosen before the question is put:
    // only while the answers come from a source that looks for deliveries (the window), never
    // while a read of the console's input blocks.
    bool takesDeliveries = false;
};

class QuestionDesk;

// A source of answers other than the console's standard input.
class AnswerSource {
public:
    virtual ~AnswerSource() = default;
    // True when the lines of answers come from this source rather than from the console.
    virtual bool answers() const = 0;
    // The question put now (null: none); a source that answers from elsewhere may deliver to
    // it at once.
    virtual void questionChanged(const AskedQuestion*) {}
    // The next line typed as an answer; nullopt when the person gave up. An answer delivered
    // to `desk` meanwhile (desk.takeDelivered()) ends the wait with that answer.
    virtual std::optional<std::string> nextLine(const AskedQuestion& question,
                                                QuestionDesk& desk) = 0;
};

// Asks questions on one console, which tells its listeners the question asked. current() and
// deliver() may be called from any thread; the asking runs on the player's thread.
class QuestionDesk {
public:
    explicit QuestionDesk(Events& console) : console_(console) {}

    // The answer without its leading and trailing blanks, or nullopt (after noAnswer is
    // printed) when none came. A number answer is a whole number (an optional sign and digits,
    // nothing else) within [min, max].
    std::optional<std::string> ask(const Question& question);
    // A number question's answer as a number.
    std::optional<int> askNumber(const Question& question);

    void setSource(AnswerSource* source) { source_ = source; }
    // What goes on while an answer source waits for a key (the player's service step: the
    // remotes, OSC, the display's clock); the source calls serve() between its looks.
    void setService(std::function<void()> service) { service_ = std::move(service); }
    void serve() {
        if (service_) service_();
    }

    // The question being asked now, if any.
    std::optional<AskedQuestion> current() const;
    // The key whose command asks the questions from now on (0: none), told by the dispatch.
    void setKey(int key);

    // Answers the question `serial` (0: whichever is asked now) as if the line had been typed.
    // The line is judged here, so Used promises that the question takes it.
    Delivery deliver(const std::string& line, uint64_t serial = 0);
    // A delivered answer not yet read, taken.
    std::optional<std::string> takeDelivered();

private:
    std::optional<std::string> nextLine(const AskedQuestion& asked);
    // Puts `question` (null: ends the one asked, giving back an answer delivered meanwhile).
    std::optional<std::string> setCurrent(const Question* question);

    Events& console_;
    AnswerSource* source_ = nullptr;
    std::function<void()> service_;
    mutable std::mutex mutex_;
    std::optional<AskedQuestion> current_;
    Question question_;  // the one asked now, to judge deliveries by
    int key_ = 0;
    std::optional<std::string> delivered_;
    uint64_t serial_ = 0;
};

// The whole number a text holds: an optional sign and decimal digits that fit an int, and
// nothing else ("12", "-3", "+7"; not "1.5", "12abc", "ten").
std::optional<int> wholeNumberOf(const std::string& text);

// The text without its leading and trailing blanks (space, tab, CR, VT, FF).
std::string withoutBlanks(const std::string& text);

}  // namespace kalvento
