#pragma once
// wing-utility-cli run as its own process against the logger simulator on a
// pseudo-terminal: a settings file, a configuration folder (whose device map points
// drive C: into the test's folder) and the simulator's registration shared with it.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "logger-sim/logger_sim.h"
#include "support/files.h"
#include "support/process.h"

namespace wing::test {

inline const std::string kCli = WING_BINARY_DIR "/src/cli/wing-utility-cli";

class CliRig : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/wing-cli-XXXXXX";
        root = ::mkdtemp(tmpl);
        drive = root / "c";
        std::filesystem::create_directories(root / "config" / "wing-utility");
        std::filesystem::create_directories(drive);
        std::ofstream(root / "config" / "wing-utility" / "device-map.ini") << "[drives]\nC = " << drive.string() << "\n";
        if (const char* old = ::getenv("XDG_CONFIG_HOME")) oldXdg = old;
        // The simulator registers its port where the command line looks for it.
        ::setenv("XDG_CONFIG_HOME", (root / "config").c_str(), 1);
        WriteIni(1, 40);
    }
    void TearDown() override {
        simulator.reset();
        if (oldXdg.empty()) ::unsetenv("XDG_CONFIG_HOME");
        else ::setenv("XDG_CONFIG_HOME", oldXdg.c_str(), 1);
        std::error_code ec;
        std::filesystem::remove_all(root, ec);
    }

    // English texts; `competition` 1 is the racing configuration.
    void WriteIni(int competition, int threshold, const std::string& extra = {}) {
        ini = root / "Wing.ini";
        std::ofstream(ini) << "[Mode]\nCompetition=" << competition << "\n[Power]\nThreshold=" << threshold
                           << "\n[Language]\nLanguageByOS=2\n[NTP]\nNTP=0\n[Personal]\nENABLE=1\nCOM=0\n" << extra;
    }
    static sim::SimConfig Quick(int slots = 40) {
        sim::SimConfig c;
        c.pacing = false;
        c.switchPos = 0;
        c.flight.slots = slots;
        return c;
    }
    int StartSimulator(sim::SimConfig config) {
        simulator = std::make_unique<sim::LoggerSimulator>(std::move(config));
        port = simulator->Start();
        EXPECT_TRUE(port) << port.error;
        return port.comNumber;
    }
    std::string Com() const { return "COM" + std::to_string(port.comNumber); }
    std::vector<std::string> Args(std::vector<std::string> args) const {
        std::vector<std::string> all{kCli, "--config", ini.string()};
        all.insert(all.end(), args.begin(), args.end());
        return all;
    }
    std::map<std::string, std::string> Env() const {
        return {{"XDG_CONFIG_HOME", (root / "config").string()}, {"LC_ALL", "C.UTF-8"}, {"HOME", root.string()}};
    }
    ProcessResult Run(std::vector<std::string> args, double timeout = 90) { return RunProcess(Args(std::move(args)), Env(), timeout); }
    // The last line of stdout as JSON.
    static nlohmann::json LastJson(const ProcessResult& r) {
        std::string text = r.out;
        while (!text.empty() && text.back() == '\n') text.pop_back();
        const auto nl = text.rfind('\n');
        return nlohmann::json::parse(nl == std::string::npos ? text : text.substr(nl + 1), nullptr, false);
    }
    std::vector<std::filesystem::path> Saved(const std::string& extension) const {
        std::vector<std::filesystem::path> out;
        for (const auto& f : FilesUnder(drive))
            if (f.extension() == extension) out.push_back(f);
        return out;
    }

    std::filesystem::path root, drive, ini;
    std::string oldXdg;
    std::unique_ptr<sim::LoggerSimulator> simulator;
    sim::SimPort port;
};

}  // namespace wing::test
