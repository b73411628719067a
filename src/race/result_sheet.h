#pragma once
// The race's results as files: one CSV row per bird, a printable HTML sheet (A4 from a
// browser) and the JSON the command line prints, in the interface's language; every
// figure from the judgement.

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "export/file_output.h"
#include "race/judgement.h"

namespace wing {

// A column of the CSV and the sheet: its title (in the interface's language) and a bird's
// cell; `number` aligns it right on the sheet; the track's column is left off the sheet.
// The cells refer to the judgement, which must outlive them.
struct RaceResultColumn {
    std::string title;
    std::function<std::string(const BirdResult&)> cell;
    bool number = true;
    bool onSheet = true;
};
std::vector<RaceResultColumn> RaceResultColumns(const RaceJudgement& judgement, unsigned langId);

std::string RaceResultCsv(const RaceJudgement& judgement, unsigned langId);
std::string RaceResultHtml(const RaceJudgement& judgement, unsigned langId);
// {"race": ..., "birds": [...]}: the names scripts rely on (docs/race-file.md).
std::string RaceResultJson(const RaceJudgement& judgement);

struct RaceResultFormats {
    bool csv = true;
    bool html = true;
    bool json = true;
};

struct RaceResultFiles {
    std::vector<std::filesystem::path> written;  // in place and read back as written
    std::vector<ExportFailure> notWritten;
};

// Writes one result file under a temporary name, renames it into place and reads it back;
// the failure, if any.
std::optional<ExportFailure> WriteResultFile(const std::filesystem::path& path, std::string_view data);

// The files <stem>-results.csv, .html and .json in `folder` (created when missing), each
// written under a temporary name, renamed into place and read back.
RaceResultFiles WriteRaceResults(const RaceJudgement& judgement, const std::filesystem::path& folder,
                                 const std::string& stem, const RaceResultFormats& formats, unsigned langId);

}  // namespace wing
