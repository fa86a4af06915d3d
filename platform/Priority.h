// Priority: how much of the machine a run takes.
//
// Searches run for weeks beside the user's own work, so the defaults are
// the lowest: nice 19 for the process and SCHED_IDLE for the worker, which
// then only gets the cycles nothing else wants.
#pragma once

namespace numen {

enum ProcessPriority : int { IdleProcess = 0, NormalProcess = 1, HighProcess = 2 };

// The calling thread's nice value for level 0, 1, 2: 19, 0, -5. Linux keeps
// nice per thread and new threads inherit it, so call this before the
// worker starts. A level the user may not take (raising it without
// privileges) keeps the current value. Returns whether it was applied.
bool SetProcessPriority(int level);

// The calling thread: SCHED_IDLE when lowest, else left as it is.
bool SetWorkerThreadPriority(bool lowest);

// The calling thread's nice value and whether it runs under SCHED_IDLE.
int CurrentNice();
bool CurrentThreadIdle();

}  // namespace numen
