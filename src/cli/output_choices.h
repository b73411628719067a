#pragma once
// Where a command's files go and which files it writes: --out and --format over the
// settings in force.

#include <filesystem>
#include <optional>
#include <string>

#include "cli/cli_context.h"
#include "export/export_job.h"
#include "session/logger_session.h"

namespace wing::cli {

struct OutputChoices {
    std::filesystem::path folder;          // empty: the settings' log folder
    std::optional<ExportFormats> formats;  // none: the files the window writes
};

// Reads --out and --format ("csv,kml,gpx,js", any order); the usage failure when a
// format is unknown.
std::optional<OutputChoices> OutputChoicesFrom(const Context& ctx, const std::string& out, const std::string& formats,
                                               Failure& failure);
// Puts the folder in force for this process.
void ApplyToProcess(const OutputChoices& choices);
// Puts the choices in force for this process and the session: the formats asked for, or
// those of the language and the settings' GPX choice, as the window writes them.
void Apply(const Context& ctx, const OutputChoices& choices, LoggerSession& session);
// The log folder files are written under.
std::filesystem::path LogFolder();

}  // namespace wing::cli
