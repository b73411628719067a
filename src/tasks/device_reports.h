#pragma once
// The background's reports in typed form. The registry, the channel, the tasks and the
// flows report through the window interface with the system's message numbers; a
// CReportInbox stands where a window would and turns each message into one call of
// IDeviceReports, so the logger session above never decodes a message number or a
// parameter. Every call runs on the thread that reported, at once.

#include <atomic>

#include "platform/window.h"

namespace wing {

class CWingMsg;

class IDeviceReports {
public:
    virtual ~IDeviceReports() = default;
    // An answer the registry matched to `command`; the task waiting for it is released
    // when this returns.
    virtual void OnAnswer(CWingMsg& command, bool refused) = 0;
    virtual void OnNoResponse(CWingMsg& command) = 0;
    virtual void OnPortOpened() = 0;
    virtual void OnPortOpenFailed() = 0;
    // The count has been asked for (`index` unused), or records up to `index` are in.
    virtual void OnLogProgress(unsigned index, bool countAsked) = 0;
    virtual void OnLogEmpty() = 0;
    virtual void OnLogReadError() = 0;
    virtual void OnLogReadDone(unsigned count) = 0;
    virtual void OnLogReadFailed() = 0;
};

class CReportInbox : public IWindow {
public:
    explicit CReportInbox(IDeviceReports& reports) : m_reports(reports) {}

    bool Post(unsigned msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT Send(unsigned msg, WPARAM wParam, LPARAM lParam) override;
    bool IsWindow() const override { return m_open; }
    // From now on nothing is delivered.
    void Close() { m_open = false; }

private:
    void Deliver(unsigned msg, WPARAM wParam, LPARAM lParam);

    IDeviceReports& m_reports;
    std::atomic<bool> m_open{true};
};

}  // namespace wing
