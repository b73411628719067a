#pragma once
// The simulator's command line.

#include <string>
#include <vector>

#include "logger-sim/logger_sim.h"

namespace wing::sim {

struct SimOptions {
    SimConfig config;
    std::string frameLog;  // "" none, "-" standard error, else a file
    bool help = false;
};

// Fills `options` from the arguments (without the program name). On a bad argument
// returns false with `error` naming it.
bool ParseSimOptions(const std::vector<std::string>& args, SimOptions& options, std::string& error);

const char* SimUsage();

}  // namespace wing::sim
