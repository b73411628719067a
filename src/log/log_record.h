#pragma once
// One decoded 16-byte log slot, the record list of a download, and the values that
// every export derives from a record.

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/time_zone.h"

namespace wing {

constexpr std::size_t LOG_SLOT_SIZE = 16;
constexpr std::size_t LOG_PAGE_SIZE = 128;  // eight slots per read-log answer

class CLogRecord {
public:
    std::int32_t kind = 0;  // 0 position record, 1 satellite record
    std::uint32_t time = 0;  // device time, seconds since 1970 UTC
    std::uint8_t debugStatus = 0;  // the whole status byte
    std::int32_t longitude = 0;  // packed degrees and minutes
    std::int32_t latitude = 0;
    std::uint16_t speed = 0;  // bytes 12-13 as read; the low byte is km/h
    std::uint16_t altitude = 0;  // metres
    std::uint8_t switchBit = 0xFF;
    std::uint8_t pluginBit = 0xFF;
    std::uint8_t wakeOnBit = 0xFF;
    std::uint8_t status = 0xFF;
    std::uint8_t cn[12] = {};
    // Caches of the last texts made from `time`.
    mutable std::wstring stampText;
    mutable std::string dateTimeText;

    double LongitudeDegrees() const;
    double LatitudeDegrees() const;
    // Local time in `zone` as "%Y-%m-%d  %H:%M:%S" (two blanks), for the CSV.
    std::string DateTimeText(const TimeZone& zone) const;
    // Local time in `zone` as "YYYY_MM_DD_hh_mm_ss", for file names.
    std::wstring FileStamp(const TimeZone& zone) const;
    bool IsFix() const { return debugStatus == 0; }
    // Speed in km/h (the low byte of `speed`).
    int SpeedKmh() const { return speed & 0xFF; }
    double SpeedMetresPerMinute() const { return SpeedKmh() * 1000.0 / 60.0; }
};

using CLogRecordList = std::vector<CLogRecord>;

// Packed degrees-and-minutes (degrees x 1e6 + minutes x 1e4) to decimal degrees.
double PackedToDegrees(std::int32_t packed);
// Decimal degrees to the packed form, to the nearest 0.0001 minute: within 0.093 m of the
// position north-south, and less east-west.
std::int32_t DegreesToPacked(double degrees);

// Appends the records of one 128-byte page whose first slot is the log's slot
// `firstIndex`. A position slot of 16 zero bytes ends the page. A slot belongs to the
// download only when its index is below `reportedCount`, the number of records the
// logger said it holds, so the erased flash after the last record is never read as
// data, also when a zero slot ended an earlier page short.
void DecodeLogPage(std::span<const std::uint8_t, LOG_PAGE_SIZE> page, std::size_t firstIndex,
                   CLogRecordList& records, std::size_t reportedCount);

// Fix counting and searches over [start, end) of the list; indices outside the list
// are clamped to it.
int CountFixes(const CLogRecordList& records, int start, int end);
// Smallest fix index in [start, end), or -1.
int FindFirstFix(const CLogRecordList& records, int start, int end);
// Largest fix index in [start, end) searching down from end-1, or `end` when none.
int FindLastFix(const CLogRecordList& records, int start, int end);
// Copy of record `index`, which must lie in [0, size).
CLogRecord GetRecord(const CLogRecordList& records, int index);

// The offset of local time in `zone` from UTC in hours, as in force at that device time.
double UtcOffsetHours(std::uint32_t deviceTime, const TimeZone& zone);

}  // namespace wing
