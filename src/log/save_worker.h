#pragma once
// The export run started when a download is complete.

#include <string>

#include "log/log_record.h"
#include "platform/window.h"

namespace wing {

// The folder every export lives under; it is created when missing.
inline constexpr wchar_t LOG_FOLDER[] = L"C:\\GPSLOG\\";

// Writes the day files (points scripts for language 2052, KML documents otherwise)
// and then the CSV of the whole list, and posts WM_FILES_SAVED (0, 0) to `window`
// in every case. An empty list writes nothing. Runs on its own thread; the caller
// keeps `records` unchanged until WM_FILES_SAVED has been handled.
void SaveWorker(const CLogRecordList& records, const std::wstring& snText,
                const std::wstring& versionText, unsigned langId, HWND window);

}  // namespace wing
