#pragma once
// The logger, played on a pseudo-terminal: it answers the nine commands with data or
// status replies, keeps a clock, start settings and a stored track, injects faults on
// request, paces its output at the line speed and logs every frame in and out.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "logger-sim/flight_log.h"

namespace wing::sim {

// Status codes the logger answers with (type 3 replies).
enum StatusCode : std::uint8_t {
    kEcho = 0,
    kIncorrectFormat = 1,
    kIncorrectEncryption = 2,
    kIncorrectLength = 3,
    kCrcError = 4,
    kNotSupported = 5,
    kParameterError = 6,
    kBoardNotDetected = 8,
};

enum class SerialNumberMode {
    Present,      // Get SN answers with the text
    None,         // Get SN answers with an empty text
    OldFirmware,  // Get SN is refused with code 5
};

// Refuse command `command`.`sub` with status `code`: always (times 0) or the first `times` requests.
struct Refusal {
    int command = 0;
    int sub = 0;
    std::uint8_t code = kNotSupported;
    int times = 0;
};

enum class ReplyFaultKind { Drop, Corrupt, Duplicate, DuplicateLate, Reshape };

// Applies to every `every`-th reply, counting all replies or (command >= 0) only the
// replies to that command and sub id. Corrupt flips the checksum; Duplicate sends the
// frame twice; DuplicateLate sends the copy when the next request has arrived, just
// before answering that one, so the copy reaches the PC after its next request; Reshape
// sends `extraBytes` bytes after the 16-byte body instead of what the reply carries
// (cut short, or padded with zeros).
struct ReplyFault {
    ReplyFaultKind kind = ReplyFaultKind::Drop;
    int every = 1;
    int command = -1;
    int sub = -1;
    int extraBytes = 0;
};

struct Faults {
    std::vector<Refusal> refusals;
    std::vector<ReplyFault> replyFaults;
    int garbageBytes = 0;        // random bytes (never a start marker) before every reply
    bool garbageStream = false;  // between replies, random bytes without pause (at the line speed)
    int splitMaxChunk = 0;       // > 0: replies go out in random chunks of 1..N bytes
    int splitDelayMs = 0;        //      with this pause between chunks
    int replyDelayMs = 0;        // pause before every reply
    double boardMissingFrom = -1;  // Query Status answers code 8 from this many seconds
    double boardMissingTo = -1;    // after Start until this many (both < 0: never)
    int hangUpAfterPages = -1;   // >= 0: answer this many Read Log requests, then hang up
                                 // when the next one arrives (the port disappears)
    int overcount = 0;           // Query Log Number reports this many slots more than are
                                 // stored; Read Log answers them as erased flash (0xFF)
};

struct SimConfig {
    int comNumber = 0;           // 0: the lowest free number
    bool registerPort = true;    // register in the serial device map as a Prolific adapter
    SerialNumberMode serialMode = SerialNumberMode::Present;
    std::string serialNumber = "WG1507A0042";
    std::uint32_t version = 0x01020304;   // shows as V 1.2.3.4
    std::uint32_t version2 = 0x20150501;  // the second value of the version reply
    std::uint8_t battery = 41;   // tenths of a volt, 0-63
    std::uint8_t switchPos = 1;  // 0 off, 1 on, other values unknown
    std::uint8_t startType = 0;
    std::uint32_t reservedStart = 0;
    std::uint8_t recordMode = 0; // 0-3
    std::int64_t clockOffset = 0;      // device clock = PC clock + this, until Set RTC
    std::int64_t setModeTimeSkew = 0;  // Set Mode stores the reserved start plus this
    FlightSpec flight;                 // the generated log, unless `records` is given
    std::optional<std::vector<LogSlot>> records;  // explicit log (at most kLogCapacity slots)
    Faults faults;
    bool pacing = true;          // send at 115200 baud, 10 bits a byte
    std::uint32_t faultSeed = 1; // garbage bytes and chunk sizes
};

struct DeviceState {
    std::uint32_t clock = 0;
    std::uint8_t switchPos = 0;
    std::uint8_t startType = 0;
    std::uint32_t reservedStart = 0;
    std::uint8_t battery = 0;
    std::uint8_t recordMode = 0;
    int logCount = 0;
    std::uint8_t softwareSwitch[3] = {0, 0, 0};  // last Set Software Switch parameters
    std::uint32_t softwareSwitchValues[2] = {0, 0};
    int pageRequests = 0;
    bool hungUp = false;
};

// One frame in or out. `type` is the body's message type (-1 when the frame was too
// short to carry one); `statusCode` the code of a status reply, else -1.
struct FrameLogEntry {
    double seconds = 0;  // since Start
    bool fromPc = false;
    int command = -1;
    int sub = -1;
    int type = -1;
    int statusCode = -1;
    std::vector<std::uint8_t> frame;
    std::string note;  // faults applied, frame errors
    std::string text;  // the readable line
    double sentSeconds = -1;  // a reply: when its last byte was written (-1: not written)
};

struct SimPort {
    bool ok = false;
    int comNumber = 0;      // 0 when not registered
    std::string slavePath;  // /dev/pts/N
    std::string error;
    explicit operator bool() const { return ok; }
};

// The display name of a command, e.g. "Read Log"; "command c.s" for unknown ones.
std::string CommandName(int command, int sub);

// A frame around `body`: markers, length word (encryption type 0), checksum.
std::vector<std::uint8_t> BuildFrame(const std::vector<std::uint8_t>& body);

class LoggerSimulator {
public:
    explicit LoggerSimulator(SimConfig config = {});
    ~LoggerSimulator();
    LoggerSimulator(const LoggerSimulator&) = delete;
    LoggerSimulator& operator=(const LoggerSimulator&) = delete;

