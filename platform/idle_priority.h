#pragma once
// Lets the calling thread run only when no other thread of the machine wants the core.

namespace kalvento {

// Puts the calling thread into the idle scheduling class; where that is refused, gives it the
// weakest nice value instead.
void runOnIdleTimeOnly();

}  // namespace kalvento
