#include "cli/interrupt.h"

#include <pthread.h>
#include <signal.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace wing::cli {
namespace {

std::atomic<bool> g_interrupted{false};
std::mutex g_wakeLock;
std::function<void()> g_wake;

sigset_t InterruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

}  // namespace

void CatchInterrupts() {
    const sigset_t set = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    std::thread([set] {
        for (;;) {
            int signal = 0;
            if (sigwait(&set, &signal) != 0) continue;
            g_interrupted = true;
            std::lock_guard<std::mutex> lock(g_wakeLock);
            if (g_wake) g_wake();
        }
    }).detach();  // lives as long as the process; it holds nothing to release
}

bool Interrupted() { return g_interrupted; }

void SetInterruptWaker(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(g_wakeLock);
    g_wake = std::move(wake);
}

}  // namespace wing::cli
