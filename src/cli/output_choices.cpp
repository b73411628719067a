#include "cli/output_choices.h"

#include <sstream>

#include "export/save_worker.h"
#include "platform/paths.h"

namespace wing::cli {

std::optional<OutputChoices> OutputChoicesFrom(const Context&, const std::string& out, const std::string& formats,
                                               Failure& failure) {
    OutputChoices choices;
    if (!out.empty()) choices.folder = std::filesystem::absolute(out);
    if (formats.empty()) return choices;
    choices.formatsGiven = true;
    choices.csv = false;
    std::stringstream list(formats);
    for (std::string name; std::getline(list, name, ',');) {
        if (name == "csv") choices.csv = true;
        else if (name == "kml") choices.kml = true;
        else if (name == "gpx") choices.gpx = true;
        else if (name == "js") choices.points = true;
        else {
            failure = Failure{Exit::Usage, "usage", L"--format: csv, kml, gpx, js"};
            return std::nullopt;
        }
    }
    return choices;
}

void ApplyToProcess(const OutputChoices& choices) {
    if (!choices.folder.empty()) SetLogFolder(choices.folder);
}

void Apply(const OutputChoices& choices, LoggerSession&) { ApplyToProcess(choices); }

std::filesystem::path LogFolder() { return ResolveDrivePath(LOG_FOLDER); }

}  // namespace wing::cli
