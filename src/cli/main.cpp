// wing-utility-cli: the logger without the window, for clubs, scripts and machines with
// no desktop. Subcommands: ports, status, set, read, export, flight, station, race.

#include <clocale>
#include <csignal>
#include <cstdio>
#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

#include "cli/cli_context.h"
#include "cli/commands.h"
#include "cli/interrupt.h"
#include "cli/logger_link.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "resources/string_table.h"
#include "settings/language.h"

namespace {

using namespace wing;
using namespace wing::cli;

constexpr char kExitCodes[] =
    "Exit codes:\n"
    "  0    done\n"
    "  1    usage: bad arguments or input (an unreadable archive, a time in the past)\n"
    "  2    no port, or the port cannot be opened (another program holds it)\n"
    "  3    the logger did not answer\n"
    "  4    the logger refused a command (its status code is in the message and the JSON)\n"
    "  5    not every file was written\n"
    "  6    the logger is not ready: switch position, reserved start ahead, low battery, empty log;\n"
    "       or no bird of the race can be judged\n"
    "  7    the logger does not hold the setting that was sent\n"
    "  130  interrupted\n";

unsigned LanguageFromOption(const std::string& lang, unsigned fromSettings) {
    if (lang.empty()) return fromSettings;
    if (lang == "en" || lang == "1033") return LANG_EN_US;
    if (lang == "zh-TW" || lang == "zh_TW" || lang == "1028") return LANG_ZH_TW;
    if (lang == "zh-CN" || lang == "zh_CN" || lang == "2052") return LANG_ZH_CN;
    return 0;
}

// Message boxes of the layers below become lines on stderr; nobody is there to answer.
int MessageToStderr(const MessageBoxRequest& request) {
    PrintError(request.text);
    return (request.type & 0xF) == MB_YESNO ? IDNO : IDOK;
}

// An empty value is a value given wrong ("--port \"\"" from an unset variable), never
// one left out: every option that takes a value refuses it.
void RefuseEmptyValues(CLI::App& app) {
    const CLI::Validator notEmpty(
        [](std::string& value) { return value.empty() ? std::string("the value is empty") : std::string(); }, "",
        "NOT_EMPTY");
    for (CLI::Option* option : app.get_options())
        if (option->get_expected_min() > 0) option->check(notEmpty);
    for (CLI::App* command : app.get_subcommands({})) RefuseEmptyValues(*command);
}

// --json asked for, wherever it stands: an argument error is then JSON too, even one
// found before the option itself was read.
bool JsonAsked(int argc, char** argv) {
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i)
        if (std::string_view(argv[i]) == "--json") return true;
    return false;
}

std::string SubcommandNames(CLI::App& app) {
    std::string names;
    for (const CLI::App* command : app.get_subcommands({})) names += (names.empty() ? "" : ", ") + command->get_name();
    return names;
}

// What was wrong with the arguments, in words that name it: a word where a subcommand
// belongs is named as an unknown subcommand.
std::string ParseErrorText(CLI::App& app, const CLI::ParseError& error) {
    if (dynamic_cast<const CLI::ExtrasError*>(&error) != nullptr && app.get_subcommands().empty()) {
        const auto extras = app.remaining();
        if (!extras.empty() && !extras.front().empty() && extras.front()[0] != '-')
            return "unknown subcommand: " + extras.front() + " (" + SubcommandNames(app) + ")";
    }
    return error.what();
}

int UsageError(const Context& ctx, const std::string& message, bool pointToHelp) {
    const int exit = Report(ctx, Failure{Exit::Usage, "usage", FromUtf8(message)});
    if (!ctx.json && pointToHelp) PrintError(L"Run with --help for more information.");
    return exit;
}

CLI::Option* PortOption(CLI::App* command, std::string& port) {
    return command->add_option("--port", port, "The logger's port, e.g. COM3 (default: the adapter found)");
}

void SetOptionsOf(CLI::App* command, SetOptions& set) {
    auto* now = command->add_flag("--now", set.now, "Start recording now");
    auto* at = command->add_option("--at", set.at, "Start at this local time, \"YYYY-MM-DD HH:MM\"");
    now->excludes(at);
    command->add_option("--mode", set.mode,
                        "Record mode: 1 (every 30 s), 2 (every 3 min), 3 (every 3 min after an hour) or racing; "
                        "default: racing in the racing configuration, else 1");
    command->add_flag("--yes", set.yes, "Set a racing mode even when the battery is low");
}

}  // namespace

