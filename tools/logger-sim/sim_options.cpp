#include "logger-sim/sim_options.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>

namespace wing::sim {
namespace {

// The most a reply can carry after its 16-byte body: the logger takes bodies of up to 1024 bytes.
constexpr long long kMaxExtraBytes = 1024 - 16;

std::optional<long long> Integer(const std::string& text, long long lo, long long hi) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < lo || v > hi) return std::nullopt;
    return v;
}

std::optional<double> Real(const std::string& text, double lo, double hi) {
    if (text.empty()) return std::nullopt;
    char* end = nullptr;
    errno = 0;
    double v = std::strtod(text.c_str(), &end);
    if (errno != 0 || *end != '\0' || !(v >= lo && v <= hi)) return std::nullopt;
    return v;
}

// "CMD.SUB" -> command and sub id.
bool CommandIds(const std::string& text, int& command, int& sub) {
    auto dot = text.find('.');
    if (dot == std::string::npos) return false;
    auto c = Integer(text.substr(0, dot), 0, 0xFFFF), s = Integer(text.substr(dot + 1), 0, 0xFFFF);
    if (!c || !s) return false;
    command = static_cast<int>(*c);
    sub = static_cast<int>(*s);
    return true;
}

std::vector<std::string> Split(const std::string& text, char sep) {
    std::vector<std::string> parts;
    std::size_t from = 0;
    for (;;) {
        auto pos = text.find(sep, from);
        parts.push_back(text.substr(from, pos - from));
        if (pos == std::string::npos) return parts;
        from = pos + 1;
    }
}

}  // namespace

const char* SimUsage() {
    return "usage: wing-logger-sim [options]\n"
           "Plays the GPS logger on a pseudo-terminal registered as a Prolific adapter.\n"
           "Prints \"COM<n> <pty>\" when ready; runs until SIGINT, SIGTERM or SIGHUP, or a hang-up fault.\n"
           "Port:\n"
           "  --com N                  COM number to register (default: lowest free)\n"
           "  --no-register            do not enter the port in the serial device map\n"
           "Device:\n"
           "  --sn TEXT | --no-sn | --old-firmware   serial number, none, or Get SN refused (5)\n"
           "  --fw-version A.B.C.D     firmware version (default 1.2.3.4)\n"
           "  --battery TENTHS         battery in tenths of a volt, 0-63 (default 41)\n"
           "  --switch N               switch: 0 off, 1 on, other unknown (default 1)\n"
           "  --record-mode N          record mode 0-3 (default 0)\n"
           "  --start-type N           0 start now, 1 reserved (default 0)\n"
           "  --reserved-start T       reserved start, seconds since 1970 UTC\n"
           "  --clock-offset S         device clock = PC clock + S seconds\n"
           "  --set-mode-skew S        Set Mode stores the reserved start + S (verification NG)\n"
           "Log:\n"
           "  --seed N                 flight generated from seed N (default 1)\n"
           "  --slots N                exactly N slots, 0-2048 (default: the whole flight)\n"
           "  --distance KM            release point to loft (default 300)\n"
           "  --log-mode N             interval mode of the flight (default: --record-mode)\n"
           "  --log-start T            release time, seconds since 1970 UTC\n"
           "  --satellite-every N      a satellite slot after every N positions (default 4)\n"
           "  --nonfix-percent P       position slots without fix (default 3)\n"
           "  --cross-midnight         release at 22:00 local time\n"
           "  --zero-fix               one fix at 0,0\n"
           "  --empty-log              no slots stored\n"
           "  --records FILE           the log from FILE: raw 16-byte slots\n"
           "Faults:\n"
           "  --refuse C.S:CODE[:N]    refuse command C.S with status CODE (the first N times)\n"
           "  --drop N[@C.S]           drop every Nth reply (to command C.S)\n"
           "  --corrupt N[@C.S]        corrupt the checksum of every Nth reply\n"
           "  --duplicate N[@C.S]      send every Nth reply twice\n"
           "  --duplicate-late N[@C.S] send every Nth reply again when the next request arrives\n"
           "  --extra-data B[:N][@C.S] every (Nth) reply carries B bytes after its 16-byte body\n"
           "  --garbage N              N random bytes before every reply\n"
           "  --garbage-stream         random bytes without pause between replies\n"
           "  --split MAX[:MS]         replies in random chunks of 1..MAX bytes, MS apart\n"
           "  --delay MS               wait MS before every reply\n"
           "  --board-missing FROM[:TO]  status refused with code 8 between these seconds\n"
           "  --hangup-after K         answer K Read Log requests, hang up at the next\n"
           "  --overcount N            report N slots more than stored; they read as erased\n"
           "  --fault-seed N           seed of garbage bytes and chunk sizes\n"
           "Other:\n"
           "  --no-pacing              send at full speed instead of 115200 baud\n"
           "  --frame-log FILE|-       one line per frame in and out (- = standard error)\n"
           "  --help\n";
}

bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error) {
    SimConfig& c = options.config;
    Faults& f = c.faults;
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i], value;
        bool hasValue = false;
        if (auto eq = name.find('='); name.rfind("--", 0) == 0 && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name = name.substr(0, eq);
            hasValue = true;
        }
        auto bad = [&](const std::string& why = "invalid value") {
            error = name + ": " + why;
            return false;
        };
        auto flag = [&]() { return !hasValue; };
        auto take = [&]() -> bool {
            if (hasValue) return true;
            if (i + 1 >= args.size()) return false;
            value = args[++i];
            return true;
        };
        auto integer = [&](long long lo, long long hi, auto& out) {
            if (!take()) return bad("needs a value");
            auto v = Integer(value, lo, hi);
            if (!v) return bad();
            out = static_cast<std::remove_reference_t<decltype(out)>>(*v);
            return true;
        };
        auto replyFault = [&](ReplyFaultKind kind) {
            if (!take()) return bad("needs a value");
            ReplyFault rf;
            rf.kind = kind;
            auto at = value.find('@');
            auto every = Integer(value.substr(0, at), 1, 1000000);
            if (!every) return bad();
            rf.every = static_cast<int>(*every);
            if (at != std::string::npos && !CommandIds(value.substr(at + 1), rf.command, rf.sub)) return bad();
            f.replyFaults.push_back(rf);
            return true;
        };

        bool ok = true;
        if (name == "--help" || name == "-h") options.help = true;
        else if (name == "--com") ok = integer(1, 0x7FFFFFFF, c.comNumber);
        else if (name == "--no-register" && flag()) c.registerPort = false;
        else if (name == "--sn") {
            ok = take() ? (c.serialMode = SerialNumberMode::Present, c.serialNumber = value, true) : bad("needs a value");
        } else if (name == "--no-sn" && flag()) c.serialMode = SerialNumberMode::None;
        else if (name == "--old-firmware" && flag()) c.serialMode = SerialNumberMode::OldFirmware;
        else if (name == "--fw-version") {
            if (!take()) return bad("needs a value");
            auto parts = Split(value, '.');
            if (parts.size() != 4) return bad();
            std::uint32_t v = 0;
            for (const auto& p : parts) {
                auto n = Integer(p, 0, 255);
                if (!n) return bad();
                v = (v << 8) | static_cast<std::uint32_t>(*n);
            }
            c.version = v;
        } else if (name == "--battery") ok = integer(0, 63, c.battery);
        else if (name == "--switch") ok = integer(0, 255, c.switchPos);
        else if (name == "--record-mode") ok = integer(0, 3, c.recordMode);
        else if (name == "--start-type") ok = integer(0, 1, c.startType);
        else if (name == "--reserved-start") ok = integer(0, 0xFFFFFFFFLL, c.reservedStart);
        else if (name == "--clock-offset") ok = integer(-0xFFFFFFFFLL, 0xFFFFFFFFLL, c.clockOffset);
        else if (name == "--set-mode-skew") ok = integer(-0xFFFFFFFFLL, 0xFFFFFFFFLL, c.setModeTimeSkew);
        else if (name == "--seed") ok = integer(0, 0xFFFFFFFFLL, c.flight.seed);
        else if (name == "--slots") ok = integer(0, kLogCapacity, c.flight.slots);
        else if (name == "--distance") {
            if (!take()) return bad("needs a value");
            auto v = Real(value, 0, 5000);
            if (!v) return bad();
            c.flight.distanceKm = *v;
        } else if (name == "--log-mode") ok = integer(0, 3, c.flight.recordMode);
        else if (name == "--log-start") ok = integer(1, 0xFFFFFFFFLL, c.flight.startTime);
        else if (name == "--satellite-every") ok = integer(0, 1000, c.flight.satelliteEvery);
        else if (name == "--nonfix-percent") {
            if (!take()) return bad("needs a value");
            auto v = Real(value, 0, 100);
            if (!v) return bad();
            c.flight.nonFixPercent = *v;
        } else if (name == "--cross-midnight" && flag()) c.flight.crossMidnight = true;
        else if (name == "--zero-fix" && flag()) c.flight.zeroFix = true;
        else if (name == "--empty-log" && flag()) c.records = std::vector<LogSlot>{};
        else if (name == "--records") {
            if (!take()) return bad("needs a value");
            std::ifstream in(value, std::ios::binary);
            if (!in) return bad("cannot read " + value);
            std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
            if (bytes.size() % 16 != 0 || bytes.size() / 16 > static_cast<std::size_t>(kLogCapacity))
                return bad("the file must hold whole 16-byte slots, at most 2048");
            std::vector<LogSlot> slots(bytes.size() / 16);
            for (std::size_t k = 0; k < bytes.size(); ++k) slots[k / 16][k % 16] = static_cast<std::uint8_t>(bytes[k]);
            c.records = std::move(slots);
        } else if (name == "--refuse") {
            if (!take()) return bad("needs a value");
            auto parts = Split(value, ':');
            Refusal r;
            if (parts.size() < 2 || parts.size() > 3 || !CommandIds(parts[0], r.command, r.sub)) return bad();
            auto code = Integer(parts[1], 0, 255);
            auto times = parts.size() == 3 ? Integer(parts[2], 1, 1000000) : std::optional<long long>(0);
            if (!code || !times) return bad();
            r.code = static_cast<std::uint8_t>(*code);
            r.times = static_cast<int>(*times);
            f.refusals.push_back(r);
        } else if (name == "--drop") ok = replyFault(ReplyFaultKind::Drop);
        else if (name == "--corrupt") ok = replyFault(ReplyFaultKind::Corrupt);
        else if (name == "--duplicate") ok = replyFault(ReplyFaultKind::Duplicate);
        else if (name == "--duplicate-late") ok = replyFault(ReplyFaultKind::DuplicateLate);
        else if (name == "--extra-data") {
            if (!take()) return bad("needs a value");
            ReplyFault rf;
            rf.kind = ReplyFaultKind::Reshape;
            auto at = value.find('@');
            auto parts = Split(value.substr(0, at), ':');
            auto bytes = Integer(parts[0], 0, kMaxExtraBytes);
            auto every = parts.size() == 2 ? Integer(parts[1], 1, 1000000) : std::optional<long long>(1);
            if (parts.size() > 2 || !bytes || !every) return bad();
            rf.extraBytes = static_cast<int>(*bytes);
            rf.every = static_cast<int>(*every);
            if (at != std::string::npos && !CommandIds(value.substr(at + 1), rf.command, rf.sub)) return bad();
            f.replyFaults.push_back(rf);
        }
        else if (name == "--garbage") ok = integer(0, 4096, f.garbageBytes);
        else if (name == "--garbage-stream" && flag()) f.garbageStream = true;
        else if (name == "--split") {
            if (!take()) return bad("needs a value");
            auto parts = Split(value, ':');
            auto chunk = Integer(parts[0], 1, 4096);
            auto delay = parts.size() == 2 ? Integer(parts[1], 0, 60000) : std::optional<long long>(0);
            if (parts.size() > 2 || !chunk || !delay) return bad();
            f.splitMaxChunk = static_cast<int>(*chunk);
            f.splitDelayMs = static_cast<int>(*delay);
        } else if (name == "--delay") ok = integer(0, 600000, f.replyDelayMs);
        else if (name == "--board-missing") {
            if (!take()) return bad("needs a value");
            auto parts = Split(value, ':');
            auto from = Real(parts[0], 0, 1e9);
            auto to = parts.size() == 2 ? Real(parts[1], 0, 1e9) : std::optional<double>(-1);
            if (parts.size() > 2 || !from || !to || (*to >= 0 && *to < *from)) return bad();
            f.boardMissingFrom = *from;
            f.boardMissingTo = *to;
        } else if (name == "--hangup-after") ok = integer(0, 0xFFFF, f.hangUpAfterPages);
        else if (name == "--overcount") ok = integer(0, 0xFFFF, f.overcount);
        else if (name == "--fault-seed") ok = integer(0, 0xFFFFFFFFLL, c.faultSeed);
        else if (name == "--no-pacing" && flag()) c.pacing = false;
        else if (name == "--frame-log") ok = take() ? (options.frameLog = value, true) : bad("needs a value");
        else {
            error = "unknown option " + args[i];
            return false;
        }
        if (!ok) return false;
    }
    return true;
}

}  // namespace wing::sim
