#include "tasks/task_flow.h"

#include <algorithm>
#include <chrono>
#include <cstdio>

#include "tasks/task.h"

namespace wing {

CTaskFlow::CTaskFlow() { std::fill(std::begin(m_name), std::end(m_name), L'\0'); }

CTaskFlow::~CTaskFlow() { Stop(); }

void CTaskFlow::SetName(const wchar_t* name) {
    std::fill(std::begin(m_name), std::end(m_name), L'\0');
    for (std::size_t i = 0; i + 1 < std::size(m_name) && name[i] != L'\0'; ++i) m_name[i] = name[i];
}

void CTaskFlow::SetFirstTask(CTask* task) { m_first = task; }

bool CTaskFlow::PostToWindow(unsigned msg, WPARAM wParam, LPARAM lParam) {
    return IsWindow(m_window) && m_window->Post(msg, wParam, lParam);
}

void CTaskFlow::EndWorkerAtOnce(int exitCode) {
    m_exitCode = exitCode;
    m_endAtOnce = true;
}

void CTaskFlow::Run() {
    // The stop flag is cleared by Start, before the worker exists, so a stop requested
    // while the worker is being created is not lost.
    m_current = nullptr;
    for (;;) {
        if (m_first == nullptr) return;
        if (m_current == nullptr) m_current = m_first;
        CTask* task = m_current;
        task->GetName();
        bool ok = task->Run();
        if (m_endAtOnce) return;
        if (task->m_terminal) break;
        m_current = ok ? task->m_nextOnSuccess : task->m_nextOnFailure;
        PauseBetweenTasks(static_cast<std::uint32_t>(m_delay.load()));
        if (m_stop) break;
    }
    m_current = nullptr;
    PostToWindow(WM_FLOW_ENDED, 0, 0);
    m_exitCode = 100;
}

void CTaskFlow::PauseBetweenTasks(std::uint32_t ms) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!m_stop) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return;
        // Other wakes (a download's count) are for the task, which has run: wait on.
        m_wake.Wait(static_cast<std::uint32_t>(left));
    }
}

void CTaskFlow::ThreadProc() {
    Run();
    m_running = false;
    m_ended.Set();
}

bool CTaskFlow::Start() {
    std::lock_guard<std::mutex> lock(m_threadLock);
    if (m_thread.joinable()) {
        if (m_running) return false;
        m_thread.join();
    }
    m_stop = 0;
    m_wake.Reset();
    m_endAtOnce = false;
    m_exitCode = 0;
    m_ended.Reset();
    m_running = true;
    try {
        m_thread = std::thread(&CTaskFlow::ThreadProc, this);
    } catch (const std::system_error&) {
        m_running = false;
        return false;
    }
    return true;
}

void CTaskFlow::RequestStop() {
    m_stop = 1;
    Wake();
}

void CTaskFlow::Wake() { m_wake.Set(); }

bool CTaskFlow::WaitForWake(std::uint32_t ms) { return m_wake.Wait(ms); }

void CTaskFlow::Stop(std::uint32_t pauseMs) {
    RequestStop();
    std::lock_guard<std::mutex> lock(m_threadLock);
    if (!m_thread.joinable()) return;
    SleepMs(pauseMs);
    if (!m_ended.Wait(kStopWaitMs) && m_running) {
        // Threads are never killed; a task is still inside its own time-outs.
        std::fprintf(stderr, "wing-utility: a flow's worker did not end within %u ms\n", kStopWaitMs);
    }
    m_thread.join();
}

void CTaskFlow::WaitForWorker() {
    std::lock_guard<std::mutex> lock(m_threadLock);
    if (m_thread.joinable()) m_thread.join();
}

bool CTaskFlow::HasThread() {
    std::lock_guard<std::mutex> lock(m_threadLock);
    return m_thread.joinable();
}

}  // namespace wing
