// wing-logger-sim: the logger on a pseudo-terminal, for the demo and manual tests.

#include <signal.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iostream>
#include <memory>

#include "logger-sim/logger_sim.h"
#include "logger-sim/sim_options.h"

int main(int argc, char** argv) {
    using namespace wing::sim;
    SimOptions options;
    std::string error;
    if (!ParseSimOptions(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::cerr << "wing-logger-sim: " << error << "\n" << SimUsage();
        return 2;
    }
    if (options.help) {
        std::cout << SimUsage();
        return 0;
    }

    // Signals are taken synchronously below, so the registration is always removed.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    LoggerSimulator sim(options.config);
    std::unique_ptr<std::ofstream> logFile;
    if (options.frameLog == "-") {
        sim.SetFrameLogSink([](const std::string& line) { std::cerr << line << std::endl; });
    } else if (!options.frameLog.empty()) {
        logFile = std::make_unique<std::ofstream>(options.frameLog, std::ios::app);
        if (!*logFile) {
            std::cerr << "wing-logger-sim: cannot write " << options.frameLog << "\n";
            return 1;
        }
        sim.SetFrameLogSink([f = logFile.get()](const std::string& line) { *f << line << std::endl; });
    }

    SimPort port = sim.Start();
    if (!port) {
        std::cerr << "wing-logger-sim: " << port.error << "\n";
        return 1;
    }
    if (port.comNumber > 0) std::cout << "COM" << port.comNumber << " " << port.slavePath << std::endl;
    else std::cout << "- " << port.slavePath << std::endl;

    timespec tick{0, 200 * 1000 * 1000};
    int exitCode = 0;
    for (;;) {
        int sig = sigtimedwait(&signals, nullptr, &tick);
        if (sig > 0) break;
        if (sim.HungUp()) {
            std::cerr << "wing-logger-sim: hung up after " << sim.State().pageRequests - 1 << " page requests\n";
            exitCode = 3;
            break;
        }
    }
    sim.Stop();
    return exitCode;
}
