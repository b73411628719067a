#pragma once
// A logger session, without any window, linked to the logger simulator on a
// pseudo-terminal: the events it reports are collected in order, and the test waits for
// the ones it expects.

#include <chrono>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "logger-sim/logger_sim.h"
#include "session/logger_session.h"
#include "support/temp_config.h"

namespace wing::test {

// The events of one session, as they came.
class EventLog {
public:
    void Push(const SessionEvent& event) {
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_events.push_back(event);
        }
        m_changed.notify_all();
    }
    std::vector<SessionEvent> All() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events;
    }
    std::vector<std::string> Names() const {
        std::vector<std::string> out;
        for (const auto& e : All()) out.push_back(EventName(e));
        return out;
    }
    // The first event of kind E at or after position `from`, waiting up to `seconds`.
    template <class E>
    std::optional<E> WaitFor(std::size_t from = 0, double seconds = 5) {
        std::unique_lock<std::mutex> lock(m_mutex);
        std::optional<E> found;
        m_changed.wait_for(lock, std::chrono::duration<double>(seconds), [&] {
            for (std::size_t i = from; i < m_events.size(); ++i)
                if (auto* e = std::get_if<E>(&m_events[i])) {
                    found = *e;
                    return true;
                }
            return false;
        });
        return found;
    }
    // Waits up to `seconds` until `done` holds for the events so far.
    bool WaitUntil(const std::function<bool(const std::vector<SessionEvent>&)>& done, double seconds) {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::duration<double>(seconds), [&] { return done(m_events); });
    }
    template <class E>
    std::size_t Count() const {
        std::size_t n = 0;
        for (const auto& e : All()) n += std::holds_alternative<E>(e) ? 1 : 0;
        return n;
    }
    std::size_t Size() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_events.size();
    }

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<SessionEvent> m_events;
};

inline sim::SimConfig QuickLogger(int slots = 24) {
    sim::SimConfig c;
    c.pacing = false;
    c.flight.slots = slots;
    return c;
}

class SessionRig {
public:
    explicit SessionRig(sim::SimConfig config, unsigned langId = 1033)
        : simulator(std::move(config)), session([this](const SessionEvent& e) { events.Push(e); }, langId) {
        drive = tmp.Root() + "/c";
        std::filesystem::create_directories(drive);
        std::filesystem::create_directories(tmp.ConfigDir());
        std::ofstream(tmp.ConfigDir() + "/device-map.ini") << "[drives]\nC = " << drive << "\n";
        port = simulator.Start();
    }
    ~SessionRig() {
        session.Shutdown();
        simulator.Stop();
    }

    // Links and waits for the first status.
    bool LinkAndWait() {
        session.Link(port.comNumber);
        auto status = events.WaitFor<ev::StatusRead>(0, 10);
        return status && status->firstOfLink;
    }
    // The commands the logger received, by display name, in order.
    std::vector<std::string> Received() const {
        std::vector<std::string> out;
        for (const auto& e : simulator.FrameLog())
            if (e.fromPc && e.command >= 0) out.push_back(sim::CommandName(e.command, e.sub));
        return out;
    }
    int ReceivedCount(const std::string& name) const {
        int n = 0;
        for (const auto& r : Received()) n += r == name ? 1 : 0;
        return n;
    }

    TempConfig tmp;
    std::string drive;
    EventLog events;
    sim::LoggerSimulator simulator;
    sim::SimPort port;
    LoggerSession session;
};

}  // namespace wing::test
