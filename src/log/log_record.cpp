#include "log/log_record.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "platform/locale.h"

namespace wing {
namespace {

std::uint32_t U32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | std::uint32_t(p[1]) << 8 | std::uint32_t(p[2]) << 16 |
           std::uint32_t(p[3]) << 24;
}
std::uint16_t U16(const std::uint8_t* p) { return std::uint16_t(p[0] | p[1] << 8); }

int Clamp(const CLogRecordList& records, int i) {
    return std::clamp(i, 0, static_cast<int>(records.size()));
}

}  // namespace

double PackedToDegrees(std::int32_t packed) {
    double d = packed / 1000000.0;
    double whole = std::trunc(d);
    return whole + (d - whole) * 100.0 / 60.0;
}

std::int32_t DegreesToPacked(double degrees) {
    const double a = std::abs(degrees);
    auto whole = static_cast<std::int64_t>(a);
    auto minutes = std::llround((a - static_cast<double>(whole)) * 60.0 * 1e4);
    if (minutes >= 600000) {  // rounding reached the next whole degree
        ++whole;
        minutes -= 600000;
    }
    const std::int64_t packed = whole * 1000000 + minutes;
    return static_cast<std::int32_t>(degrees < 0 ? -packed : packed);
}

double CLogRecord::LongitudeDegrees() const { return PackedToDegrees(longitude); }
double CLogRecord::LatitudeDegrees() const { return PackedToDegrees(latitude); }

std::string CLogRecord::DateTimeText(const TimeZone& zone) const {
    std::tm local{};
    char buf[32] = {};
    if (DeviceLocalTime(time, local, zone)) std::strftime(buf, sizeof buf, "%Y-%m-%d  %H:%M:%S", &local);
    dateTimeText = buf;
    return dateTimeText;
}

std::wstring CLogRecord::FileStamp(const TimeZone& zone) const {
    std::tm local{};
    wchar_t buf[32] = {};
    if (DeviceLocalTime(time, local, zone))
        std::swprintf(buf, 32, L"%04d_%02d_%02d_%02d_%02d_%02d", local.tm_year + 1900,
                      local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
    stampText = buf;
    return stampText;
}

void DecodeLogPage(std::span<const std::uint8_t, LOG_PAGE_SIZE> page, std::size_t firstIndex,
                   CLogRecordList& records, std::size_t reportedCount) {
    for (std::size_t k = 0; k < LOG_PAGE_SIZE / LOG_SLOT_SIZE; ++k) {
        if (firstIndex + k >= reportedCount) return;
        const std::uint8_t* s = page.data() + k * LOG_SLOT_SIZE;
        const bool satellite = (s[15] & 0x80) != 0;
        if (!satellite && std::all_of(s, s + LOG_SLOT_SIZE, [](std::uint8_t b) { return b == 0; })) return;

        // Built in place: a record carries two cached strings, so a copy is not free.
        CLogRecord& r = records.emplace_back();
        const std::uint8_t st = s[13];
        r.switchBit = st >> 7 & 1;
        r.pluginBit = st >> 6 & 1;
        r.wakeOnBit = st >> 5 & 1;
        r.status = st & 0x1F;
        r.debugStatus = st;
        r.kind = satellite ? 1 : 0;
        r.time = U32(s);
        if (satellite) {
            for (int n = 1; n <= 12; ++n) r.cn[n - 1] = s[3 + n] & 0x3F;
        } else {
            r.latitude = static_cast<std::int32_t>(U32(s + 4));
            r.longitude = static_cast<std::int32_t>(U32(s + 8));
            r.speed = U16(s + 12);
            r.altitude = U16(s + 14);
        }
    }
}

int CountFixes(const CLogRecordList& records, int start, int end) {
    start = Clamp(records, start);
    end = Clamp(records, end);
    int n = 0;
    for (int i = start; i < end; ++i) n += records[i].IsFix();
    return n;
}

int FindFirstFix(const CLogRecordList& records, int start, int end) {
    start = Clamp(records, start);
    int stop = Clamp(records, end);
    for (int i = start; i < stop; ++i)
        if (records[i].IsFix()) return i;
    return -1;
}

int FindLastFix(const CLogRecordList& records, int start, int end) {
    int lo = Clamp(records, start);
    for (int i = Clamp(records, end) - 1; i >= lo; --i)
        if (records[i].IsFix()) return i;
    return end;
}

CLogRecord GetRecord(const CLogRecordList& records, int index) { return records.at(index); }

double UtcOffsetHours(std::uint32_t deviceTime, const TimeZone& zone) {
    return static_cast<double>(zone.OffsetAt(deviceTime)) / 3600.0;
}

}  // namespace wing
