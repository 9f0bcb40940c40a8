#include "platform/interrupt_flag.h"

#include <csignal>

namespace kalvento {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void noteInterrupt(int) {
    interrupted = 1;
}

}  // namespace

void catchInterrupt() {
    interrupted = 0;
    struct sigaction action {};
    action.sa_handler = noteInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
}

bool interruptRequested() {
    return interrupted != 0;
}

void releaseInterrupt() {
    std::signal(SIGINT, SIG_DFL);
}

}  // namespace kalvento
