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
    AskedQuestion asked;
    asked.prompt = question.prompt;
    asked.number = question.kind == Question::Kind::Number;
    asked.min = question.min;
    asked.max = question.max;
    setCurrent(asked);
    if (std::optional<AskedQuestion> now = current()) asked.serial = now->serial;
    console_.print("%s", question.prompt.c_str());
    std::optional<std::string> result;
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
    setCurrent(std::nullopt);
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
        console_.print("%s\n", delivered->c_str());  // the transcript shows what answered
        return delivered;
    }
    if (source_ == nullptr || !source_->answers()) return console_.readLine();
    std::optional<std::string> line = source_->nextLine(asked, *this);
    if (line) console_.print("%s\n", line->c_str());
    return line;
}

void QuestionDesk::setCurrent(const std::optional<AskedQuestion>& asked) {
    std::optional<AskedQuestion> now;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        current_ = asked;
        if (current_) current_->serial = ++serial_;
        delivered_.reset();
        now = current_;
    }
    if (!now) {
        console_.question(nullptr);
        return;
    }
    const QuestionShown shown{withoutBlanks(now->prompt), ""};
    console_.question(&shown);
}

std::optional<AskedQuestion> QuestionDesk::current() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return current_;
}

bool QuestionDesk::deliver(const std::string& line, uint64_t serial) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!current_ || (serial != 0 && serial != current_->serial)) return false;
    delivered_ = line;
    return true;
}

std::optional<std::string> QuestionDesk::takeDelivered() {
    std::lock_guard<std::mutex> lock(mutex_);
    std::optional<std::string> line = std::move(delivered_);
    delivered_.reset();
    return line;
}

}  // namespace kalvento
