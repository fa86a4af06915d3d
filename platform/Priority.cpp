#include "platform/Priority.h"

#include <sched.h>
#include <sys/resource.h>

#include <cerrno>

namespace numen {

bool SetProcessPriority(int level) {
    const int nice = level <= IdleProcess ? 19 : level == NormalProcess ? 0 : -5;
    // who = 0 is the calling thread on Linux.
    return setpriority(PRIO_PROCESS, 0, nice) == 0;
}

bool SetWorkerThreadPriority(bool lowest) {
    if (!lowest) return true;
    sched_param param{};
    param.sched_priority = 0;
    return sched_setscheduler(0, SCHED_IDLE, &param) == 0;
}

int CurrentNice() {
    errno = 0;
    return getpriority(PRIO_PROCESS, 0);
}

bool CurrentThreadIdle() { return sched_getscheduler(0) == SCHED_IDLE; }

}  // namespace numen
