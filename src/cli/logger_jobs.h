#pragma once
// The two jobs a linked logger is given from the command line, as the window does them:
// read and save its log, or set it for a flight and check what it holds afterwards.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <vector>

#include "cli/commands.h"
#include "cli/logger_link.h"

namespace wing::cli {

struct ReadOutcome {
    std::optional<Failure> failure;
    unsigned count = 0;                     // records the logger reported
    std::filesystem::path archive;          // empty when it could not be written
    std::vector<ExportFailure> notWritten;  // files not in place (the failure says so too)
    std::uint32_t elapsedMs = 0;
};

// Reads the whole log and saves it (archive first, then the exports); `progress` sees
// every page as it is stored.
ReadOutcome ReadAndSave(LoggerLink& link, const Context& ctx,
                        const std::function<void(unsigned index, unsigned count)>& progress);

// The setting that --now / --at / --mode describe, or the usage failure.
std::optional<FlightSetting> SettingFrom(const Context& ctx, const SetOptions& options, Failure& failure);

// The window's checks before a setting: the switch must be on, and a racing mode on a
// low battery needs a yes (asked on a terminal, --yes otherwise).
std::optional<Failure> CheckBeforeSetting(LoggerLink& link, const Context& ctx, const FlightSetting& setting,
                                          bool yes, bool mayAsk);

struct SetOutcome {
    std::optional<Failure> failure;
    DeviceStatus held;  // what the logger reported after the setting
};

// Erases the log, sends the setting and compares the next status with it.
SetOutcome SetAndVerify(LoggerLink& link, const Context& ctx, const FlightSetting& setting);

}  // namespace wing::cli
