#include "core/question.h"

#include <cctype>

#include "core/events.h"

namespace kalvento {

namespace {

bool isBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool accepts(const Question& question, const std::string& answer) {
    if (question.kind == Question::Kind::Text) return !answer.empty();
    const std::optional<int> number = wholeNumberOf(answer);
    return number && *number >= question.min && *number <= question.max;
}

// The first line of a text that is not empty, without its blanks.
std::string firstLine(const std::string& text) {
    const size_t begin = text.find_first_not_of("\r\n");
    if (begin == std::string::npos) return {};
    const size_t end = text.find_first_of("\r\n", begin);
    return withoutBlanks(text.substr(begin, end == std::string::npos ? end : end - begin));
}

}  // namespace

std::optional<int> wholeNumberOf(const std::string& text) {
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos == text.size()) return std::nullopt;
    long long magnitude = 0;
    for (; pos < text.size(); ++pos) {
        if (!std::isdigit(static_cast<unsigned char>(text[pos]))) return std::nullopt;
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > static_cast<long long>(INT_MAX) + 1) return std::nullopt;
    }
    const long long value = negative ? -magnitude : magnitude;
    if (value > INT_MAX || value < INT_MIN) return std::nullopt;
    return static_cast<int>(value);
}

std::string withoutBlanks(const std::string& text) {
    size_t begin = 0;
    size_t end = text.size();
    while (begin < end && isBlank(text[begin])) ++begin;
    while (end > begin && isBlank(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

std::optional<std::string> QuestionDesk::ask(const Question& question) {
    std::optional<std::string> result;
    setCurrent(&question);
    const AskedQuestion asked = current().value_or(AskedQuestion{});
    console_.print("%s", question.prompt.c_str());
    for (;;) {
        const std::optional<std::string> line = nextLine(asked);
        if (!line) {
            console_.print("%s", question.noAnswer.c_str());
            break;
        }
        std::string answer = withoutBlanks(*line);
        if (answer.empty() && question.blankLine == Question::BlankLine::Skipped) continue;
        if (accepts(question, answer)) {
            result = std::move(answer);
            break;
        }
        console_.print("%s%s", question.refusal.c_str(), question.prompt.c_str());
    }
    // An answer delivered while a typed one was judged was promised to be used: it wins.
    if (std::optional<std::string> delivered = setCurrent(nullptr)) {
        console_.print("%s\n", printable(*delivered).c_str());
        result = std::move(delivered);
    }
    return result;
}

std::optional<int> QuestionDesk::askNumber(const Question& question) {
    Question number = question;
    number.kind = Question::Kind::Number;
    const std::optional<std::string> answer = ask(number);
    if (!answer) return std::nullopt;
    return wholeNumberOf(*answer);
}

std::optional<std::string> QuestionDesk::nextLine(const AskedQuestion& asked) {
    if (std::optional<std::string> delivered = takeDelivered()) {
        // The transcript shows what answered, without what a terminal would obey.
        console_.print("%s\n", printable(*delivered).c_str());
        return delivered;
    }
    if (!asked.takesDeliveries) return console_.readLine();
    std::optional<std::string> line = source_->nextLine(asked, *this);
    if (line) console_.print("%s\n", printable(*line).c_str());
    return line;
}

std::optional<std::string> QuestionDesk::setCurrent(const Question* question) {
    std::optional<AskedQuestion> now;
    std::optional<std::string> delivered;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        delivered = std::move(delivered_);
        delivered_.reset();
        current_.reset();
        if (question != nullptr) {
            question_ = *question;
            AskedQuestion asked;
            asked.prompt = question->prompt;
            asked.number = question->kind == Question::Kind::Number;
            asked.min = question->min;
            asked.max = question->max;
            asked.serial = ++serial_;
            asked.key = key_;
            asked.takesDeliveries = source_ != nullptr && source_->answers();
            current_ = asked;
        }
        now = current_;
    }
    if (source_ != nullptr) source_->questionChanged(now ? &*now : nullptr);
    if (now) {
        const QuestionShown shown{withoutBlanks(now->prompt), ""};
        console_.question(&shown);
    } else {
        console_.question(nullptr);
    }
    return delivered;
}

std::optional<AskedQuestion> QuestionDesk::current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

void QuestionDesk::setKey(int key) {
    std::lock_guard<std::mutex> lock(mutex_);
    key_ = key;
}

Delivery QuestionDesk::deliver(const std::string& line, uint64_t serial) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_ || (serial != 0 && serial != current_->serial))
        return {Delivery::Outcome::NoQuestion, "no question is being asked"};
    if (!current_->takesDeliveries)
        return {Delivery::Outcome::NotOpen, "the question is answered at the player's console"};
    if (delivered_) return {Delivery::Outcome::Refused, "another answer is waiting to be read"};
    std::string answer = withoutBlanks(line);
    if (!accepts(question_, answer))
        return {Delivery::Outcome::Refused, firstLine(question_.refusal)};
    delivered_ = std::move(answer);
    return {Delivery::Outcome::Used, {}};
}

std::optional<std::string> QuestionDesk::takeDelivered() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<std::string> line = std::move(delivered_);
    delivered_.reset();
    return line;
}

}  // namespace kalvento
