#include "serial/com_port.h"

#include <poll.h>

#include <cerrno>
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
    m_wake.Clear();
    m_readerRunning = true;
    m_reader = std::thread(&CComPortChannel::ReaderThread, this);
    return stateOk && timeoutsRead && timeoutsSet;
}

void CComPortChannel::Close() {
    if (!m_port.IsOpen() && !m_reader.joinable()) return;
    if (m_reader.joinable()) {
        m_stop = true;
        m_wake.Signal();
        if (!m_readerEnded.Wait(kThreadStopMs)) {
            // No thread is ever killed. The reader can only be held this long by a window
            // that does not take an answer; say so and wait for it.
            std::fprintf(stderr, "wing-utility: the reader thread did not end within %u ms\n", kThreadStopMs);
        }
        m_reader.join();
        m_readerRunning = false;
    }
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
    // Asleep until the port has bytes or Close wakes it: no pass, no timer. A port that
    // has hung up (the adapter was pulled) stays readable for ever without a byte; it is
    // left out of the wait from then on, and the requests' attempts report the silence.
    bool portAlive = true;
    while (!m_stop) {
        pollfd fds[2] = {{m_wake.fd(), POLLIN, 0}, {portAlive ? m_port.fd() : -1, POLLIN, 0}};
        const int timeout = m_wake.fd() >= 0 ? -1 : static_cast<int>(kPassMs);
        if (::poll(fds, 2, timeout) < 0 && errno != EINTR) SleepMs(kPassMs);
        if (m_stop) break;
        const short port = fds[1].revents;
        const bool hungUp = (port & (POLLHUP | POLLERR | POLLNVAL)) != 0;
        if ((port & POLLIN) != 0) {
            if (!ReceiveWaiting()) {
                if (hungUp) portAlive = false;
                else SleepMs(kPassMs);
            } else {
                SleepThroughRestOfFrame();
            }
        } else if (hungUp) {
            portAlive = false;
        }
    }
    m_readerEnded.Set();
}

void CComPortChannel::SleepThroughRestOfFrame() {
    int missing = 0;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        missing = m_rx.m_missing;
    }
    if (missing <= 0 || m_baud <= 0) return;
    // The rest of a frame comes at the line's speed, ten bits a byte: one wake for it all
    // instead of one for every piece the adapter hands over. Close still ends the sleep.
    const long micros = std::min<long>(100000, (missing * 10L * 1000000L + m_baud - 1) / m_baud);
    pollfd wake{m_wake.fd(), POLLIN, 0};
    const timespec span{micros / 1000000, (micros % 1000000) * 1000};
    if (wake.fd >= 0) ::ppoll(&wake, 1, &span, nullptr);
}

bool CComPortChannel::ReceiveWaiting() {
    bool any = false;
    for (;;) {
        std::uint32_t got = 0;
        {
            // Read and stored under the lock: a request's discard of what has arrived
            // before it cannot fall between the two.
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_rx.IsRingFull()) {
                // Only bytes that never make a frame can fill it: drop them, or the port
                // would stay readable and the reader spin.
                m_rx.Reset();
            }
            got = ReadWaiting();
            if (got > 0) {
                m_rx.AppendBytes(m_readBuffer, static_cast<int>(got));
                std::memset(m_readBuffer, 0, sizeof m_readBuffer);
            }
        }
        if (got == 0) return any;
        any = true;
        DispatchFrames();
    }
}

void CComPortChannel::DispatchFrames() {
    std::uint8_t frame[kFrameBufferSize];
    for (;;) {
        CProtocol* protocol = nullptr;
        int length = 0;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            if (m_rx.IsRingEmpty()) return;
            const int readBefore = m_rx.m_read;
            m_rx.ExtractFrame();
            if (m_rx.m_current != nullptr && m_rx.m_frameLength > 0 && m_rx.m_frameLength <= kFrameBufferSize) {
                protocol = m_rx.m_current;
                length = m_rx.m_frameLength;
                std::memcpy(frame, m_rx.m_frame, static_cast<std::size_t>(length));
            } else if (m_rx.m_read == readBefore) {
                return;  // the rest of a frame is on its way
            }
        }
        // The frame is parsed, and its answer handed to the window, outside the lock: a
        // task that writes its next request must be able to clear the ring meanwhile,
        // also while the window's handling of this answer waits for that task.
        if (protocol != nullptr) protocol->Parse(frame, length);
    }
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
        if (message != nullptr) message->m_attempt = attempt;
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
