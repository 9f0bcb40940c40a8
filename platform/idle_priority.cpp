#include "platform/idle_priority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

namespace kalvento {

void runOnIdleTimeOnly() {
    sched_param none{};
    if (pthread_setschedparam(pthread_self(), SCHED_IDLE, &none) == 0) return;
    (void)setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), 19);
}

}  // namespace kalvento
