#include "export/save_worker.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "export/csv_writer.h"
#include "export/gpx_writer.h"
#include "export/kml_writer.h"
#include "export/points_script.h"
#include "log/day_segments.h"
#include "platform/message_box.h"
#include "platform/paths.h"
#include "platform/text.h"
#include "resources/string_table.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

// The log folder, made when it is missing; the failure when it cannot be had.
std::optional<ExportFailure> PrepareLogFolder() {
    const fs::path folder = ResolveDrivePath(LOG_FOLDER);
    if (folder.empty()) return ExportFailure{LOG_FOLDER, FromLocale8(std::strerror(ENOENT))};
    std::error_code ec;
    if (fs::is_directory(folder, ec)) return std::nullopt;
    fs::create_directories(folder, ec);
    std::error_code checkEc;
    if (fs::is_directory(folder, checkEc)) return std::nullopt;
    std::string reason = ec ? ec.message() : std::strerror(ENOTDIR);
    return ExportFailure{FromLocale8(folder.string()), FromLocale8(reason)};
}

}  // namespace

void ShowSaveFailure(const ExportFailure& failure, unsigned langId) {
    std::wstring text;
    LoadLanguageString(langId, IDS_FILE_NOT_SAVED, text);
    ShowMessageBox(text + L"\n" + failure.path + L"\n" + failure.reason, L"", MB_OK | MB_ICONWARNING);
}

std::vector<ExportFailure> SaveFiles(const CExportJob& job) {
    std::vector<ExportFailure> failures;
    const auto& records = job.records;
    if (records.empty()) return failures;
    if (auto folderFailure = PrepareLogFolder()) {
        failures.push_back(*folderFailure);
        return failures;
    }
    RemoveStaleTempFiles(ResolveDrivePath(LOG_FOLDER));
    auto keep = [&](std::optional<ExportFailure> failure) {
        if (failure) failures.push_back(std::move(*failure));
    };
    const ExportFormats formats = job.Formats();
    const int size = static_cast<int>(records.size());
    // Every file of days is split the same way; the user hears once when none can have a track.
    CDaySegments segments;
    if (formats.points || formats.kml || formats.gpx) SplitByDay(records, segments, job.zone, job.langId);
    if (formats.points) {
        if (DriveDirectoryExists(POINTS_FOLDER)) RemoveStaleTempFiles(ResolveDrivePath(POINTS_FOLDER));
        WalkSegments(segments, size, [&](int start, int end) { keep(WritePointsScript(job, start, end)); });
    }
    if (formats.kml) WalkSegments(segments, size, [&](int start, int end) { keep(WriteKmlFile(job, start, end)); });
    if (formats.gpx) keep(WriteGpxFile(job));
    if (formats.csv) keep(WriteCsvFile(job));
    return failures;
}

void SaveWorker(CLogRecordList records, std::wstring snText, std::wstring versionText, unsigned langId,
                HWND window) {
    const CExportJob job{records, std::move(snText), std::move(versionText), langId};
    const std::vector<ExportFailure> failures = SaveFiles(job);
    for (const auto& failure : failures) ShowSaveFailure(failure, langId);
    PostMessageTo(window, WM_FILES_SAVED, static_cast<WPARAM>(failures.size()), 0);
}

}  // namespace wing
