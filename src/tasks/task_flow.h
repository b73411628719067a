#pragma once
// The worker that walks a graph of tasks: run, follow the success or failure link,
// pause, until a terminal task has run or the owner raises the stop flag.

#include <atomic>
#include <mutex>
#include <thread>

#include "platform/sync.h"
#include "platform/window.h"
#include "protocol/object.h"

namespace wing {

class CTask;
class CComPortOpeation;
class CCmdRegistry;

class CTaskFlow : public CObject {
public:
    static constexpr std::uint32_t kStopPauseMs = 1000;
    static constexpr std::uint32_t kStopWaitMs = 5000;

    CTaskFlow();
    ~CTaskFlow() override;
    CTaskFlow(const CTaskFlow&) = delete;
    CTaskFlow& operator=(const CTaskFlow&) = delete;

    virtual void SetFirstTask(CTask* task);
    // The worker thread's body.
    virtual void Run();

    // Starts the worker. False when the thread cannot be created, or when a worker of
    // this flow is still running: a flow never has two.
    bool Start();
    // Stop flag, a pause (1 s unless the owner needs none), then a bounded wait for the
    // worker.
    void Stop(std::uint32_t pauseMs = kStopPauseMs);
    // Raises the stop flag and wakes a task waiting in WaitForWake.
    void RequestStop();
    // Wakes a task of this flow waiting in WaitForWake: what it waits for may have come.
    void Wake();
    // For a task on the worker thread: waits until woken or `ms` have passed.
    bool WaitForWake(std::uint32_t ms);
    // The owner's wait for the worker, without a time limit.
    void WaitForWorker();
    bool PostToWindow(unsigned msg, WPARAM wParam, LPARAM lParam);

    bool HasThread();
    bool IsWorkerRunning() const { return m_running; }

    // Called by a task on the worker thread: no further task runs and the flow ends
    // without posting WM_FLOW_ENDED, as if the thread had ended with `exitCode`.
    void EndWorkerAtOnce(int exitCode);
    bool IsEndingAtOnce() const { return m_endAtOnce; }
    int ExitCode() const { return m_exitCode; }

    CTask* m_current = nullptr;
    CTask* m_first = nullptr;
    HWND m_window = nullptr;
    std::atomic<int> m_stop{0};
    std::atomic<int> m_delay{100};
    wchar_t m_name[32];

    void SetName(const wchar_t* name);

private:
    void ThreadProc();
    // The pause after a task; a stop ends it, as it would end the walk right after it.
    void PauseBetweenTasks(std::uint32_t ms);

    std::mutex m_threadLock;  // Start, Stop and the owner's wait come from different threads
    std::thread m_thread;
    AutoResetEvent m_ended;
    AutoResetEvent m_wake;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_endAtOnce{false};
    std::atomic<int> m_exitCode{0};
};

class CTaskFlowWithCommPort : public CTaskFlow {
public:
    CComPortOpeation* m_port = nullptr;
    CCmdRegistry* m_registry = nullptr;  // null: tasks send without registering
};

}  // namespace wing
