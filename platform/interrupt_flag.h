#pragma once
// Ctrl+C as a request to stop that a long piece of work answers in its own time (removing what
// it half made) instead of the end of the process.

namespace kalvento {

// From now on SIGINT only sets the flag.
void catchInterrupt();
// True once SIGINT came since catchInterrupt.
bool interruptRequested();
// SIGINT ends the process again, as by default.
void releaseInterrupt();

}  // namespace kalvento
