// The four task graphs on the two flows, the dispatcher that switches between them, and
// the closing of the link.

#include <algorithm>

#include "session/logger_session.h"

namespace wing {
namespace {

// Links a task: both successors and the flow, when all are there.
void LinkTask(CTask& task, CTaskFlow* flow, CTask* onSuccess, CTask* onFailure) {
    if (flow == nullptr || onSuccess == nullptr || onFailure == nullptr) return;
    task.m_nextOnSuccess = onSuccess;
    task.m_nextOnFailure = onFailure;
    task.m_flow = flow;
}

}  // namespace

void LoggerSession::ResetLinkState() {
    m_reinitPending = 0;
    m_setModePending = 0;
    m_reqReadLog = 0;
    m_reqSetMode = 0;
    m_verifyAfterSet = 0;
    m_clockRefusals = 0;
    m_snText.clear();
    m_lastSwitch = 2;
}

void LoggerSession::BuildInitQueryFlow() {
    ResetLinkState();
    CTaskFlowWithCommPort& flow = m_queryFlow;
    flow.m_port = &m_port;
    flow.m_registry = &m_cmdRegistry;
    flow.SetName(L"Init and Query Task Flow");
    flow.m_window = &m_inbox;
    flow.SetFirstTask(&m_openPortTask);
    flow.m_delay = 100;

    LinkTask(m_openPortTask, &flow, &m_cmdTask1, &m_errorTask);
    LinkTask(m_cmdTask1, &flow, &m_cmdTask2, &m_errorTask);
    LinkTask(m_cmdTask2, &flow, &m_cmdTask3, &m_errorTask);
    LinkTask(m_cmdTask3, &flow, &m_cmdTask4, &m_errorTask);
    LinkTask(m_cmdTask4, &flow, &m_cmdTask4, &m_errorTask);
    CCmdTask* tasks[] = {&m_cmdTask1, &m_cmdTask2, &m_cmdTask3, &m_cmdTask4};
    CWingMsg* messages[] = {&m_setRtc, &m_getVersion, &m_getSn, &m_queryStatus};
    for (int i = 0; i < 4; ++i) {
        tasks[i]->m_message = messages[i];
        tasks[i]->m_factory = &m_cmdFactory;
    }
    m_errorTask.m_flow = &flow;
    m_errorTask.m_terminal = 1;
}

void LoggerSession::BuildQueryFlow() {
    m_queryFlow.SetName(L"Query Task Flow");
    m_queryFlow.m_window = &m_inbox;
    m_queryFlow.SetFirstTask(&m_cmdTask4);
    m_queryFlow.m_delay = 500;
    m_cmdTask4.m_nextOnSuccess = &m_cmdTask4;
}

void LoggerSession::BuildSetModeFlow() {
    m_setModePending = 1;
    m_verifyAfterSet = 0;
    m_softwareSwitch.m_value0 = 0;
    m_softwareSwitch.m_value1 = 1;
    m_softwareSwitch.m_value2 = 1;

    CTaskFlowWithCommPort& flow = m_commandFlow;
    flow.SetName(L"Set Mode");
    flow.m_window = &m_inbox;
    flow.SetFirstTask(&m_cmdTask1);
    flow.m_delay = 50;
    flow.m_port = &m_port;
    flow.m_registry = &m_cmdRegistry;

    LinkTask(m_cmdTask1, &flow, &m_cmdTask2, &m_errorTask);
    LinkTask(m_cmdTask2, &flow, &m_errorTask, &m_errorTask);
    m_cmdTask1.m_message = &m_deleteLog;
    m_cmdTask2.m_message = &m_setMode;
    m_cmdTask1.m_factory = &m_cmdFactory;
    m_cmdTask2.m_factory = &m_cmdFactory;
}

void LoggerSession::BuildReadLogFlow() {
    CTaskFlowWithCommPort& flow = m_commandFlow;
    flow.SetName(L"Read Log");
    flow.m_window = &m_inbox;
    flow.SetFirstTask(&m_readLogTask);
    flow.m_delay = 50;
    flow.m_port = &m_port;
    flow.m_registry = &m_cmdRegistry;
    m_readLogTask.m_readMessage = &m_readLog;
    m_readLogTask.m_countMessage = &m_queryLogNumber;
    m_readLogTask.m_factory = &m_cmdFactory;
    m_readLogTask.m_flow = &flow;
    m_readLogTask.m_nextOnSuccess = &m_errorTask;
    m_readLogTask.m_nextOnFailure = &m_errorTask;
}

void LoggerSession::RunNextFlow() {
    std::lock_guard<std::mutex> lock(m_dispatchLock);
    auto stopAndWait = [](CTaskFlow& flow) {
        flow.RequestStop();
        flow.WaitForWorker();
    };

    // The flows are rewired with the reports held off: a late report must not meet a
    // half-built graph or the per-link texts being cleared.
    if (m_reqInitQuery.exchange(0)) {
        stopAndWait(m_queryFlow);
        stopAndWait(m_commandFlow);
        std::lock_guard<std::mutex> reports(m_reportLock);
        BuildInitQueryFlow();
        m_awaitFirstStatus = 1;
        m_reinitPending = 0;
        m_linkClosing = false;
        m_queryFlow.Start();
        return;
    }
    if (m_linkClosing) {
        // The link is being closed: nothing may start on a port about to go.
        stopAndWait(m_queryFlow);
        stopAndWait(m_commandFlow);
        return;
    }
    if (m_reqReadLog) {
        stopAndWait(m_queryFlow);
        std::lock_guard<std::mutex> reports(m_reportLock);
        m_reqReadLog = 0;
        BuildReadLogFlow();
        m_commandFlow.Start();
        return;
    }
    if (m_reqSetMode) {
        stopAndWait(m_queryFlow);
        std::lock_guard<std::mutex> reports(m_reportLock);
        // The flow marks the setting pending before the request is cleared, so the
        // setting is never seen as over in between.
        BuildSetModeFlow();
        m_reqSetMode = 0;
        m_commandFlow.Start();
        return;
    }
    stopAndWait(m_commandFlow);
    std::lock_guard<std::mutex> reports(m_reportLock);
    if (m_reinitPending) {
        BuildInitQueryFlow();
    } else {
        BuildQueryFlow();
    }
    // The guard of Start keeps a second worker off a flow whose worker still runs
    // (two end-of-command reports may both resume the poll).
    m_queryFlow.Start();
}

void LoggerSession::SetShortWaits(bool on) {
    m_shortWaits = on;
    m_openPortTask.m_settleNewPortsOnly = on;
}

void LoggerSession::StartFlowDispatch() { m_dispatchThreads.Start([this] { RunNextFlow(); }); }

void LoggerSession::CloseLink() {
    // A refusal and the same command's no-response report may both ask: one close acts.
    if (m_closeLinkRunning.exchange(true)) return;
    m_linkClosing = true;
    if (!m_closeLinkThreads.Start([this] { CloseLinkWorker(true); })) m_closeLinkRunning = false;
}

void LoggerSession::CloseLinkWorker(bool report) {
    {
        std::lock_guard<std::mutex> lock(m_dispatchLock);
        const std::uint32_t pause = m_shortWaits ? 0 : CTaskFlow::kStopPauseMs;
        m_queryFlow.Stop(pause);
        m_commandFlow.Stop(pause);
        m_portChannel.Close();
    }
    m_closeLinkRunning = false;
    if (report) OnLinkClosed();
}

}  // namespace wing
