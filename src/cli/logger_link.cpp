#include "cli/logger_link.h"

#include <cctype>
#include <ctime>

#include "platform/device_map.h"
#include "resources/refusal_text.h"
#include "resources/string_ids.h"
#include "serial/port_discovery.h"

namespace wing::cli {

int ParsePortName(const std::string& text) {
    std::string digits = text;
    if (digits.size() > 3 && std::toupper(static_cast<unsigned char>(digits[0])) == 'C' &&
        std::toupper(static_cast<unsigned char>(digits[1])) == 'O' &&
        std::toupper(static_cast<unsigned char>(digits[2])) == 'M')
        digits = digits.substr(3);
    if (digits.empty() || digits.size() > 6) return 0;
    for (char c : digits)
        if (c < '0' || c > '9') return 0;
    return std::stoi(digits);
}

LoggerLink::LoggerLink(const Context& ctx)
    : m_ctx(ctx), m_session([this](const SessionEvent& e) { m_events.Push(e); }, ctx.langId) {
    // No window follows a link of ours: a port that has settled is opened at once, and the
    // process goes on as soon as the port is closed.
    m_session.SetShortWaits(true);
}

LoggerLink::~LoggerLink() { m_session.Shutdown(); }

std::optional<Failure> LoggerLink::ChoosePort(int port, int& chosen) const {
    chosen = port != 0 ? port : FindAdapterPort();
    if (chosen == 0) return Failure{Exit::NoPort, "no-port", m_ctx.Text(IDS_CLI_NO_ADAPTER)};
    if (ResolveComPort(chosen).empty())
        return Failure{Exit::NoPort, "no-port", m_ctx.Text(IDS_CLI_PORT_MISSING) + L" COM" + std::to_wstring(chosen)};
    return std::nullopt;
}

std::optional<Failure> LoggerLink::FailureOf(const SessionEvent& event) const {
    if (std::holds_alternative<ev::PortOpenFailed>(event))
        return Failure{Exit::NoPort, "port-busy",
                       m_ctx.Text(IDS_PORT_NOT_OPENED) + L": COM" + std::to_wstring(m_state.port)};
    if (const auto* refused = std::get_if<ev::Refused>(&event))
        return Failure{Exit::Refused, "refused", ComposeRefusalText(m_ctx.langId, refused->commandName, refused->code),
                       refused->commandName, refused->code};
    if (const auto* silent = std::get_if<ev::NoAnswer>(&event))
        return Failure{Exit::NoAnswer, "no-answer",
                       m_ctx.Text(IDS_NO_RESPONSE_PREFIX) + L" [" + silent->commandName + L"] " + m_ctx.Text(IDS_NO_RESPONSE),
                       silent->commandName};
    if (std::holds_alternative<ev::LinkClosed>(event))
        return Failure{Exit::NoAnswer, "link-closed", m_ctx.Text(IDS_CLI_TAKEN_AWAY)};
    return std::nullopt;
}

void LoggerLink::Note(const SessionEvent& event) {
    if (const auto* version = std::get_if<ev::VersionRead>(&event)) {
        m_state.firmware = version->text;
    } else if (const auto* serial = std::get_if<ev::SerialRead>(&event)) {
        m_state.serial = serial->text;
        m_state.serialSupported = serial->supported;
    } else if (const auto* status = std::get_if<ev::StatusRead>(&event)) {
        m_state.status = status->status;
        m_state.clockDifference =
            static_cast<std::int64_t>(status->status.deviceClock) - static_cast<std::int64_t>(std::time(nullptr));
    }
}

Failure LoggerLink::Silence(const std::wstring& what) const {
    return Failure{Exit::NoAnswer, "no-answer",
                   m_ctx.Text(IDS_NO_RESPONSE_PREFIX) + L" [" + what + L"] " + m_ctx.Text(IDS_NO_RESPONSE), what};
}

Failure LoggerLink::InterruptedFailure() const {
    return Failure{Exit::Interrupted, "interrupted", m_ctx.Text(IDS_CLI_INTERRUPTED)};
}

std::optional<Failure> LoggerLink::Link(int port) {
    m_state = LoggerState{};
    m_state.port = port;
    m_linkRequested = true;
    m_linkClosed = false;
    m_session.Link(port);
    const auto deadline = std::chrono::steady_clock::now() + kLinkBound;
    for (;;) {
        if (Interrupted()) return InterruptedFailure();
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return Silence(L"LINK");
        auto event = Take(left, true);
        if (!event) continue;
        if (auto failure = FailureOf(*event)) return failure;
        Note(*event);
        if (const auto* status = std::get_if<ev::StatusRead>(&*event); status && status->firstOfLink) return std::nullopt;
    }
}

std::optional<SessionEvent> LoggerLink::Take(std::chrono::milliseconds wait, bool interruptible) {
    auto event = m_events.Next(wait, interruptible);
    if (event && std::holds_alternative<ev::LinkClosed>(*event)) m_linkClosed = true;
    return event;
}

void LoggerLink::Unlink() {
    if (!m_linkRequested) return;
    m_linkRequested = false;
    if (m_linkClosed) return;
    m_session.Unlink();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (!m_linkClosed && std::chrono::steady_clock::now() < deadline) {
        // Closing is bounded and short: it is waited for even after an interrupt.
        Take(std::chrono::milliseconds(500), false);
    }
}

}  // namespace wing::cli
