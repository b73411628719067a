#pragma once
// A bird's track from a file: an archive of ours (.wing) or a GPX 1.0/1.1 file from any
// other logger (its tracks, or its routes when it has no track; every point needs a time).

#include <filesystem>
#include <string>
#include <variant>

#include "log/log_record.h"

namespace wing {

struct RaceTrack {
    CLogRecordList records;  // as AnalyseFlight reads them, in time order
    std::string serial;      // the logger's serial number, when the file names it
};

// The track, or a message that names the file and what is wrong with it.
std::variant<RaceTrack, std::string> ReadTrack(const std::filesystem::path& path);

}  // namespace wing
