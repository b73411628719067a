#pragma once
// The COM port: the settings object the window and flows use, and the open channel with
// its reader thread and the send-and-wait of a request.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <thread>

#include "platform/serial_device.h"
#include "platform/sync.h"
#include "platform/window.h"
#include "protocol/object.h"
#include "protocol/receive_ring.h"
#include "protocol/wing_protocol.h"

namespace wing {

class CWingMsg;

// One reader thread per open port. It sleeps in `poll` until bytes arrive or Close wakes
// it, appends them to the ring and hands each complete frame to the parser at once; the
// parser's answer reaches the window before the waiting request is released.
class CComPortChannel {
public:
    static constexpr std::uint32_t kQueueSize = 10240;
    // The pause that keeps a port reporting readable without bytes from spinning the reader.
    static constexpr std::uint32_t kPassMs = 10;
    static constexpr std::uint32_t kAttemptMs = 1000;
    static constexpr int kAttempts = 3;
    static constexpr std::uint32_t kThreadStopMs = 5000;

    CComPortChannel();
    ~CComPortChannel();
    CComPortChannel(const CComPortChannel&) = delete;
    CComPortChannel& operator=(const CComPortChannel&) = delete;

    bool Open(int baud, int port, int parity);
    void Close();
    // Writes the frame and waits for the message's answer event, three attempts.
    bool SendAndWait(const std::uint8_t* frame, std::uint16_t length, CWingMsg* message);

    bool IsOpen() const { return m_port.IsOpen(); }
    bool ThreadsRunning() const { return m_readerRunning; }

    SerialDevice m_port;
    HWND m_window = nullptr;
    SerialTimeouts m_timeouts;
    int m_portNumber = -1;
    int m_baud = -1;
    SerialSettings m_settings;
    CWingProtocol m_protocol;
    ReceiveRing m_rx{&m_protocol};
    std::atomic<bool> m_stop{false};
    std::uint32_t m_idleStart = 0;  // kept up to date, never used for a decision
    std::uint8_t m_readBuffer[256];

private:
    void ReaderThread();
    // Reads everything waiting, chunk by chunk, each followed by its frames' dispatch.
    // False when the port said it was readable and had nothing.
    bool ReceiveWaiting();
    // Cuts every complete frame out of the ring and parses it, outside the lock.
    void DispatchFrames();
    // Sleeps through the wire time of the rest of a frame whose start has arrived.
    void SleepThroughRestOfFrame();
    // Reads what is waiting into the read buffer; the count read.
    std::uint32_t ReadWaiting();
    bool PurgePort();
    // Drops every byte that has arrived and not yet been parsed, in the port and in the ring.
    void DiscardUnparsed();

    // The one lock of the channel, alive from construction to destruction.
    std::mutex m_lock;
    std::thread m_reader;
    AutoResetEvent m_readerEnded;
    std::atomic<bool> m_readerRunning{false};
    WakeDescriptor m_wake;  // Close ends the reader's wait with it
};

class CComPortOpeation : public CObject {
public:
    // SendAndWait on the channel; when it fails, posts WM_NO_RESPONSE for the message.
    // False without posting when the channel or the message is null.
    bool SendCommand(const std::uint8_t* frame, std::uint16_t length, CWingMsg* message);

    CComPortChannel* m_channel = nullptr;
    int m_portNumber = 0;
    int m_baud = 115200;
    int m_parity = 0;
    HWND m_window = nullptr;
};

}  // namespace wing
