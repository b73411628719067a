#pragma once
// Threads, events, sleeps and tick counts, standing in for the Win32 primitives.

#include <atomic>
#include <chrono>
#include <functional>
#include <list>
#include <memory>
#include <thread>
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace wing {

constexpr std::uint32_t INFINITE_WAIT = 0xFFFFFFFFu;

// An auto-reset event: Set() releases exactly one wait (or the next one to come),
// and a successful wait resets the event.
class AutoResetEvent {
public:
    AutoResetEvent() = default;
    AutoResetEvent(const AutoResetEvent&) = delete;
    AutoResetEvent& operator=(const AutoResetEvent&) = delete;

    void Set();
    void Reset();
    // True when signalled within `timeoutMs` (INFINITE_WAIT waits for ever).
    bool Wait(std::uint32_t timeoutMs);
    bool IsSet() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_cv;
    bool m_signalled = false;
};

// A descriptor that `poll` sees readable from Signal() until Clear(): it wakes a thread
// blocked in `poll` on other descriptors (an eventfd).
class WakeDescriptor {
public:
    WakeDescriptor();
    ~WakeDescriptor();
    WakeDescriptor(const WakeDescriptor&) = delete;
    WakeDescriptor& operator=(const WakeDescriptor&) = delete;

    int fd() const { return m_fd; }
    void Signal();
    void Clear();

private:
    int m_fd = -1;
};

// Short-lived threads of one kind (dispatcher, close-link worker, save worker). Starting
// one never waits for an earlier one, which may still be waiting for the UI thread;
// finished ones are joined on the next start, and JoinAll waits for the rest.
class WorkerThreads {
public:
    WorkerThreads() = default;
    ~WorkerThreads() { JoinAll(); }
    WorkerThreads(const WorkerThreads&) = delete;
    WorkerThreads& operator=(const WorkerThreads&) = delete;

    // False when the thread could not be created.
    bool Start(std::function<void()> body);
    void JoinAll();
    // Threads of this kind still running.
    int Running() const;

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void JoinFinished();

    mutable std::mutex m_mutex;
    std::list<Worker> m_workers;
};

void SleepMs(std::uint32_t ms);

// Milliseconds since an arbitrary start, like GetTickCount (wraps after 49 days).
std::uint32_t TickCountMs();

// Seconds as a double from a monotonic high-resolution clock (the performance counter).
double PerformanceSeconds();

}  // namespace wing