    // Opens the pseudo-terminal, registers it and starts answering.
    SimPort Start();
    // Stops answering, closes the pseudo-terminal and removes the registration.
    void Stop();

    int ComNumber() const;
    std::string SlavePath() const;
    bool HungUp() const;

    DeviceState State() const;
    std::vector<LogSlot> LogSlots() const;
    // The slots a download of the reported count gets: the stored ones, then erased
    // flash (all 0xFF) up to the count the logger reports (at most the flash's 2048).
    std::vector<LogSlot> ReportedSlots() const;
    // The fancier moves the logger's switch: later status answers report `position`.
    void SetSwitch(std::uint8_t position);

    std::vector<FrameLogEntry> FrameLog() const;
    std::vector<std::string> FrameLogLines() const;
    void ClearFrameLog();
    // Called with every frame-log line as it is made (set before Start).
    void SetFrameLogSink(std::function<void(const std::string&)> sink);
    // When Start ran: the zero of the frame log's seconds.
    std::chrono::steady_clock::time_point StartedAt() const { return m_startedAt; }

private:
    using Clock = std::chrono::steady_clock;

    void Run();
    void ProcessInput();
    void HandleFrame(const std::vector<std::uint8_t>& frame);
    void HandleRequest(const std::vector<std::uint8_t>& frame, const std::vector<std::uint8_t>& body);
    void SendStatus(int command, int sub, std::uint8_t code, const std::string& why);
    void SendData(int command, int sub, const std::vector<std::uint8_t>& body, const std::string& fields);
    void SendReply(int command, int sub, int type, int statusCode, const std::vector<std::uint8_t>& body,
                   const std::string& fields);
    bool WriteBytes(const std::uint8_t* data, std::size_t length);
    void SendLateCopy();
    // 64 random bytes that never hold a start marker, as the garbage stream sends them.
    void SendGarbageChunk();
    bool WriteRaw(const std::uint8_t* data, std::size_t length);
    bool SleepUntil(Clock::time_point when);  // false when stopping
    bool SleepMs(int ms) { return SleepUntil(Clock::now() + std::chrono::milliseconds(ms)); }
    void HangUp();
    void CloseFds();
    double Seconds() const;
    std::uint32_t DeviceClock() const;  // needs m_stateMutex
    std::size_t ReportedCount() const;  // needs m_stateMutex
    // The entry's index in the frame log.
    std::size_t AddLog(FrameLogEntry entry);
    void MarkSent(std::size_t index);

    SimConfig m_config;
    std::vector<LogSlot> m_log;

    mutable std::mutex m_stateMutex;
    DeviceState m_state;
    std::int64_t m_clockBase = 0;       // device clock at m_clockSetAt
    Clock::time_point m_clockSetAt;
    std::vector<int> m_refusalsUsed;
    std::vector<int> m_faultCounters;

    mutable std::mutex m_logMutex;
    std::vector<FrameLogEntry> m_frameLog;
    std::function<void(const std::string&)> m_sink;

    int m_master = -1;
    int m_slaveHold = -1;  // keeps the terminal alive while the tool has it closed
    int m_wake[2] = {-1, -1};
    std::string m_slavePath;
    std::atomic<int> m_com{0};
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hungUp{false};
    std::mutex m_sleepMutex;
    std::condition_variable m_sleepCv;
    Clock::time_point m_startedAt;
    Clock::time_point m_lineFreeAt;  // when the bytes already written have left the wire
    std::vector<std::uint8_t> m_rx;
    std::vector<std::uint8_t> m_lateCopy;  // a reply to send again at the next request
    Clock::time_point m_rxFirstAt;
    Clock::time_point m_rxLastAt;
    std::mt19937 m_rng;
};

}  // namespace wing::sim
