#pragma once
// Xlib ends the whole process on any X protocol error unless a handler says otherwise.

namespace kalvento {

// From now on X protocol errors of every connection in this process are reported (the first
// few, on stderr) and otherwise ignored. Windows come and go asynchronously: a request about a
// window destroyed meanwhile, as happens when the player window is re-created on a busy
// machine, fails with BadWindow, which is no reason for the player to stop. Connection losses
// still end the process, as before.
void keepGoingOnXErrors();

}  // namespace kalvento
