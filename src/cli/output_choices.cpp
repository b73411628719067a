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
    ExportFormats chosen;
    chosen.csv = false;
    std::stringstream list(formats);
    for (std::string name; std::getline(list, name, ',');) {
        if (name == "csv") chosen.csv = true;
        else if (name == "kml") chosen.kml = true;
        else if (name == "gpx") chosen.gpx = true;
        else if (name == "js") chosen.points = true;
        else {
            failure = Failure{Exit::Usage, "usage", L"--format: csv, kml, gpx, js"};
            return std::nullopt;
        }
    }
    choices.formats = chosen;
    return choices;
}

void ApplyToProcess(const OutputChoices& choices) {
    if (!choices.folder.empty()) SetLogFolder(choices.folder);
}

void Apply(const Context& ctx, const OutputChoices& choices, LoggerSession& session) {
    ApplyToProcess(choices);
    session.SetExportFormats(choices.formats ? *choices.formats : FormatsForLanguage(ctx.langId, ctx.config.gpx != 0));
}

std::filesystem::path LogFolder() { return ResolveDrivePath(LOG_FOLDER); }

}  // namespace wing::cli
