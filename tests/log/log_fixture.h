#pragma once
// Shared by the log and export tests: slot and record builders, a throw-away drive
// C: mapped through the user map file, a fixed time zone, and a message-box recorder.

#include <algorithm>
#include <array>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "log/log_record.h"
#include "platform/message_box.h"
#include "support/process_zone.h"

namespace wing::test {

using Slot = std::array<std::uint8_t, 16>;

inline void PutU32(Slot& s, int at, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline Slot PositionSlot(std::uint32_t time, std::int32_t lat, std::int32_t lon, std::uint8_t speed,
                         std::uint8_t status, std::uint16_t alt) {
    Slot s{};
    PutU32(s, 0, time);
    PutU32(s, 4, static_cast<std::uint32_t>(lat));
    PutU32(s, 8, static_cast<std::uint32_t>(lon));
    s[12] = speed;
    s[13] = status;
    s[14] = static_cast<std::uint8_t>(alt);
    s[15] = static_cast<std::uint8_t>(alt >> 8) & 0x7F;
    return s;
}

inline std::array<std::uint8_t, LOG_PAGE_SIZE> Page(const std::vector<Slot>& slots,
                                                    std::uint8_t fill = 0) {
    std::array<std::uint8_t, LOG_PAGE_SIZE> page;
    page.fill(fill);
    for (std::size_t k = 0; k < slots.size() && k < 8; ++k)
        std::copy(slots[k].begin(), slots[k].end(), page.begin() + 16 * k);
    return page;
}

// A position fix (status 0) as the decoder would give it.
inline CLogRecord Fix(std::uint32_t time, std::int32_t lat = 25025000, std::int32_t lon = 121305123,
                      std::uint8_t speed = 70, std::uint16_t alt = 123) {
    CLogRecord r;
    r.kind = 0;
    r.time = time;
    r.latitude = lat;
    r.longitude = lon;
    r.speed = speed;
    r.altitude = alt;
    r.debugStatus = 0;
    r.switchBit = r.pluginBit = r.wakeOnBit = r.status = 0;
    return r;
}

// A position record that is not a fix.
inline CLogRecord NoFix(std::uint32_t time, std::uint8_t status = 0x21) {
    CLogRecord r = Fix(time);
    r.debugStatus = status;
    r.switchBit = status >> 7 & 1;
    r.pluginBit = status >> 6 & 1;
    r.wakeOnBit = status >> 5 & 1;
    r.status = status & 0x1F;
    return r;
}

// A satellite record (no coordinates); status 0 makes it a fix.
inline CLogRecord Satellite(std::uint32_t time, std::uint8_t status = 0) {
    CLogRecord r = NoFix(time, status);
    r.kind = 1;
    r.latitude = r.longitude = 0;
    r.speed = r.altitude = 0;
    return r;
}

// 2015-05-01 08:30:00 in Asia/Taipei (UTC+8).
constexpr std::uint32_t T0 = 1430440200;

using ScopedTimeZone = ProcessZone;

// A fresh directory standing in for drive C:, named in a private user map file.
class TempDrive {
public:
    TempDrive() {
        char tmpl[] = "/tmp/wing-drive-XXXXXX";
        m_base = mkdtemp(tmpl);
        std::filesystem::create_directories(m_base / "c");
        std::filesystem::create_directories(m_base / "config" / "wing-utility");
        if (const char* old = getenv("XDG_CONFIG_HOME")) m_oldXdg = old;
        setenv("XDG_CONFIG_HOME", (m_base / "config").c_str(), 1);
        MapDrive(m_base / "c");
    }
    ~TempDrive() {
        if (m_oldXdg) setenv("XDG_CONFIG_HOME", m_oldXdg->c_str(), 1);
        else unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(m_base, ec);
    }
    void MapDrive(const std::filesystem::path& root) {
        std::ofstream(m_base / "config" / "wing-utility" / "device-map.ini")
            << "[ports]\nCOM3 = /dev/ttyUSB0\n[drives]\nC = " << root.string() << "\n";
    }
    std::filesystem::path Base() const { return m_base; }
    std::filesystem::path Root() const { return m_base / "c"; }
    std::filesystem::path LogDir() const { return Root() / "GPSLOG"; }

private:
    std::filesystem::path m_base;
    std::optional<std::string> m_oldXdg;
};

class MessageBoxRecorder {
public:
    MessageBoxRecorder() {
        m_previous = SetMessageBoxHandler([this](const MessageBoxRequest& r) {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_texts.push_back(r.text);
            return IDOK;
        });
    }
    ~MessageBoxRecorder() { SetMessageBoxHandler(m_previous); }
    std::vector<std::wstring> Texts() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_texts;
    }
    void Clear() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_texts.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::wstring> m_texts;
    MessageBoxHandler m_previous;
};

inline std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

// File names in a directory, sorted.
inline std::vector<std::string> FileNames(const std::filesystem::path& dir) {
    std::vector<std::string> out;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir, ec))
        if (e.is_regular_file()) out.push_back(e.path().filename().string());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace wing::test
