#pragma once
// One step of a task flow: open the port, send one command, download the log, or end.

#include <atomic>
#include <cstdint>

#include "platform/window.h"
#include "protocol/object.h"

namespace wing {

class CTaskFlow;
class CTaskFlowWithCommPort;
class CWingMsg;
class CCmdFactory;
class CReadLog;
class CQueryLogNumber;

class CTask : public CObject {
public:
    CTask();
    ~CTask() override = default;

    virtual const wchar_t* GetName();
    // True on success; selects the link the flow follows.
    virtual bool Run();

    CTask* m_nextOnSuccess = nullptr;  // null: back to the flow's first task
    CTask* m_nextOnFailure = nullptr;
    CTaskFlow* m_flow = nullptr;
    int m_result = 0;
    wchar_t m_name[64];
    int m_terminal = 0;

protected:
    void SetName(const wchar_t* name);
    // Posts to the flow's window when there is a flow and its window is a window.
    bool PostToFlowWindow(unsigned msg, WPARAM wParam, LPARAM lParam);
    bool PostStarted();
    // The flow as one with a port, or null.
    CTaskFlowWithCommPort* CommFlow() const;
};

class CCmdTask : public CTask {
public:
    const wchar_t* GetName() override;
    bool Run() override;

    CWingMsg* m_message = nullptr;
    CCmdFactory* m_factory = nullptr;
};

class COpenComPortTask : public CTask {
public:
    static constexpr std::uint32_t kSettleMs = 1000;

    COpenComPortTask();
    bool Run() override;
    // The wait before the port is opened: the full settle wait, or with
    // m_settleNewPortsOnly what is left of it since the port's device appeared.
    std::uint32_t SettleMs() const;

    std::uint32_t m_spare = 2000;
    // A port that has been there for the settle wait is opened at once.
    std::atomic<bool> m_settleNewPortsOnly{false};
};

class CProcessErrorTask : public CTask {
public:
    CProcessErrorTask();
    bool Run() override;
};

class CReadLogTask : public CCmdTask {
public:
    // The record count before the window has stored the device's answer. Wider than
    // the device's 16-bit count, so no answer can be mistaken for "not yet known".
    static constexpr std::uint32_t kCountUnknown = 0xFFFFFFFFu;
    static constexpr std::uint16_t kMaxRecords = 2048;
    static constexpr std::uint16_t kPageRecords = 8;
    // The pause after each page, which the logger may need before the next request.
    static constexpr std::uint32_t kPagePauseMs = 10;
    // How long the count may take to reach the window after its answer was delivered.
    static constexpr std::uint32_t kCountWaitMs = 10000;

    const wchar_t* GetName() override;
    bool Run() override;

    // The window's part: the count stored, or the download given up. Either ends the
    // task's wait for the count at once.
    void SetRecordCount(std::uint32_t count);
    void MarkFailed();

    std::atomic<std::uint32_t> m_recordCount{kCountUnknown};
    CReadLog* m_readMessage = nullptr;
    CQueryLogNumber* m_countMessage = nullptr;
    std::atomic<int> m_failed{0};

private:
    // Waits, asleep, until the window has stored the count; false when the failed or
    // stop flag ended the wait or the count never came.
    bool WaitForCount();
};

}  // namespace wing
