#pragma once
// A serial port as the channel uses it, on termios. Each call keeps the success and
// failure contract of the Win32 call it stands in for (CreateFileW on "\\.\COMn",
// SetupComm, Get/SetCommState, Get/SetCommTimeouts, PurgeComm, ClearCommError,
// ReadFile, WriteFile, CloseHandle).

#include <chrono>
#include <cstdint>
#include <optional>
#include <mutex>
#include <string>

namespace wing {

// The part of a Win32 DCB that this system sets.
struct SerialSettings {
    std::uint32_t baudRate = 9600;
    std::uint8_t byteSize = 8;
    std::uint8_t parity = 0;    // 0 none, 1 odd, 2 even
    std::uint8_t stopBits = 0;  // 0 one, 2 two
};

// Win32 COMMTIMEOUTS, in milliseconds.
struct SerialTimeouts {
    std::uint32_t readInterval = 0;
    std::uint32_t readTotalMultiplier = 0;
    std::uint32_t readTotalConstant = 0;
    std::uint32_t writeTotalMultiplier = 0;
    std::uint32_t writeTotalConstant = 0;
};

class SerialDevice {
public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Opens "\\.\COMn" (resolved through the serial device map) or a device path, for
    // exclusive read and write. False when it does not exist, is in use or is not a tty.
    bool Open(const std::wstring& name);
    bool IsOpen() const;
    void Close();

    // Linux has no per-port queue sizes to set: accepted as they are.
    bool SetupComm(std::uint32_t inQueue, std::uint32_t outQueue);
    bool GetState(SerialSettings& settings) const;
    bool SetState(const SerialSettings& settings);
    bool GetTimeouts(SerialTimeouts& timeouts) const;
    bool SetTimeouts(const SerialTimeouts& timeouts);
    // Discards what is queued in both directions.
    bool Purge();
    // Drops what has arrived and not been read; what is still to be sent stays.
    bool PurgeInput();
    // Bytes waiting to be read. A device that hung up reports 0 bytes, like a silent one.
    bool BytesWaiting(std::uint32_t& count);
    // Reads up to `length` bytes within the read time-outs.
    bool Read(std::uint8_t* buffer, std::uint32_t length, std::uint32_t& got);
    // Writes all bytes within the write time-outs; false when they could not all go.
    bool Write(const std::uint8_t* data, std::uint32_t length, std::uint32_t& written);

    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    SerialTimeouts m_timeouts;
};

// "\\.\COM12" -> 12; 0 when `name` is not of that form.
int ComNumberFromDeviceName(const std::wstring& name);

// How long COM`comNumber`'s device node has been as it is (since it was made, or its
// owner or mode last changed, as udev does when an adapter is plugged in); none when the
// port is not in the map.
std::optional<std::chrono::milliseconds> PortAge(int comNumber);

}  // namespace wing
