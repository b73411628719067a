// wing-soak [--faults | --buttons] [SEED] [CYCLES]: the soak of the real window against
// the logger simulator (see soak_cycle.h). Each cycle is a fault cycle followed by a button
// sequence; --faults or --buttons runs only the one kind. Prints each cycle, then the counts
// of every fault drawn and met and of every outcome; exits 1 when any check failed. Runs on
// the offscreen platform when no display is set.

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "soak/soak_cycle.h"

int main(int argc, char** argv) {
    bool faults = true, buttons = true;
    std::vector<std::string> numbers;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--faults") {
            buttons = false;
        } else if (arg == "--buttons") {
            faults = false;
        } else {
            numbers.push_back(arg);
        }
    }
    std::uint32_t seed = numbers.size() > 0 ? static_cast<std::uint32_t>(std::strtoul(numbers[0].c_str(), nullptr, 10)) : 1;
    int cycles = numbers.size() > 1 ? std::atoi(numbers[1].c_str()) : 200;
    if (cycles <= 0 || numbers.size() > 2 || (!faults && !buttons)) {
        std::fprintf(stderr, "usage: wing-soak [--faults | --buttons] [SEED] [CYCLES]\n");
        return 2;
    }
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_FONT_DPI", "96", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    std::printf("soak: seed %u, %d cycles of %s\n", seed, cycles,
                faults && buttons ? "faults and button presses" : faults ? "faults" : "button presses");
    const auto started = std::chrono::steady_clock::now();
    int failed = 0;
    {
        wing::soak::Soak soak(seed, true);
        for (int i = 1; i <= cycles; ++i) {
            bool sound = true;
            if (faults) sound = soak.RunCycle(i).violations.empty() && sound;
            if (buttons) sound = soak.RunButtonSequence(i).violations.empty() && sound;
            failed += !sound;
        }
        soak.PrintSummary(stdout);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d cycles in %.0f s, %d with failed checks\n", cycles, seconds, failed);
    return failed == 0 ? 0 : 1;
}
