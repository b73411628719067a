#pragma once
// One logger session driven from the command line's thread: link, wait for what a
// subcommand needs, unlink. The session's refusals and silences become Failures with the
// command line's exit codes, in the texts the window shows for them.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "cli/cli_context.h"
#include "cli/event_queue.h"
#include "session/logger_session.h"

namespace wing::cli {

// How long a link may take: five commands of three 1 s attempts each, and the port.
inline constexpr std::chrono::seconds kLinkBound{30};
// A download or a setting with no event for this long has stalled: every request has
// three 1 s attempts, and the count waits at most 10 s.
inline constexpr std::chrono::seconds kSilenceBound{30};

// What the link told about the logger.
struct LoggerState {
    int port = 0;
    std::wstring serial;
    bool serialSupported = true;
    std::wstring firmware;
    DeviceStatus status;
    std::int64_t clockDifference = 0;  // logger clock minus PC clock at the status, seconds
};

// "COM7", "com7" or "7": the number; 0 when the text is none of these.
int ParsePortName(const std::string& text);

class LoggerLink {
public:
    explicit LoggerLink(const Context& ctx);
    ~LoggerLink();
    LoggerLink(const LoggerLink&) = delete;
    LoggerLink& operator=(const LoggerLink&) = delete;

    // The port to use: `port` when given (it must be in the device map), else the
    // adapter the device map shows.
    std::optional<Failure> ChoosePort(int port, int& chosen) const;
    // Links COM`port` and waits for its first status.
    std::optional<Failure> Link(int port);
    // Closes the link and waits (bounded) until it is closed.
    void Unlink();

    std::optional<SessionEvent> Next(std::chrono::milliseconds wait) { return Take(wait, true); }
    // A refusal, a missing answer or a failed port as a Failure; none for other events.
    std::optional<Failure> FailureOf(const SessionEvent& event) const;
    // Notes what a status or identity event says about the logger.
    void Note(const SessionEvent& event);
    Failure Silence(const std::wstring& what) const;
    Failure InterruptedFailure() const;

    LoggerSession& Session() { return m_session; }
    const LoggerState& State() const { return m_state; }

private:
    // Every event passes here, so the link's state is known without asking the session's
    // port, which its close-link thread changes.
    std::optional<SessionEvent> Take(std::chrono::milliseconds wait, bool interruptible);

    const Context& m_ctx;
    bool m_linkRequested = false;
    bool m_linkClosed = false;
    EventQueue m_events;
    LoggerState m_state;
    LoggerSession m_session;
};

}  // namespace wing::cli
