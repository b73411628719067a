#include "logger-sim/logger_sim.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/device_map.h"
#include "protocol/crc32.h"

namespace wing::sim {
namespace {

using namespace std::chrono;

// 115200 baud, one start bit, eight data bits, one stop bit.
constexpr auto kByteTime = duration<double>(10.0 / 115200.0);
constexpr std::size_t kMaxBody = 1024;           // longer length words are line noise
constexpr auto kStaleInput = milliseconds(200);  // an incomplete frame is dropped after this silence
constexpr auto kWriteStall = seconds(2);         // give up a reply the tool does not read

const char* const kStatusTexts[] = {
    "Echo Message",          "Incorrect format",          "Incorrect Encryption type",
    "Incorrect data length", "CRC Error",                 "Command is not supported",
    "Command parameter error", "GPS Board no respond",    "GPS Board not detected",
    "Incorrect Mode",        "GPS in boot mode",          "[IAP] Flash can't be erased",
    "[IAP] Flash can't be written", "Incorrect group",    "No command allowed",
};

std::uint16_t U16(const std::uint8_t* p) { return static_cast<std::uint16_t>(p[0] | (p[1] << 8)); }
std::uint32_t U32(const std::uint8_t* p) {
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void PutU16(std::uint8_t* p, std::uint16_t v) {
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void PutU32(std::uint8_t* p, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::string Format(const char* fmt, auto... args) {
    char buf[512];
    std::snprintf(buf, sizeof buf, fmt, args...);
    return buf;
}

std::string UtcText(std::uint32_t t) {
    std::time_t tt = t;
    std::tm tm{};
    gmtime_r(&tt, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%d %H:%M:%S UTC", &tm);
    return buf;
}

std::string StatusText(int code) {
    return code >= 0 && code < 15 ? kStatusTexts[code] : "unknown code";
}

// The parameters of a request as a readable text.
std::string RequestFields(int command, int sub, const std::vector<std::uint8_t>& body) {
    if (body.size() < 16) return {};
    const std::uint8_t* b = body.data();
    if (command == 1 && sub == 3) return Format("request byte=%u", b[5]);
    if (command == 2 && sub == 0) return Format("time=%u (%s)", U32(b + 5), UtcText(U32(b + 5)).c_str());
    if (command == 2 && sub == 1)
        return Format("start type=%u record mode=%u reserved start=%u", b[5], b[6], U32(b + 7));
    if (command == 2 && sub == 4) return Format("switch=%u values=%u,%u", b[5], U32(b + 6), U32(b + 10));
    if (command == 3 && sub == 0) return Format("first=%u count=%u", U16(b + 5), U16(b + 7));
    return {};
}

}  // namespace

std::string CommandName(int command, int sub) {
    struct Name { int command, sub; const char* name; };
    static const Name kNames[] = {
        {1, 0, "Query Staus"}, {1, 1, "Get Version"}, {1, 3, "Get SN"},
        {2, 0, "Set RTC"},     {2, 1, "Set Mode"},    {2, 4, "Set Software Switch"},
        {3, 0, "Read Log"},    {3, 1, "Query Log Number"}, {3, 2, "Delete log"},
    };
    for (const auto& n : kNames) {
        if (n.command == command && n.sub == sub) return n.name;
    }
    return Format("command %d.%d", command, sub);
}

std::vector<std::uint8_t> BuildFrame(const std::vector<std::uint8_t>& body) {
    std::vector<std::uint8_t> frame(body.size() + 10);
    frame[0] = 0xA0;
    frame[1] = 0xA2;
    PutU16(&frame[2], static_cast<std::uint16_t>((body.size() + 4) & 0x3FFF));
    PutU32(&frame[4], CalcCrc32(body.size(), body.data()));
    std::copy(body.begin(), body.end(), frame.begin() + 8);
    frame[frame.size() - 2] = 0xB0;
    frame[frame.size() - 1] = 0xB3;
    return frame;
}

LoggerSimulator::LoggerSimulator(SimConfig config) : m_config(std::move(config)), m_rng(m_config.faultSeed) {}

LoggerSimulator::~LoggerSimulator() { Stop(); }

SimPort LoggerSimulator::Start() {
    SimPort port;
    if (m_thread.joinable() || m_master >= 0) {
        port.error = "already started";
        return port;
    }
    if (m_config.battery > 63 || m_config.recordMode > 3) {
        port.error = "battery must be 0-63 and record mode 0-3";
        return port;
    }
    if (m_config.records) {
        if (m_config.records->size() > static_cast<std::size_t>(kLogCapacity)) {
            port.error = "more log slots than the logger holds (2048)";
            return port;
        }
        m_log = *m_config.records;
    } else {
        FlightSpec spec = m_config.flight;
        if (spec.recordMode < 0) spec.recordMode = m_config.recordMode;
        m_log = GenerateFlightLog(spec);
    }

    m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    char name[128] = {};
    if (m_master < 0 || ::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        port.error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        CloseFds();
        return port;
    }
    m_slavePath = name;
    // Settings made on the master apply to the terminal's slave side: raw, so every
    // byte value passes both ways untouched.
    termios tio{};
    if (::tcgetattr(m_master, &tio) == 0) {
        ::cfmakeraw(&tio);
        ::cfsetspeed(&tio, B115200);
        ::tcsetattr(m_master, TCSANOW, &tio);
    }
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);
    m_slaveHold = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_slaveHold < 0 || ::pipe2(m_wake, O_CLOEXEC | O_NONBLOCK) != 0) {
        port.error = std::string("cannot open the pseudo-terminal: ") + std::strerror(errno);
        CloseFds();
        return port;
    }

    if (m_config.registerPort) {
        if (m_config.comNumber > 0) {
            if (RegisterSimulatedPort(m_config.comNumber, m_slavePath)) m_com = m_config.comNumber;
        } else {
            for (int tries = 0, from = 1; tries < 50 && m_com == 0; ++tries) {
                int n = FreeComNumber(from);
                if (RegisterSimulatedPort(n, m_slavePath)) m_com = n;
                from = n + 1;
            }
        }
        if (m_com == 0) {
            port.error = m_config.comNumber > 0
                             ? "COM" + std::to_string(m_config.comNumber) + " is already in the serial device map"
                             : "no free COM number";
            CloseFds();
            return port;
        }
    }

    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_state = DeviceState{};
        m_state.switchPos = m_config.switchPos;
        m_state.startType = m_config.startType;
        m_state.reservedStart = m_config.reservedStart;
        m_state.battery = m_config.battery;
        m_state.recordMode = m_config.recordMode;
        m_clockBase = static_cast<std::int64_t>(std::time(nullptr)) + m_config.clockOffset;
        m_clockSetAt = Clock::now();
        m_refusalsUsed.assign(m_config.faults.refusals.size(), 0);
        m_faultCounters.assign(m_config.faults.replyFaults.size(), 0);
    }
    m_stop = false;
    m_hungUp = false;
    m_startedAt = Clock::now();
    m_lineFreeAt = m_startedAt;
    m_rx.clear();
    m_thread = std::thread([this] { Run(); });

    port.ok = true;
    port.comNumber = m_com;
    port.slavePath = m_slavePath;
    return port;
}

void LoggerSimulator::Stop() {
    m_stop = true;
    {
        std::lock_guard<std::mutex> lock(m_sleepMutex);
        m_sleepCv.notify_all();
    }
    if (m_wake[1] >= 0) {
        char c = 1;
        [[maybe_unused]] auto n = ::write(m_wake[1], &c, 1);
    }
    if (m_thread.joinable()) m_thread.join();
    CloseFds();
    if (m_com > 0) {
        UnregisterSimulatedPort(m_com);
        m_com = 0;
    }
}

void LoggerSimulator::CloseFds() {
    for (int* fd : {&m_master, &m_slaveHold, &m_wake[0], &m_wake[1]}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

void LoggerSimulator::HangUp() {
    // Closing the master is what unplugging the adapter looks like to the tool: its
    // descriptor reports POLLHUP and reads fail. The port leaves the map as well. All is
    // recorded before the close, so whoever sees the hang-up finds it complete.
    if (m_com > 0) {
        UnregisterSimulatedPort(m_com);
        m_com = 0;
    }
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_state.hungUp = true;
    }
    m_hungUp = true;
    FrameLogEntry e;
    e.seconds = Seconds();
    e.text = Format("%9.3f DEV    hang-up: the port is closed", e.seconds);
    AddLog(std::move(e));
    for (int* fd : {&m_master, &m_slaveHold}) {
        if (*fd >= 0) ::close(*fd);
        *fd = -1;
    }
}

int LoggerSimulator::ComNumber() const { return m_com; }
std::string LoggerSimulator::SlavePath() const { return m_slavePath; }
bool LoggerSimulator::HungUp() const { return m_hungUp; }

DeviceState LoggerSimulator::State() const {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    DeviceState s = m_state;
    s.clock = DeviceClock();
    s.logCount = static_cast<int>(m_log.size());
    return s;
}

void LoggerSimulator::SetSwitch(std::uint8_t position) {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    m_state.switchPos = position;
}

std::vector<LogSlot> LoggerSimulator::LogSlots() const {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    return m_log;
}

std::vector<LogSlot> LoggerSimulator::ReportedSlots() const {
    std::lock_guard<std::mutex> lock(m_stateMutex);
    std::vector<LogSlot> slots = m_log;
    LogSlot erased;
    erased.fill(0xFF);
    slots.resize(std::min<std::size_t>(ReportedCount(), kLogCapacity), erased);
    return slots;
}

std::size_t LoggerSimulator::ReportedCount() const {
    return std::min<std::size_t>(m_log.size() + static_cast<std::size_t>(std::max(0, m_config.faults.overcount)), 0xFFFF);
}

std::vector<FrameLogEntry> LoggerSimulator::FrameLog() const {
    std::lock_guard<std::mutex> lock(m_logMutex);
    return m_frameLog;
}

std::vector<std::string> LoggerSimulator::FrameLogLines() const {
    std::lock_guard<std::mutex> lock(m_logMutex);
    std::vector<std::string> lines;
    for (const auto& e : m_frameLog) lines.push_back(e.text);
    return lines;
}

void LoggerSimulator::ClearFrameLog() {
    std::lock_guard<std::mutex> lock(m_logMutex);
    m_frameLog.clear();
}

void LoggerSimulator::SetFrameLogSink(std::function<void(const std::string&)> sink) {
    std::lock_guard<std::mutex> lock(m_logMutex);
    m_sink = std::move(sink);
}

std::size_t LoggerSimulator::AddLog(FrameLogEntry entry) {
    std::lock_guard<std::mutex> lock(m_logMutex);
    if (m_sink) m_sink(entry.text);
    m_frameLog.push_back(std::move(entry));
    return m_frameLog.size() - 1;
}

void LoggerSimulator::MarkSent(std::size_t index) {
    const double now = Seconds();
    std::lock_guard<std::mutex> lock(m_logMutex);
    if (index < m_frameLog.size()) m_frameLog[index].sentSeconds = now;
}

double LoggerSimulator::Seconds() const { return duration<double>(Clock::now() - m_startedAt).count(); }

std::uint32_t LoggerSimulator::DeviceClock() const {
    auto elapsed = duration_cast<seconds>(Clock::now() - m_clockSetAt).count();
    return static_cast<std::uint32_t>(m_clockBase + elapsed);
}

bool LoggerSimulator::SleepUntil(Clock::time_point when) {
    std::unique_lock<std::mutex> lock(m_sleepMutex);
    m_sleepCv.wait_until(lock, when, [this] { return m_stop.load(); });
    return !m_stop;
}

void LoggerSimulator::Run() {
    std::uint8_t buf[4096];
    while (!m_stop && !m_hungUp) {
        pollfd fds[2] = {{m_master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        int r = ::poll(fds, 2, m_config.faults.garbageStream ? 0 : 20);
        if (r < 0 && errno != EINTR) break;
        if (fds[1].revents & POLLIN) {
            while (::read(m_wake[0], buf, sizeof buf) > 0) {
            }
        }
        if (m_stop) break;
        if (fds[0].revents & POLLIN) {
            ssize_t n = ::read(m_master, buf, sizeof buf);
            if (n > 0) {
                auto now = Clock::now();
                if (m_rx.empty()) m_rxFirstAt = now;
                m_rxLastAt = now;
                m_rx.insert(m_rx.end(), buf, buf + n);
                if (m_rx.size() > 65536) m_rx.erase(m_rx.begin(), m_rx.end() - 65536);
            }
        } else if (fds[0].revents & (POLLHUP | POLLERR)) {
            SleepMs(10);  // nobody on the other side; nothing to do
        }
        ProcessInput();
        // Between replies only, so no reply is cut by it.
        if (m_config.faults.garbageStream && m_rx.empty() && !m_stop && !m_hungUp) SendGarbageChunk();
    }
}

void LoggerSimulator::SendGarbageChunk() {
    std::uint8_t chunk[64];
    for (auto& byte : chunk) {
        auto b = static_cast<std::uint8_t>(m_rng() % 255);
        byte = b >= 0xA0 ? b + 1 : b;  // never 0xA0: no false start marker
    }
    // Unpaced, a full terminal buffer holds the writer up; a short rest keeps the stream
    // from owning a core of its own.
    if (!WriteRaw(chunk, sizeof chunk) || !m_config.pacing) SleepMs(1);
}

void LoggerSimulator::ProcessInput() {
    while (!m_stop && !m_hungUp && !m_rx.empty()) {
        std::size_t start = 0;
        while (start + 1 < m_rx.size() && !(m_rx[start] == 0xA0 && m_rx[start + 1] == 0xA2)) ++start;
        if (start + 1 >= m_rx.size() && m_rx.back() == 0xA0) start = m_rx.size() - 1;  // half a marker
        else if (start + 1 >= m_rx.size()) start = m_rx.size();
        if (start > 0) {
            FrameLogEntry e;
            e.seconds = Seconds();
            e.fromPc = true;
            e.frame.assign(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(start));
            e.note = "garbage";
            e.text = Format("%9.3f PC>DEV garbage: %zu bytes without a start marker skipped", e.seconds, start);
            AddLog(std::move(e));
            m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(start));
            m_rxFirstAt = Clock::now();
            continue;
        }
        auto skipMarker = [this](const char* why) {
            FrameLogEntry e;
            e.seconds = Seconds();
            e.fromPc = true;
            e.note = why;
            e.text = Format("%9.3f PC>DEV bad frame: %s; start marker skipped", e.seconds, why);
            AddLog(std::move(e));
            m_rx.erase(m_rx.begin());
        };
        bool stale = Clock::now() - m_rxLastAt > kStaleInput;
        if (m_rx.size() < 4) {
            if (stale) skipMarker("incomplete frame");
            else return;
            continue;
        }
        std::size_t lengthValue = U16(&m_rx[2]) & 0x3FFF;
        if (lengthValue < 4 + 5 || lengthValue - 4 > kMaxBody) {
            skipMarker("impossible length");
            continue;
        }
        std::size_t total = lengthValue - 4 + 10;
        if (m_rx.size() < total) {
            if (stale) skipMarker("incomplete frame");
            else return;
            continue;
        }
        if (m_rx[total - 2] != 0xB0 || m_rx[total - 1] != 0xB3) {
            skipMarker("no end marker");
            continue;
        }
        std::vector<std::uint8_t> frame(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(total));
        auto firstAt = m_rxFirstAt;
        m_rx.erase(m_rx.begin(), m_rx.begin() + static_cast<std::ptrdiff_t>(total));
        m_rxFirstAt = Clock::now();
        // A real line delivers the request one byte at a time; answer after its last byte.
        if (m_config.pacing && !SleepUntil(firstAt + duration_cast<Clock::duration>(kByteTime * total))) return;
        HandleFrame(frame);
    }
}

void LoggerSimulator::HandleFrame(const std::vector<std::uint8_t>& frame) {
    std::vector<std::uint8_t> body(frame.begin() + 8, frame.end() - 2);
    int command = U16(&body[0]), sub = U16(&body[2]), type = body[4];
    bool crcOk = CalcCrc32(body.size(), body.data()) == U32(&frame[4]);
    int encryption = frame[3] >> 6;

    FrameLogEntry e;
    e.seconds = Seconds();
    e.fromPc = true;
    e.command = command;
    e.sub = sub;
    e.type = type;
    e.frame = frame;
    if (!crcOk) e.note = "checksum mismatch";
    else if (encryption != 0) e.note = "encryption type " + std::to_string(encryption);
    else if (body.size() != 16) e.note = "body of " + std::to_string(body.size()) + " bytes";
    else if (type != 1) e.note = "not a request";
    std::string fields = RequestFields(command, sub, body);
    e.text = Format("%9.3f PC>DEV %s %d.%d type %d%s%s%s", e.seconds, CommandName(command, sub).c_str(), command,
                    sub, type, fields.empty() ? "" : " ", fields.c_str(),
                    e.note.empty() ? "" : (" [" + e.note + "]").c_str());
    AddLog(std::move(e));
    SendLateCopy();

    if (!crcOk) SendStatus(command, sub, kCrcError, "");
    else if (encryption != 0) SendStatus(command, sub, kIncorrectEncryption, "");
    else if (body.size() != 16) SendStatus(command, sub, kIncorrectLength, "");
    else if (type != 1) SendStatus(command, sub, kIncorrectFormat, "");
    else HandleRequest(frame, body);
}

void LoggerSimulator::HandleRequest(const std::vector<std::uint8_t>&, const std::vector<std::uint8_t>& body) {
    const std::uint8_t* b = body.data();
    const int command = U16(b), sub = U16(b + 2);
    const Faults& faults = m_config.faults;

    for (std::size_t i = 0; i < faults.refusals.size(); ++i) {
        const Refusal& r = faults.refusals[i];
        if (r.command != command || r.sub != sub) continue;
        bool refuse = false;
        {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            if (r.times <= 0 || m_refusalsUsed[i] < r.times) {
                ++m_refusalsUsed[i];
                refuse = true;
            }
        }
        if (refuse) {
            SendStatus(command, sub, r.code, "refusal fault");
            return;
        }
    }

    std::vector<std::uint8_t> reply(16, 0);
    PutU16(&reply[0], static_cast<std::uint16_t>(command));
    PutU16(&reply[2], static_cast<std::uint16_t>(sub));
    reply[4] = 2;
    std::string fields;

    if (command == 1 && sub == 0) {
        double t = Seconds();
        if (faults.boardMissingFrom >= 0 && t >= faults.boardMissingFrom &&
            (faults.boardMissingTo < 0 || t < faults.boardMissingTo)) {
            SendStatus(command, sub, kBoardNotDetected, "board missing");
            return;
        }
        std::lock_guard<std::mutex> lock(m_stateMutex);
        std::uint32_t clock = DeviceClock();
        PutU32(&reply[5], clock);
        reply[9] = m_state.switchPos;
        reply[10] = m_state.startType;
        PutU32(&reply[11], m_state.reservedStart);
        reply[15] = static_cast<std::uint8_t>((m_state.battery << 2) | (m_state.recordMode & 3));
        fields = Format("clock=%u (%s) switch=%u start type=%u reserved start=%u battery=%u record mode=%u", clock,
                        UtcText(clock).c_str(), m_state.switchPos, m_state.startType, m_state.reservedStart,
                        m_state.battery, m_state.recordMode);
    } else if (command == 1 && sub == 1) {
        std::uint32_t v = m_config.version;
        PutU32(&reply[5], v);
        PutU32(&reply[9], m_config.version2);
        fields = Format("version=V %u.%u.%u.%u second=0x%08X", v >> 24, (v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF,
                        m_config.version2);
    } else if (command == 1 && sub == 3) {
        if (m_config.serialMode == SerialNumberMode::OldFirmware) {
            SendStatus(command, sub, kNotSupported, "old firmware");
            return;
        }
        std::string text = m_config.serialMode == SerialNumberMode::Present ? m_config.serialNumber : "";
        if (text.size() > 127) text.resize(127);
        PutU32(&reply[6], static_cast<std::uint32_t>(text.size()));
        reply.resize(16 + 128, 0);
        std::copy(text.begin(), text.end(), reply.begin() + 16);
        fields = Format("text length=%zu text=\"%s\"", text.size(), text.c_str());
    } else if (command == 2 && sub == 0) {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_clockBase = U32(b + 5);
        m_clockSetAt = Clock::now();
        fields = "clock set";
    } else if (command == 2 && sub == 1) {
        if (b[5] > 1 || b[6] > 3) {
            SendStatus(command, sub, kParameterError, "");
            return;
        }
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_state.startType = b[5];
        m_state.recordMode = b[6];
        m_state.reservedStart = static_cast<std::uint32_t>(U32(b + 7) + m_config.setModeTimeSkew);
        fields = Format("stored start type=%u record mode=%u reserved start=%u", m_state.startType,
                        m_state.recordMode, m_state.reservedStart);
    } else if (command == 2 && sub == 4) {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_state.softwareSwitch[0] = b[5];
        m_state.softwareSwitchValues[0] = U32(b + 6);
        m_state.softwareSwitchValues[1] = U32(b + 10);
        fields = "stored";
    } else if (command == 3 && sub == 0) {
        int pages = 0;
        {
            std::lock_guard<std::mutex> lock(m_stateMutex);
            pages = ++m_state.pageRequests;
        }
        if (faults.hangUpAfterPages >= 0 && pages > faults.hangUpAfterPages) {
            HangUp();
            return;
        }
        const int first = U16(b + 5);
        if (first >= kLogCapacity) {
            SendStatus(command, sub, kParameterError, "first slot beyond the flash");
            return;
        }
        reply.resize(16 + 128, 0xFF);  // slots past the stored ones are erased flash
        std::lock_guard<std::mutex> lock(m_stateMutex);
        for (int k = 0; k < 8; ++k) {
            std::size_t index = static_cast<std::size_t>(first + k);
            if (index < m_log.size()) std::copy(m_log[index].begin(), m_log[index].end(), reply.begin() + 16 + 16 * k);
        }
        fields = Format("page slots %d-%d of %zu stored", first, first + 7, m_log.size());
    } else if (command == 3 && sub == 1) {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        const std::size_t count = ReportedCount();
        PutU16(&reply[5], static_cast<std::uint16_t>(count));
        fields = count == m_log.size() ? Format("count=%zu", count)
                                       : Format("count=%zu (%zu stored)", count, m_log.size());
    } else if (command == 3 && sub == 2) {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        m_log.clear();
        fields = "log erased";
    } else {
        SendStatus(command, sub, kNotSupported, "");
        return;
    }
    SendData(command, sub, reply, fields);
}

void LoggerSimulator::SendStatus(int command, int sub, std::uint8_t code, const std::string& why) {
    std::vector<std::uint8_t> body(16, 0);
    PutU16(&body[0], static_cast<std::uint16_t>(command));
    PutU16(&body[2], static_cast<std::uint16_t>(sub));
    body[4] = 3;
    body[5] = code;
    std::string fields = Format("status %u (%s)", code, StatusText(code).c_str());
    if (!why.empty()) fields += " by " + why;
    SendReply(command, sub, 3, code, body, fields);
}

void LoggerSimulator::SendData(int command, int sub, const std::vector<std::uint8_t>& body,
                               const std::string& fields) {
    SendReply(command, sub, 2, -1, body, fields);
}

void LoggerSimulator::SendReply(int command, int sub, int type, int statusCode, const std::vector<std::uint8_t>& body,
                                const std::string& fields) {
    const Faults& faults = m_config.faults;
    bool drop = false, corrupt = false, duplicate = false, late = false;
    int extraBytes = -1;  // >= 0: the reply is reshaped to carry this much after 16 bytes
    {
        std::lock_guard<std::mutex> lock(m_stateMutex);
        for (std::size_t i = 0; i < faults.replyFaults.size(); ++i) {
            const ReplyFault& f = faults.replyFaults[i];
            if (f.every <= 0) continue;
            if (f.command >= 0 && (f.command != command || (f.sub >= 0 && f.sub != sub))) continue;
            if (++m_faultCounters[i] % f.every != 0) continue;
            if (f.kind == ReplyFaultKind::Drop) drop = true;
            if (f.kind == ReplyFaultKind::Corrupt) corrupt = true;
            if (f.kind == ReplyFaultKind::Duplicate) duplicate = true;
            if (f.kind == ReplyFaultKind::DuplicateLate) late = true;
            if (f.kind == ReplyFaultKind::Reshape) extraBytes = std::max(0, f.extraBytes);
        }
    }
    std::vector<std::uint8_t> shaped = body;
    if (extraBytes >= 0) shaped.resize(16 + static_cast<std::size_t>(extraBytes), 0);
    std::vector<std::uint8_t> frame = BuildFrame(shaped);
    if (corrupt) frame[4] ^= 0xFF;

    std::vector<std::uint8_t> garbage;
    for (int i = 0; i < faults.garbageBytes; ++i) {
        auto byte = static_cast<std::uint8_t>(m_rng() % 255);
        garbage.push_back(byte >= 0xA0 ? byte + 1 : byte);  // never 0xA0: no false start marker
    }

    std::string note;
    auto addNote = [&note](const std::string& n) { note += (note.empty() ? "" : ", ") + n; };
    if (drop) addNote("dropped");
    else {
        if (corrupt) addNote("checksum corrupted");
        if (duplicate) addNote("duplicated");
        if (late) addNote("copy held for the next request");
        if (extraBytes >= 0) addNote(std::to_string(extraBytes) + " bytes of extra data");
        if (!garbage.empty()) addNote(std::to_string(garbage.size()) + " garbage bytes before");
        if (faults.splitMaxChunk > 0) addNote("split");
        if (faults.replyDelayMs > 0) addNote("delayed " + std::to_string(faults.replyDelayMs) + " ms");
    }
    FrameLogEntry e;
    e.seconds = Seconds();
    e.command = command;
    e.sub = sub;
    e.type = type;
    e.statusCode = statusCode;
    e.frame = frame;
    e.note = note;
    e.text = Format("%9.3f DEV>PC %s %d.%d type %d %s%s", e.seconds, CommandName(command, sub).c_str(), command, sub,
                    type, fields.c_str(), note.empty() ? "" : (" [" + note + "]").c_str());
    const std::size_t logged = AddLog(std::move(e));
    if (drop) return;

    if (faults.replyDelayMs > 0 && !SleepMs(faults.replyDelayMs)) return;
    if (!garbage.empty() && !WriteBytes(garbage.data(), garbage.size())) return;
    if (!WriteBytes(frame.data(), frame.size())) return;
    MarkSent(logged);
    if (duplicate) WriteBytes(frame.data(), frame.size());
    if (late) m_lateCopy = frame;
}

void LoggerSimulator::SendLateCopy() {
    if (m_lateCopy.empty()) return;
    std::vector<std::uint8_t> frame = std::move(m_lateCopy);
    m_lateCopy.clear();
    FrameLogEntry e;
    e.seconds = Seconds();
    e.command = U16(&frame[8]);
    e.sub = U16(&frame[10]);
    e.type = frame[12];
    e.frame = frame;
    e.note = "late copy of an earlier reply";
    e.text = Format("%9.3f DEV>PC %s %d.%d type %d [%s]", e.seconds, CommandName(e.command, e.sub).c_str(), e.command,
                    e.sub, e.type, e.note.c_str());
    AddLog(std::move(e));
    WriteBytes(frame.data(), frame.size());
}

bool LoggerSimulator::WriteBytes(const std::uint8_t* data, std::size_t length) {
    const Faults& faults = m_config.faults;
    if (faults.splitMaxChunk <= 0) return WriteRaw(data, length);
    std::size_t sent = 0;
    while (sent < length) {
        if (sent > 0 && faults.splitDelayMs > 0 && !SleepMs(faults.splitDelayMs)) return false;
        std::size_t chunk = 1 + m_rng() % static_cast<unsigned>(faults.splitMaxChunk);
        chunk = std::min(chunk, length - sent);
        if (!WriteRaw(data + sent, chunk)) return false;
        sent += chunk;
    }
    return true;
}

// Writes to the master, paced like a 115200 baud line when pacing is on: each piece
// becomes visible to the tool when its last bit would have arrived.
bool LoggerSimulator::WriteRaw(const std::uint8_t* data, std::size_t length) {
    constexpr std::size_t kPiece = 8;
    auto now = Clock::now();
    if (m_lineFreeAt < now) m_lineFreeAt = now;
    std::size_t sent = 0;
    while (sent < length) {
        std::size_t piece = m_config.pacing ? std::min(kPiece, length - sent) : length - sent;
        if (m_config.pacing) {
            m_lineFreeAt += duration_cast<Clock::duration>(kByteTime * piece);
            if (!SleepUntil(m_lineFreeAt)) return false;
        }
        std::size_t done = 0;
        auto deadline = Clock::now() + kWriteStall;
        while (done < piece) {
            if (m_master < 0) return false;
            ssize_t n = ::write(m_master, data + sent + done, piece - done);
            if (n > 0) {
                done += static_cast<std::size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR) return false;
            if (Clock::now() > deadline || m_stop) {
                FrameLogEntry e;
                e.seconds = Seconds();
                e.note = "output stalled";
                e.text = Format("%9.3f DEV>PC output stalled: the tool does not read; rest of the reply dropped",
                                e.seconds);
                AddLog(std::move(e));
                return false;
            }
            pollfd p{m_master, POLLOUT, 0};
            ::poll(&p, 1, 20);
        }
        sent += piece;
    }
    return true;
}

}  // namespace wing::sim
