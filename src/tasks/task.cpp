#include "tasks/task.h"

#include <algorithm>
#include <chrono>

#include "protocol/cmd_factory.h"
#include "protocol/cmd_registry.h"
#include "protocol/commands.h"
#include "serial/com_port.h"
#include "platform/serial_device.h"
#include "tasks/task_flow.h"

namespace wing {

// ---- CTask ------------------------------------------------------------------------

CTask::CTask() { std::fill(std::begin(m_name), std::end(m_name), L'\0'); }

void CTask::SetName(const wchar_t* name) {
    std::fill(std::begin(m_name), std::end(m_name), L'\0');
    for (std::size_t i = 0; i + 1 < std::size(m_name) && name[i] != L'\0'; ++i) m_name[i] = name[i];
}

const wchar_t* CTask::GetName() { return m_name; }

bool CTask::PostToFlowWindow(unsigned msg, WPARAM wParam, LPARAM lParam) {
    return m_flow != nullptr && m_flow->PostToWindow(msg, wParam, lParam);
}

bool CTask::PostStarted() { return PostToFlowWindow(WM_TASK_STARTED, reinterpret_cast<WPARAM>(m_name), 0); }

bool CTask::Run() { return PostStarted(); }

CTaskFlowWithCommPort* CTask::CommFlow() const { return DynamicDowncast<CTaskFlowWithCommPort>(m_flow); }

// ---- CCmdTask ---------------------------------------------------------------------

const wchar_t* CCmdTask::GetName() { return m_message != nullptr ? m_message->m_displayName : m_name; }

bool CCmdTask::Run() {
    PostStarted();
    // Without a message or a factory there is nothing to build.
    if (m_message == nullptr || m_factory == nullptr) return false;
    std::uint16_t length = 0;
    const std::uint8_t* frame = m_factory->BuildFrame(m_message, length);
    SetName(m_message->m_displayName);

    CTaskFlowWithCommPort* flow = CommFlow();
    if (flow == nullptr) return false;
    if (flow->m_registry != nullptr) flow->m_registry->Register(m_message);
    if (flow->m_port == nullptr || flow->m_port->m_channel == nullptr) return false;
    if (flow->m_port->m_channel->SendAndWait(frame, length, m_message)) return true;
    PostMessageTo(flow->m_port->m_window, WM_NO_RESPONSE, reinterpret_cast<WPARAM>(m_message), 0);
    return false;
}

// ---- COpenComPortTask -------------------------------------------------------------

COpenComPortTask::COpenComPortTask() { SetName(L"開啟通訊埠"); }

bool COpenComPortTask::Run() {
    PostStarted();
    CTaskFlowWithCommPort* flow = CommFlow();
    if (flow == nullptr) return false;
    SleepMs(SettleMs());
    CComPortOpeation* port = flow->m_port;
    if (port != nullptr && port->m_channel != nullptr) {
        if (port->m_channel->Open(port->m_baud, port->m_portNumber, port->m_parity)) {
            PostMessageTo(port->m_window, WM_PORT_OPENED, 0, 0);
            m_result = 1;
            return true;
        }
        PostMessageTo(port->m_window, WM_PORT_OPEN_FAILED, 0, 0);
    }
    PostToFlowWindow(WM_PORT_TASK_FAILED, 0, 0);
    return false;
}

std::uint32_t COpenComPortTask::SettleMs() const {
    if (!m_settleNewPortsOnly) return kSettleMs;
    const CTaskFlowWithCommPort* flow = CommFlow();
    if (flow == nullptr || flow->m_port == nullptr) return kSettleMs;
    const auto age = PortAge(flow->m_port->m_portNumber);
    if (!age) return kSettleMs;
    const auto left = static_cast<std::int64_t>(kSettleMs) - age->count();
    return static_cast<std::uint32_t>(std::clamp<std::int64_t>(left, 0, kSettleMs));
}

// ---- CProcessErrorTask ------------------------------------------------------------

CProcessErrorTask::CProcessErrorTask() { SetName(L"錯誤TASK"); }

bool CProcessErrorTask::Run() { return true; }

// ---- CReadLogTask -----------------------------------------------------------------

const wchar_t* CReadLogTask::GetName() { return m_name; }

void CReadLogTask::SetRecordCount(std::uint32_t count) {
    m_recordCount = count;
    if (m_flow != nullptr) m_flow->Wake();
}

void CReadLogTask::MarkFailed() {
    m_failed = 1;
    if (m_flow != nullptr) m_flow->Wake();
}

bool CReadLogTask::WaitForCount() {
    // Woken by the count, a failure or the flow's stop; the bound counts from the start.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kCountWaitMs);
    while (m_recordCount == kCountUnknown) {
        if (m_failed || m_flow == nullptr || m_flow->m_stop) return false;
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
        if (left <= 0) return false;
        m_flow->WaitForWake(static_cast<std::uint32_t>(left));
    }
    return true;
}

bool CReadLogTask::Run() {
    PostStarted();
    m_failed = 0;
    m_recordCount = kCountUnknown;

    CTaskFlowWithCommPort* flow = CommFlow();
    if (flow == nullptr || m_factory == nullptr) return false;
    std::uint16_t length = 0;
    const std::uint8_t* frame = m_countMessage != nullptr ? m_factory->BuildFrame(m_countMessage, length) : nullptr;
    if (flow->m_registry != nullptr && m_countMessage != nullptr) flow->m_registry->Register(m_countMessage);
    PostToFlowWindow(WM_LOG_PROGRESS, 0, 1);

    CComPortOpeation* port = flow->m_port;
    bool sent = false;
    if (port != nullptr && port->m_channel != nullptr && m_countMessage != nullptr) {
        sent = port->m_channel->SendAndWait(frame, length, m_countMessage);
        if (!sent) PostMessageTo(port->m_window, WM_NO_RESPONSE, reinterpret_cast<WPARAM>(m_countMessage), 0);
    }
    if (!sent) {
        PostToFlowWindow(WM_LOG_READ_FAILED, 0, 1);
        return false;
    }

    if (!WaitForCount()) {
        if (m_failed) {
            flow->EndWorkerAtOnce(20);
        } else if (flow->m_stop) {
            flow->EndWorkerAtOnce(100);
        } else {
            PostToFlowWindow(WM_LOG_READ_FAILED, 0, 1);
        }
        return false;
    }
    if (m_failed) {
        flow->EndWorkerAtOnce(20);
        return false;
    }
    std::uint32_t count = m_recordCount;
    if (count == 0 || count > kMaxRecords) {
        PostToFlowWindow(WM_LOG_EMPTY, 0, 1);
        return false;
    }

    m_failed = 0;
    for (std::uint32_t index = 0; index < count; index += kPageRecords) {
        if (flow->m_stop) {
            flow->EndWorkerAtOnce(100);
            return false;
        }
        if (m_readMessage == nullptr || !m_readMessage->IsKindOf<CReadLog>()) {
            PostToFlowWindow(WM_LOG_READ_FAILED, 0, 0);
            return false;
        }
        m_readMessage->Reset();
        m_readMessage->m_recordCount = kPageRecords;
        m_readMessage->m_firstIndex = static_cast<std::uint16_t>(index);
        frame = m_factory->BuildFrame(m_readMessage, length);
        if (flow->m_registry != nullptr) flow->m_registry->Register(m_readMessage);
        if (port == nullptr || !port->SendCommand(frame, length, m_readMessage)) {
            PostToFlowWindow(WM_LOG_READ_FAILED, 0, 0);
            return false;
        }
        if (m_failed) {
            PostToFlowWindow(WM_LOG_READ_ERROR, 0, 0);
            flow->EndWorkerAtOnce(21);
            return false;
        }
        PostToFlowWindow(WM_LOG_PROGRESS, index, 0);
        SleepMs(kPagePauseMs);
    }
    PostToFlowWindow(WM_LOG_READ_DONE, count, 0);
    return true;
}

}  // namespace wing