int main(int argc, char** argv) {
    std::setlocale(LC_ALL, "");
    CatchInterrupts();
    // A file that may grow no further (a size limit) is a failed write we report, as on a
    // full disk, not a reason to end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    SetMessageBoxHandler(MessageToStderr);

    Context ctx;
    ctx.configPath = ConfigFilePath().string();
    const std::string about = "wing-utility-cli: link, set, read and save the pigeon GPS logger without the window.\n\n";
    CLI::App app{about + SettingsFilesHelp(), "wing-utility-cli"};
    app.footer(kExitCodes);
    // Checked after the parse, so that a word that is no subcommand is named as such.
    app.require_subcommand(0, 1);
    // --json, --lang and --config may follow the subcommand too.
    app.fallthrough();
    std::string lang;
    std::string configFile;
    app.add_option("--config", configFile, "Settings file to use instead of the one in force");
    app.add_flag("--json", ctx.json, "Print JSON: one document, or one line per event for read and station");
    app.add_option("--lang", lang, "Language of the texts: en, zh-TW or zh-CN (default: as the window chooses)");

    std::string port;
    auto* ports = app.add_subcommand("ports", "The ports the tool sees, and which looks like the logger's adapter");

    StatusOptions status;
    auto* statusCmd = app.add_subcommand("status", "Link, show the logger's identity and state, unlink");
    PortOption(statusCmd, port);

    SetOptions set;
    auto* setCmd = app.add_subcommand("set", "Set the logger for a flight (the log is erased) and check it holds the setting");
    PortOption(setCmd, port);
    SetOptionsOf(setCmd, set);

    ReadOptions read;
    auto* readCmd = app.add_subcommand("read", "Read the whole log and save it: archive first, then the files");
    PortOption(readCmd, port);
    readCmd->add_option("--out", read.out, "Log folder for this run (default: the settings', ~/GPSLOG)");
    readCmd->add_option("--format", read.formats, "Files to write: any of csv,kml,gpx,js (default: as the window writes)");

    ExportOptions exportOptions;
    auto* exportCmd = app.add_subcommand("export", "Write the files again from archived downloads");
    exportCmd->add_option("archive", exportOptions.archives, "Archive files (.wing)")->required();
    exportCmd->add_option("--out", exportOptions.out, "Log folder to write to");
    exportCmd->add_option("--format", exportOptions.formats, "Files to write: any of csv,kml,gpx,js");

    FlightOptions flight;
    auto* flightCmd = app.add_subcommand("flight", "The flight of an archived download: release, arrival, velocity, rests");
    flightCmd->add_option("archive", flight.archive, "Archive file (.wing)")->required();
    auto* loftName = flightCmd->add_option("--loft", flight.loftName, "A loft of the settings, by name");
    auto* loftAt = flightCmd->add_option("--loft-at", flight.loftAt, "The loft's position, e.g. \"24.1234, 120.6543\"");
    loftName->excludes(loftAt);
    auto* release = flightCmd->add_option("--release", flight.release, "The release point");
    auto* releaseTime = flightCmd->add_option("--release-time", flight.releaseTime, "The release time, \"YYYY-MM-DD HH:MM[:SS]\" in the archive's time zone, or with an offset (Z, +08:00)");
    release->needs(releaseTime);
    releaseTime->needs(release);

    StationOptions station;
    auto* stationCmd = app.add_subcommand("station", "The club's loop: each logger that links is read or set; one line per bird");
    PortOption(stationCmd, port);
    auto* autoRead = stationCmd->add_flag("--auto-read", station.autoRead, "Read and save every logger");
    auto* autoSet = stationCmd->add_flag("--auto-set", station.autoSet, "Set every logger (with --now or --at)");
    autoRead->excludes(autoSet);
    SetOptionsOf(stationCmd, station.set);
    stationCmd->add_option("--roster", station.roster, "CSV file each bird's line is appended to")->required();
    stationCmd->add_option("--out", station.out, "Log folder for this run");
    stationCmd->add_option("--format", station.formats, "Files to write: any of csv,kml,gpx,js");

    RaceOptions race;
    auto* raceCmd = app.add_subcommand("race", "Races: judge a race file (the ranking and its result files), or make one with new");
    raceCmd->require_subcommand(0, 1);
    raceCmd->add_option("race", race.file, "The race file to judge (.json)");
    raceCmd->add_option("--format", race.formats, "Result files to write: any of csv,json,html (default: all three)");
    raceCmd->add_option("--out", race.out, "Folder for the result files (default: the race file's)");
    RaceNewOptions raceNew;
    auto* raceNewCmd = AddRaceNewCommand(*raceCmd, raceNew);

    RefuseEmptyValues(app);

    ctx.json = JsonAsked(argc, argv);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0) {  // --help, naming the settings file given with it
            if (!configFile.empty()) app.description(about + SettingsFilesHelp(configFile));
            return app.exit(e);
        }
        return UsageError(ctx, ParseErrorText(app, e), true);
    }
    if (app.get_subcommands().empty())
        return UsageError(ctx, "a subcommand is required: " + SubcommandNames(app), true);

    if (!configFile.empty()) ctx.configPath = configFile;
    const StartupChoice startup = LoadConfigAndSelectLanguage(ctx.configPath);
    ctx.config = startup.config;
    ApplyLogFolder(ctx.config);
    ctx.langId = LanguageFromOption(lang, startup.langId);
    if (ctx.langId == 0) return UsageError(ctx, "--lang: en, zh-TW or zh-CN", false);
    int portNumber = 0;
    if (!port.empty() && (portNumber = ParsePortName(port)) == 0) return UsageError(ctx, "--port: COMn", false);
    if (stationCmd->parsed() && !station.autoRead && !station.autoSet)
        return UsageError(ctx, "station: --auto-read or --auto-set", false);
    if ((setCmd->parsed() && !set.now && set.at.empty()) ||
        (station.autoSet && !station.set.now && station.set.at.empty()))
        return UsageError(ctx, "--now or --at", false);

    if (ports->parsed()) return RunPorts(ctx);
    if (statusCmd->parsed()) return RunStatus(ctx, StatusOptions{portNumber});
    if (setCmd->parsed()) {
        set.port = portNumber;
        return RunSet(ctx, set);
    }
    if (readCmd->parsed()) {
        read.port = portNumber;
        return RunRead(ctx, read);
    }
    if (exportCmd->parsed()) return RunExport(ctx, exportOptions);
    if (flightCmd->parsed()) return RunFlight(ctx, flight);
    if (raceNewCmd->parsed()) return RunRaceNew(ctx, raceNew);
    if (raceCmd->parsed()) {
        if (race.file.empty()) return UsageError(ctx, "race: a race file to judge, or new", true);
        return RunRace(ctx, race);
    }
    station.port = portNumber;
    return RunStation(ctx, station);
}
