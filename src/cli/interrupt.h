#pragma once
// Ctrl-C and SIGTERM end a command cleanly: the signals are taken by one thread of ours
// (sigwait), which marks the run interrupted and wakes whatever waits for events, so the
// logger's link is closed and no file is left half written.

#include <functional>

namespace wing::cli {

// Blocks SIGINT and SIGTERM for this thread and every thread started after, and starts the
// thread that waits for them. Call first thing in main.
void CatchInterrupts();
bool Interrupted();
// `wake` is called (on the signal thread) when an interrupt comes; an empty one clears it.
void SetInterruptWaker(std::function<void()> wake);

}  // namespace wing::cli
