#include "core/io.h"

#include "core/question.h"

namespace kalvento {

std::optional<std::string> Io::ask(const Question& question) {
    if (questions != nullptr) return questions->ask(question);
    QuestionDesk desk(console);
    return desk.ask(question);
}

std::optional<int> Io::askNumber(const Question& question) {
    if (questions != nullptr) return questions->askNumber(question);
    QuestionDesk desk(console);
    return desk.askNumber(question);
}

}  // namespace kalvento
