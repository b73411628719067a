#include "serial/com_port.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "protocol/wing_msg.h"

namespace wing {

CComPortChannel::CComPortChannel() { std::memset(m_readBuffer, 0, sizeof m_readBuffer); }

CComPortChannel::~CComPortChannel() { Close(); }

bool CComPortChannel::PurgePort() {
    if (m_port.Purge()) return true;
    std::fputs("\a", stderr);  // the beep of a failed purge
    return false;
}

bool CComPortChannel::Open(int baud, int port, int parity) {
    // The earlier port and its threads go first, so nothing touches the ring while it is reset.
    Close();
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_rx.Reset();
        std::memset(m_readBuffer, 0, sizeof m_readBuffer);
    }
    SleepMs(100);

    std::wstring name = L"\\\\.\\COM" + std::to_wstring(port);
    m_portNumber = port;
    m_baud = baud;
    if (!m_port.Open(name)) return false;
    if (!m_port.SetupComm(kQueueSize, kQueueSize)) return false;

    bool stateOk = m_port.GetState(m_settings);
    if (stateOk) {
        m_settings.baudRate = static_cast<std::uint32_t>(baud);
        m_settings.parity = static_cast<std::uint8_t>(parity);
        m_settings.byteSize = 8;
        m_settings.stopBits = 0;
        stateOk = m_port.SetState(m_settings);
    }
    bool timeoutsRead = m_port.GetTimeouts(m_timeouts);
    m_timeouts = SerialTimeouts{0, 0, 100, 0, 1000};
    bool timeoutsSet = m_port.SetTimeouts(m_timeouts);

    if (!PurgePort()) return false;

    m_stop = false;
    m_readerRunning = true;
    m_reader = std::thread(&CComPortChannel::ReaderThread, this);
    m_receiverRunning = true;
    m_receiver = std::thread(&CComPortChannel::ReceiveThread, this);
    return stateOk && timeoutsRead && timeoutsSet;
}

void CComPortChannel::StopThread(std::thread& thread, AutoResetEvent& ended, std::atomic<bool>& running,
                                 const char* what) {
    if (!thread.joinable()) return;
    m_stop = true;
    if (!ended.Wait(kThreadStopMs)) {
        // No thread is ever killed. A thread can only be held this long by a window that
        // does not answer; say so and wait for it.
        std::fprintf(stderr, "wing-utility: the %s thread did not end within %u ms\n", what, kThreadStopMs);
    }
    thread.join();
    running = false;
}

void CComPortChannel::Close() {
    if (!m_port.IsOpen() && !m_reader.joinable() && !m_receiver.joinable()) return;
    StopThread(m_receiver, m_receiverEnded, m_receiverRunning, "receive");
    StopThread(m_reader, m_readerEnded, m_readerRunning, "reader");
    m_port.Close();
    m_portNumber = -1;
    m_baud = -1;
}

std::uint32_t CComPortChannel::ReadWaiting() {
    std::uint32_t queued = 0;
    if (!m_port.BytesWaiting(queued) || queued == 0) {
        if (m_idleStart == 0) m_idleStart = TickCountMs();
        return 0;
    }
    m_idleStart = 0;
    std::uint32_t got = 0;
    m_port.Read(m_readBuffer, std::min<std::uint32_t>(queued, sizeof m_readBuffer), got);
    return got;
}

void CComPortChannel::ReaderThread() {
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_stop) {
        std::memset(m_readBuffer, 0, sizeof m_readBuffer);
        if (!m_rx.IsRingFull()) {
            std::uint32_t got = ReadWaiting();
            if (got > 0) {
                m_rx.AppendBytes(m_readBuffer, static_cast<int>(got));
                std::memset(m_readBuffer, 0, sizeof m_readBuffer);
            }
        }
        lock.unlock();
        SleepMs(kPassMs);
        lock.lock();
    }
    lock.unlock();
    m_readerEnded.Set();
}

void CComPortChannel::ReceiveThread() {
    std::uint8_t frame[kFrameBufferSize];
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_stop) {
        CProtocol* protocol = nullptr;
        int length = 0;
        if (!m_rx.IsRingEmpty()) {
            m_rx.ExtractFrame();
            if (m_rx.m_current != nullptr && m_rx.m_frameLength > 0 && m_rx.m_frameLength <= kFrameBufferSize) {
                protocol = m_rx.m_current;
                length = m_rx.m_frameLength;
                std::memcpy(frame, m_rx.m_frame, static_cast<std::size_t>(length));
            }
        }
        lock.unlock();
        // The frame is parsed, and its answer handed to the window, outside the lock: a
        // task that writes its next request must be able to clear the ring meanwhile,
        // also while the window's handling of this answer waits for that task.
        if (protocol != nullptr) protocol->Parse(frame, length);
        SleepMs(kPassMs);
        lock.lock();
    }
    lock.unlock();
    m_receiverEnded.Set();
}

void CComPortChannel::DiscardUnparsed() {
    std::lock_guard<std::mutex> lock(m_lock);
    m_port.PurgeInput();
    m_rx.Reset();
}

bool CComPortChannel::SendAndWait(const std::uint8_t* frame, std::uint16_t length, CWingMsg* message) {
    for (int attempt = 1; attempt <= kAttempts; ++attempt) {
        if (frame == nullptr) continue;
        // Only one request is ever outstanding, and its answer cannot come before it is
        // written: whatever has arrived by now answers an earlier request (a copy sent
        // twice, a late reply to a given-up attempt). Taken as this request's answer it
        // would put one page in the place of the next.
        DiscardUnparsed();
        std::uint32_t written = 0;
        if (!m_port.Write(frame, length, written)) {
            m_port.Purge();
            continue;
        }
        if (message != nullptr && message->m_answerEvent.Wait(kAttemptMs)) return true;
    }
    return false;
}

bool CComPortOpeation::SendCommand(const std::uint8_t* frame, std::uint16_t length, CWingMsg* message) {
    if (m_channel == nullptr || message == nullptr) return false;
    if (m_channel->SendAndWait(frame, length, message)) return true;
    PostMessageTo(m_window, WM_NO_RESPONSE, reinterpret_cast<WPARAM>(message), 0);
    return false;
}

}  // namespace wing
