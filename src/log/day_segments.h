#pragma once
// Splitting the record list into local days: one export file per day.

#include <functional>

#include "log/log_record.h"

namespace wing {

constexpr int MAX_DAY_SEGMENTS = 64;

struct CDaySegments {
    int starts[MAX_DAY_SEGMENTS];
    int ends[MAX_DAY_SEGMENTS];  // exclusive; -1 past the last segment
};

// Fills the tables: a new segment begins wherever the local day of month in `zone`
// differs from the previous record's. From the 64th segment on, further day changes stay in
// the last segment. An empty list gives no segment.
void SplitByLocalDay(const CLogRecordList& records, CDaySegments& segments, const TimeZone& zone);

// SplitByLocalDay, and when the list holds no fix, the "no track point" message (string
// 188 in `langId`): the export run's split, which tells the user once.
void SplitByDay(const CLogRecordList& records, CDaySegments& segments, const TimeZone& zone, unsigned langId);

// Calls `write(start, end)` for each segment in order.
void WalkSegments(const CDaySegments& segments, int size,
                  const std::function<void(int start, int end)>& write);

}  // namespace wing
