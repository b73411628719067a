#include "platform/sync.h"

#include <thread>

namespace wing {

void AutoResetEvent::Set() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_signalled = true;
    }
    m_cv.notify_one();
}

void AutoResetEvent::Reset() {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = false;
}

bool AutoResetEvent::Wait(std::uint32_t timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    auto ready = [this] { return m_signalled; };
    if (timeoutMs == INFINITE_WAIT) {
        m_cv.wait(lock, ready);
    } else if (!m_cv.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready)) {
        return false;
    }
    m_signalled = false;
    return true;
}

bool AutoResetEvent::IsSet() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_signalled;
}

void SleepMs(std::uint32_t ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

std::uint32_t TickCountMs() {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

double PerformanceSeconds() {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

}  // namespace wing
