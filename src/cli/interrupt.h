#pragma once
// Ctrl-C and SIGTERM end a command cleanly: the signals are taken by one thread of ours
// (sigwait), which marks the run interrupted and wakes whatever waits for events or for
// the terminal, so the logger's link is closed and no file is left half written. A second
// signal, or a run that has not ended a while after the first (its output blocked, say),
// ends the process at once with 130.

#include <functional>

namespace wing::cli {

// Blocks SIGINT and SIGTERM for this thread and every thread started after, and starts the
// thread that waits for them. Call first thing in main.
void CatchInterrupts();
bool Interrupted();
// `wake` is called (on the signal thread) when an interrupt comes; an empty one clears it.
void SetInterruptWaker(std::function<void()> wake);
// A descriptor that `poll` sees readable once the run is interrupted.
int InterruptDescriptor();

}  // namespace wing::cli
