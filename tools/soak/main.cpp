// wing-soak [SEED] [CYCLES]: the fault soak of the real window against the logger
// simulator (see soak_cycle.h). Prints each cycle, then the counts of every fault drawn and
// met and of every outcome; exits 1 when any check failed. Runs on the offscreen platform
// when no display is set.

#include <QApplication>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "soak/soak_cycle.h"

int main(int argc, char** argv) {
    std::uint32_t seed = argc > 1 ? static_cast<std::uint32_t>(std::strtoul(argv[1], nullptr, 10)) : 1;
    int cycles = argc > 2 ? std::atoi(argv[2]) : 200;
    if (cycles <= 0) {
        std::fprintf(stderr, "usage: wing-soak [SEED] [CYCLES]\n");
        return 2;
    }
    if (std::getenv("DISPLAY") == nullptr && std::getenv("WAYLAND_DISPLAY") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 0);
    setenv("QT_FONT_DPI", "96", 0);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);

    std::printf("fault soak: seed %u, %d cycles\n", seed, cycles);
    const auto started = std::chrono::steady_clock::now();
    int failed = 0;
    {
        wing::soak::Soak soak(seed, true);
        for (int i = 1; i <= cycles; ++i) failed += !soak.RunCycle(i).violations.empty();
        soak.PrintSummary(stdout);
    }
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("%d cycles in %.0f s, %d with failed checks\n", cycles, seconds, failed);
    return failed == 0 ? 0 : 1;
}
