#include "export/csv_writer.h"

#include "export/file_output.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wing {
namespace {

constexpr char CSV_HEADER[] =
    "DateTime, GPSLong, GPSLat, Debug Status,Switch,Plugin,Wake On, Status ,Speed, "
    "Altitude,CN1,CN2,CN3,CN4,CN5,CN6,CN7,CN8,CN9,CN10,CN11,CN12\r\n";

// The version text as it fits a 64-byte buffer, cut at a character boundary.
std::string VersionBytes(const std::wstring& version) {
    std::wstring v = version;
    std::string out = ToLocale8(v);
    while (out.size() > 63 && !v.empty()) {
        v.pop_back();
        out = ToLocale8(v);
    }
    return out;
}

void AppendRow(std::string& out, const CLogRecord& r, const TimeZone& zone) {
    if (r.kind == 1) {
        out += Format("%s,%s,%s,%d,%d,%d,%d,%d,%s,", r.DateTimeText(zone).c_str(), "N/A", "N/A",
                      r.debugStatus, r.switchBit, r.pluginBit, r.wakeOnBit, r.status, "N/A,N/A");
        for (std::uint8_t v : r.cn) out += Format("%d,", v);
        out += "\r\n";
    } else {
        out += Format("%s,%f,%f,%d,%d,%d,%d,%d,%d,%d,%s\r\n", r.DateTimeText(zone).c_str(),
                      r.LongitudeDegrees(), r.LatitudeDegrees(), r.debugStatus, r.switchBit,
                      r.pluginBit, r.wakeOnBit, r.status, r.SpeedKmh(), r.altitude,
                      "N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A,N/A");
    }
}

}  // namespace

std::wstring CsvFileName(const CExportJob& job) {
    const auto& recs = job.records;
    const int n = static_cast<int>(recs.size());
    if (n == 0) return {};
    // Both stamps are searched among all records but the final one.
    int first = FindFirstFix(recs, 0, n - 1);
    if (first == -1) first = 0;
    int last = FindLastFix(recs, 0, n - 1);
    std::wstring a = GetRecord(recs, first).FileStamp(job.zone);
    std::wstring b = GetRecord(recs, last).FileStamp(job.zone);
    const std::wstring rest = L"_" + a + L"_" + b + L".csv";
    if (!job.snText.empty()) return L"C:\\GPSLog\\" + SerialNamePart(job.snText, rest) + rest;
    return L"C:\\GPSLog\\" + a + L"_" + b + L".csv";
}

std::string CsvContent(const CExportJob& job) {
    ScopedCNumeric numeric;
    std::string out;
    out.reserve(128 * (job.records.size() + 3));
    out += "SN :" + ToLocale8(CsvLineSafe(job.snText)) + "\r\n";
    out += "GPS Board :" + VersionBytes(CsvLineSafe(job.versionText)) + "\r\n";
    out += CSV_HEADER;
    for (const auto& r : job.records) AppendRow(out, r, job.zone);
    return out;
}

std::optional<ExportFailure> WriteCsvFile(const CExportJob& job) {
    if (job.records.empty()) return std::nullopt;
    return WriteExportFile(CsvFileName(job), CsvContent(job));
}

}  // namespace wing
