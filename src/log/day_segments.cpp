#include "log/day_segments.h"

#include "platform/locale.h"
#include "platform/message_box.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

int LocalDayOfMonth(std::uint32_t deviceTime, const TimeZone& zone) {
    std::tm local{};
    return DeviceLocalTime(deviceTime, local, zone) ? local.tm_mday : 0;
}

}  // namespace

void SplitByLocalDay(const CLogRecordList& records, CDaySegments& segments, const TimeZone& zone) {
    for (int i = 0; i < MAX_DAY_SEGMENTS; ++i) segments.starts[i] = segments.ends[i] = -1;
    const int size = static_cast<int>(records.size());
    if (size == 0) return;

    int d = LocalDayOfMonth(records[0].time, zone);
    segments.starts[0] = 0;
    int k = 0;
    for (int i = 0; i < size; ++i) {
        int m = LocalDayOfMonth(records[i].time, zone);
        if (m != d) {
            d = m;
            // The tables end at 64 segments; the rest of the list joins the last one.
            if (k + 1 >= MAX_DAY_SEGMENTS) continue;
            segments.ends[k] = i;
            segments.starts[k + 1] = i;
            ++k;
        }
    }
    segments.ends[k] = size;
}

void SplitByDay(const CLogRecordList& records, CDaySegments& segments, const TimeZone& zone, unsigned langId) {
    SplitByLocalDay(records, segments, zone);
    if (!records.empty() && CountFixes(records, 0, static_cast<int>(records.size())) == 0) {
        std::wstring text;
        LoadLanguageString(langId, IDS_NO_TRACK_POINT, text);
        ShowMessageBox(text, L"", MB_OK);
    }
}

void WalkSegments(const CDaySegments& segments, int size,
                  const std::function<void(int, int)>& write) {
    for (int i = 0; i < MAX_DAY_SEGMENTS; ++i) {
        if (segments.starts[i] == -1) return;
        if (segments.ends[i] == 0) {
            write(segments.starts[i], size);
            return;
        }
        write(segments.starts[i], segments.ends[i]);
    }
}

}  // namespace wing
