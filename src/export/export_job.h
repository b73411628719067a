#pragma once
// What the export run and its writers read: the downloaded records, the texts of the
// logger they came from, and which files to write.

#include <optional>
#include <string>

#include "log/log_record.h"
#include "platform/time_zone.h"
#include "resources/string_table.h"

namespace wing {

// Which files an export writes. The CSV is always the download's full record.
struct ExportFormats {
    bool csv = true;
    bool kml = false;     // a KML document per local day
    bool points = false;  // a map points script per local day
    bool gpx = false;     // one GPX file beside the CSV, a track per local day
};

// What the window writes: points scripts for 2052, KML otherwise; GPX when the settings ask.
inline ExportFormats FormatsForLanguage(unsigned langId, bool gpx = false) {
    ExportFormats formats;
    formats.points = langId == LANG_ZH_CN;
    formats.kml = !formats.points;
    formats.gpx = gpx;
    return formats;
}

struct CExportJob {
    const CLogRecordList& records;
    std::wstring snText;  // serial number; empty when none was read
    std::wstring versionText;  // firmware version ("V 1.0.2.3"); empty when none was read
    unsigned langId = 0;  // interface language: texts, and the files when `formats` is empty
    std::optional<ExportFormats> formats = std::nullopt;  // empty: FormatsForLanguage(langId)
    // The zone of every local time the files carry (texts, names, days): the download's.
    TimeZone zone = TimeZone::Pc();

    ExportFormats Formats() const { return formats.value_or(FormatsForLanguage(langId)); }
};

}  // namespace wing
