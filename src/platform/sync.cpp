#include "platform/sync.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <cstdio>
#include <thread>

namespace wing {

WakeDescriptor::WakeDescriptor() : m_fd(::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC)) {
    // Without it a blocked reader could not be woken; there is no sensible way on.
    if (m_fd < 0) std::perror("wing-utility: eventfd");
}

WakeDescriptor::~WakeDescriptor() {
    if (m_fd >= 0) ::close(m_fd);
}

void WakeDescriptor::Signal() {
    const std::uint64_t one = 1;
    // Fails only when the counter is full, which still leaves the descriptor readable.
    [[maybe_unused]] ssize_t n = ::write(m_fd, &one, sizeof one);
}

void WakeDescriptor::Clear() {
    std::uint64_t value = 0;
    [[maybe_unused]] ssize_t n = ::read(m_fd, &value, sizeof value);
}

void AutoResetEvent::Set() {
    // Notified under the lock: a released waiter may destroy the event (a command object
    // whose answer it waited for) as soon as it has the lock, so Set must be done with
    // the condition variable by then.
    std::lock_guard<std::mutex> lock(m_mutex);
    m_signalled = true;
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

bool WorkerThreads::Start(std::function<void()> body) {
    JoinFinished();
    auto done = std::make_shared<std::atomic<bool>>(false);
    try {
        std::thread t([body = std::move(body), done] {
            body();
            *done = true;
        });
        std::lock_guard<std::mutex> lock(m_mutex);
        m_workers.push_back({std::move(t), done});
    } catch (const std::system_error&) {
        return false;
    }
    return true;
}

void WorkerThreads::JoinFinished() {
    std::list<Worker> finished;
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        for (auto it = m_workers.begin(); it != m_workers.end();) {
            auto next = std::next(it);
            if (*it->done) finished.splice(finished.end(), m_workers, it);
            it = next;
        }
    }
    for (auto& w : finished) w.thread.join();
}

void WorkerThreads::JoinAll() {
    for (;;) {
        std::list<Worker> all;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            all.swap(m_workers);
        }
        if (all.empty()) return;
        for (auto& w : all) w.thread.join();
    }
}

int WorkerThreads::Running() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    int n = 0;
    for (const auto& w : m_workers) n += !*w.done;
    return n;
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
