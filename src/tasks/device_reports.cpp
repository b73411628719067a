#include "tasks/device_reports.h"

#include "protocol/wing_msg.h"

namespace wing {

bool CReportInbox::Post(unsigned msg, WPARAM wParam, LPARAM lParam) {
    if (!m_open) return false;
    Deliver(msg, wParam, lParam);
    return true;
}

LRESULT CReportInbox::Send(unsigned msg, WPARAM wParam, LPARAM lParam) {
    if (m_open) Deliver(msg, wParam, lParam);
    return 0;
}

void CReportInbox::Deliver(unsigned msg, WPARAM wParam, LPARAM lParam) {
    auto* command = reinterpret_cast<CWingMsg*>(wParam);
    switch (msg) {
        case WM_DEVICE_ANSWER:
            if (command != nullptr && (lParam == 0 || lParam == 1)) m_reports.OnAnswer(*command, lParam == 1);
            break;
        case WM_NO_RESPONSE:
            if (command != nullptr) m_reports.OnNoResponse(*command);
            break;
        case WM_PORT_OPENED: m_reports.OnPortOpened(); break;
        case WM_PORT_OPEN_FAILED: m_reports.OnPortOpenFailed(); break;
        case WM_LOG_PROGRESS: m_reports.OnLogProgress(static_cast<unsigned>(wParam), lParam == 1); break;
        case WM_LOG_EMPTY: m_reports.OnLogEmpty(); break;
        case WM_LOG_READ_ERROR: m_reports.OnLogReadError(); break;
        case WM_LOG_READ_DONE: m_reports.OnLogReadDone(static_cast<unsigned>(wParam)); break;
        case WM_LOG_READ_FAILED: m_reports.OnLogReadFailed(); break;
        // Flow ends, task starts, frame errors and a failed port task change nothing a
        // user sees: the tasks report what matters through the messages above.
        default: break;
    }
}

}  // namespace wing
