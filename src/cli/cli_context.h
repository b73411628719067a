#pragma once
// What every subcommand of the command line shares: the settings in force, the language
// of its texts, whether it prints JSON, and the exit codes it ends with.

#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "settings/config.h"

namespace wing::cli {

// Documented in --help and the man page; scripts rely on the numbers.
enum class Exit : int {
    Done = 0,
    Usage = 1,            // bad arguments or input (an unreadable archive, a time in the past)
    NoPort = 2,           // no port, or the port cannot be opened (another program holds it)
    NoAnswer = 3,         // the logger did not answer
    Refused = 4,          // the logger refused a command (its status code is reported)
    FilesNotWritten = 5,  // not every file is in place
    NotReady = 6,         // the logger is not in the state the job needs (switch, start, battery, empty log)
    NoJudgeableBird = 6,  // a race none of whose birds can be judged
    NotHeld = 7,          // the logger does not hold the setting that was sent
    Interrupted = 130,    // SIGINT or SIGTERM
};

// Why a subcommand ends without doing its job.
struct Failure {
    Failure() = default;
    Failure(Exit e, std::string k, std::wstring m, std::wstring cmd = {}, std::optional<unsigned> c = {})
        : exit(e), kind(std::move(k)), message(std::move(m)), command(std::move(cmd)), code(c) {}

    Exit exit = Exit::Done;
    std::string kind;        // machine-readable: "no-port", "port-busy", "no-answer", "refused", ...
    std::wstring message;    // in the chosen language
    std::wstring command;    // the logger command refused or unanswered, when there is one
    std::optional<unsigned> code;  // the logger's status code of a refusal
};

struct Context {
    Config config;
    std::string configPath;  // the settings file in force
    unsigned langId = 1033;
    bool json = false;

    std::wstring Text(unsigned id) const;
};

// Prints a JSON document (one line) on stdout and flushes, so a reader of a pipe sees
// each event as it happens.
void PrintJson(const nlohmann::json& document);
// Prints a line of text on stdout, in the locale's code set.
void PrintLine(const std::wstring& text);
// Prints a line of text on stderr.
void PrintError(const std::wstring& text);

// The failure as JSON (ok: false, with the exit code) or as a line on stderr; its exit code.
int Report(const Context& ctx, const Failure& failure);

}  // namespace wing::cli
