#pragma once
// The session's events, queued for the command line's one thread, which takes them in
// order and waits for the next with a bound. An interrupt wakes the wait.

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

#include "cli/interrupt.h"
#include "session/session_events.h"

namespace wing::cli {

class EventQueue {
public:
    EventQueue() {
        SetInterruptWaker([this] {
            std::lock_guard<std::mutex> lock(m_lock);
            m_arrived.notify_all();
        });
    }
    ~EventQueue() { SetInterruptWaker({}); }
    EventQueue(const EventQueue&) = delete;
    EventQueue& operator=(const EventQueue&) = delete;

    void Push(const SessionEvent& event) {
        {
            std::lock_guard<std::mutex> lock(m_lock);
            m_events.push_back(event);
        }
        m_arrived.notify_all();
    }
    // The next event; none when `wait` passed first or (when `interruptible`) the run was
    // interrupted.
    std::optional<SessionEvent> Next(std::chrono::milliseconds wait, bool interruptible = true) {
        std::unique_lock<std::mutex> lock(m_lock);
        if (!m_arrived.wait_for(lock, wait, [&] { return !m_events.empty() || (interruptible && Interrupted()); }))
            return std::nullopt;
        if (m_events.empty()) return std::nullopt;
        SessionEvent event = std::move(m_events.front());
        m_events.pop_front();
        return event;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_arrived;
    std::deque<SessionEvent> m_events;
};

}  // namespace wing::cli
