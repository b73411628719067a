// race RACE.json: a race file judged; the ranking printed, the result files written.

#include <filesystem>
#include <sstream>

#include "cli/commands.h"
#include "platform/text.h"
#include "race/judgement.h"
#include "race/race_file.h"
#include "race/result_sheet.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing::cli {
namespace {

std::optional<RaceResultFormats> FormatsFrom(const std::string& text) {
    if (text.empty()) return RaceResultFormats{};
    RaceResultFormats chosen{false, false, false};
    std::stringstream list(text);
    for (std::string name; std::getline(list, name, ',');) {
        if (name == "csv") chosen.csv = true;
        else if (name == "json") chosen.json = true;
        else if (name == "html") chosen.html = true;
        else return std::nullopt;
    }
    return chosen;
}

std::string Places(double value, int places) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", places, value);
    return text;
}

// One line per bird: place, ring, velocity or why not.
void PrintRanking(const Context& ctx, const RaceJudgement& j) {
    const RaceRules& rules = j.race.rules;
    const std::wstring unit = ctx.Text(rules.unit == VelocityUnit::YardsPerMinute ? IDS_RACE_UNIT_YD : IDS_RACE_UNIT_M);
    PrintLine(ctx.Text(IDS_RACE_TITLE) + L" - " + FromUtf8(j.race.name));
    for (const BirdResult& b : j.birds) {
        const RaceEntry& e = j.race.entries[b.entry];
        const std::wstring who = FromUtf8(e.ring.empty() ? e.name : e.ring);
        if (!b.problem.empty()) {
            PrintError(ctx.Text(IDS_RACE_NOT_JUDGED) + L" " + FromUtf8(b.problem));
        } else if (const auto v = PublishedVelocity(rules, b)) {
            PrintLine(std::to_wstring(b.rank) + L"\t" + who + L"\t" + FromUtf8(Places(*v, std::clamp(rules.velocityDecimals, 0, 6))) +
                      L" " + unit);
        } else {
            PrintLine(L"-\t" + who + L"\t" + ctx.Text(IDS_RACE_NOT_ARRIVED) + L" (" +
                      FromUtf8(Places(b.closestMetres.value_or(0) / 1000, 3)) + L" km)");
        }
    }
}

}  // namespace

int RunRace(const Context& ctx, const RaceOptions& options) {
    const auto formats = FormatsFrom(options.formats);
    if (!formats) return Report(ctx, Failure{Exit::Usage, "usage", L"--format: csv, json, html"});
    const std::filesystem::path file = std::filesystem::absolute(options.file);
    auto read = ReadRace(file);
    if (const auto* why = std::get_if<std::string>(&read))
        return Report(ctx, Failure{Exit::Usage, "bad-race", ctx.Text(IDS_RACE_CANNOT_READ) + L" " + FromUtf8(*why)});
    const Race& race = std::get<Race>(read);

    const RaceJudgement judgement = JudgeRace(race, ctx.config.lofts, file.parent_path());
    const bool anyJudged = std::any_of(judgement.birds.begin(), judgement.birds.end(),
                                       [](const BirdResult& b) { return b.problem.empty(); });
    const std::filesystem::path folder = options.out.empty() ? file.parent_path() : std::filesystem::absolute(options.out);
    const RaceResultFiles files = WriteRaceResults(judgement, folder, file.stem().string(), *formats, ctx.langId);

    const Exit exit = !anyJudged ? Exit::NoJudgeableBird : !files.notWritten.empty() ? Exit::FilesNotWritten : Exit::Done;
    if (ctx.json) {
        nlohmann::json doc = nlohmann::json::parse(RaceResultJson(judgement));
        doc["ok"] = exit == Exit::Done;
        doc["exit"] = static_cast<int>(exit);
        nlohmann::json written = nlohmann::json::array(), missing = nlohmann::json::array();
        for (const auto& path : files.written) written.push_back(path.string());
        for (const auto& f : files.notWritten) missing.push_back({{"path", ToUtf8(f.path)}, {"reason", ToUtf8(f.reason)}});
        doc["files"] = written;
        doc["not_written"] = missing;
        if (!anyJudged) doc["message"] = ToUtf8(ctx.Text(IDS_RACE_NONE_JUDGEABLE));
        PrintJson(doc);
        return static_cast<int>(exit);
    }
    PrintRanking(ctx, judgement);
    if (!anyJudged) PrintError(ctx.Text(IDS_RACE_NONE_JUDGEABLE));
    for (const auto& f : files.notWritten) PrintError(ctx.Text(IDS_FILE_NOT_SAVED) + L" " + f.path + L": " + f.reason);
    if (!files.written.empty()) {
        PrintLine(ctx.Text(IDS_RACE_FILES));
        for (const auto& path : files.written) PrintLine(L"  " + FromLocale8(path.string()));
    }
    return static_cast<int>(exit);
}

}  // namespace wing::cli
