#pragma once
// Threads, events, sleeps and tick counts, standing in for the Win32 primitives.

#include <chrono>
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

void SleepMs(std::uint32_t ms);

// Milliseconds since an arbitrary start, like GetTickCount (wraps after 49 days).
std::uint32_t TickCountMs();

// Seconds as a double from a monotonic high-resolution clock (the performance counter).
double PerformanceSeconds();

}  // namespace wing
