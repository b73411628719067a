#include "cli/interrupt.h"

#include <pthread.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <ctime>
#include <mutex>
#include <thread>

#include "platform/sync.h"

namespace wing::cli {
namespace {

// Longer than the longest clean ending: a link's close (5 s) after a request's three
// attempts (3 s), and the files of a read being written.
constexpr std::time_t kGraceSeconds = 15;

std::atomic<bool> g_interrupted{false};
std::mutex g_wakeLock;
std::function<void()> g_wake;

WakeDescriptor& InterruptWake() {
    // Never destroyed: the signal thread may use it until the process has ended.
    static WakeDescriptor* wake = new WakeDescriptor;
    return *wake;
}

sigset_t InterruptSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

[[noreturn]] void EndAtOnce() {
    constexpr char kLine[] = "wing-utility-cli: interrupted\n";
    [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, kLine, sizeof kLine - 1);
    ::_exit(130);
}

}  // namespace

void CatchInterrupts() {
    const sigset_t set = InterruptSignals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    InterruptWake();  // made before any thread can need it
    std::thread([set] {
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        g_interrupted = true;
        InterruptWake().Signal();
        {
            std::lock_guard<std::mutex> lock(g_wakeLock);
            if (g_wake) g_wake();
        }
        // The clean ending runs on the other threads; this one only makes sure it comes.
        const timespec grace{kGraceSeconds, 0};
        while (sigtimedwait(&set, nullptr, &grace) < 0 && errno == EINTR) {
        }
        EndAtOnce();
    }).detach();  // lives as long as the process; it holds nothing to release
}

bool Interrupted() { return g_interrupted; }

void SetInterruptWaker(std::function<void()> wake) {
    std::lock_guard<std::mutex> lock(g_wakeLock);
    g_wake = std::move(wake);
}

int InterruptDescriptor() { return InterruptWake().fd(); }

}  // namespace wing::cli
