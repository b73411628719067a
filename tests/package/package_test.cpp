// The Debian package as a user gets it. The Package.Build fixture makes it once from this
// build tree (scripts/package); each test here unpacks it into a temporary root of its
// own (dpkg-deb -x), checks one side of it and removes the root: the files in Debian's
// places, the control data, the maintainer scripts, lintian, the desktop entry and the
// AppStream data, and the installed program itself, linking to the simulated logger and
// saving its flight, compared record by record with what the logger holds.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "logger-sim/logger_sim.h"
#include "support/expected_csv.h"
#include "support/files.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using test::ReadWhole;

constexpr const char* kAppstreamId = "io.github.wing_utility.WingUtility";

// Runs `command` in the shell; its exit status, with what it printed (both streams).
int Shell(const std::string& command, std::string& output) {
    output.clear();
    std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool HaveTool(const std::string& name) {
    std::string ignored;
    return Shell("command -v " + name, ignored) == 0;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        out.push_back(line);
    }
    return out;
}

std::string MakeTempDir(const char* name) {
    std::string pattern = std::string("/tmp/wing-") + name + "-XXXXXX";
    return ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
}

// The package the fixture made: the one wing-utility_*.deb in its folder.
fs::path BuiltPackage() {
    std::vector<fs::path> found;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(WING_DEB_DIR, ec))
        if (e.path().filename().string().rfind("wing-utility_", 0) == 0 && e.path().extension() == ".deb")
            found.push_back(e.path());
    return found.size() == 1 ? found[0] : fs::path();
}

class Package : public ::testing::Test {
protected:
    void SetUp() override {
        deb = BuiltPackage();
        if (deb.empty()) GTEST_SKIP() << "no single package in " << WING_DEB_DIR << " (Package.Build makes it)";
        root = MakeTempDir("deb-root");
        ASSERT_FALSE(root.empty());
        std::string output;
        ASSERT_EQ(Shell("dpkg-deb -x " + deb.string() + " " + root.string(), output), 0) << output;
    }
    void TearDown() override {
        std::error_code ec;
        if (!root.empty()) fs::remove_all(root, ec);
    }

    std::string Field(const std::string& name) {
        std::string output;
        EXPECT_EQ(Shell("dpkg-deb -f " + deb.string() + " " + name, output), 0) << output;
        while (!output.empty() && output.back() == '\n') output.pop_back();
        return output;
    }

    fs::path deb;
    fs::path root;
};

// Width and height from a PNG's header.
std::pair<int, int> PngSize(const fs::path& file) {
    const std::string bytes = ReadWhole(file);
    if (bytes.size() < 24 || bytes.compare(1, 3, "PNG") != 0) return {0, 0};
    auto be32 = [&](std::size_t at) {
        int v = 0;
        for (std::size_t i = 0; i < 4; ++i) v = (v << 8) | static_cast<unsigned char>(bytes[at + i]);
        return v;
    };
    return {be32(16), be32(20)};
}

TEST_F(Package, EveryFileIsInItsDebianPlace) {
    const std::vector<std::string> expected = {
        "usr/bin/wing-utility",
        "etc/xdg/wing-utility/Wing.ini",
        "usr/lib/udev/rules.d/60-wing-utility-logger.rules",
        "usr/share/applications/wing-utility.desktop",
        std::string("usr/share/metainfo/") + kAppstreamId + ".metainfo.xml",
        "usr/share/man/man1/wing-utility.1.gz",
        "usr/share/doc/wing-utility/copyright",
        "usr/share/doc/wing-utility/changelog.gz",
        "usr/share/doc/wing-utility/README.Debian",
        "usr/share/wing-utility/product.png",
#if WING_HAS_CLI
        "usr/bin/wing-utility-cli",
        "usr/share/man/man1/wing-utility-cli.1.gz",
#endif
    };
    for (const auto& path : expected) EXPECT_TRUE(fs::is_regular_file(root / path)) << path;

    // What a plain install puts beside the program or under /etc/udev stays out.
    for (const char* path : {"usr/bin/Wing.ini", "etc/udev", "usr/local"}) EXPECT_FALSE(fs::exists(root / path)) << path;
    std::vector<std::string> top;
    for (const auto& e : fs::directory_iterator(root)) top.push_back(e.path().filename().string());
    EXPECT_THAT(top, ::testing::UnorderedElementsAre("etc", "usr"));

    // The settings for everyone are the project's defaults, as they stand.
    EXPECT_EQ(ReadWhole(root / "etc/xdg/wing-utility/Wing.ini"), ReadWhole(fs::path(WING_SOURCE_DIR) / "data/Wing.ini"));
    const std::string rule = ReadWhole(root / "usr/lib/udev/rules.d/60-wing-utility-logger.rules");
    EXPECT_THAT(rule, ::testing::HasSubstr("ATTRS{idVendor}==\"067b\""));
    EXPECT_THAT(rule, ::testing::HasSubstr("GROUP=\"dialout\""));
    EXPECT_THAT(rule, ::testing::HasSubstr("ENV{ID_MM_DEVICE_IGNORE}=\"1\""));

    // Each icon is drawn at the size its folder promises.
    for (int size : {16, 32, 48, 64, 128, 256}) {
        const std::string dim = std::to_string(size) + "x" + std::to_string(size);
        const fs::path icon = root / "usr/share/icons/hicolor" / dim / "apps/wing-utility.png";
        EXPECT_EQ(PngSize(icon), std::make_pair(size, size)) << icon;
    }

    std::string output;
    if (HaveTool("file")) {
        Shell("file -b " + (root / "usr/bin/wing-utility").string(), output);
        EXPECT_THAT(output, ::testing::HasSubstr("ELF"));
        EXPECT_THAT(output, ::testing::HasSubstr(", stripped"));
    }
    ASSERT_EQ(Shell("gzip -t " + (root / "usr/share/man/man1/wing-utility.1.gz").string(), output), 0) << output;
}

TEST_F(Package, ControlDataComesFromTheProjectAndTheBinaries) {
    EXPECT_EQ(Field("Package"), "wing-utility");
    EXPECT_EQ(Field("Version"), WING_VERSION);
    EXPECT_EQ(deb.filename().string(), "wing-utility_" WING_VERSION "_" + Field("Architecture") + ".deb");
    // The libraries found in the program by dpkg-shlibdeps.
    const std::string depends = Field("Depends");
    for (const char* library : {"libc6", "libstdc++6", "libqt6widgets6", "libpugixml1v5"})
        EXPECT_THAT(depends, ::testing::HasSubstr(library));

    std::string output;
    ASSERT_EQ(Shell("zcat " + (root / "usr/share/doc/wing-utility/changelog.gz").string(), output), 0) << output;
    EXPECT_EQ(Lines(output).at(0).rfind("wing-utility (" WING_VERSION ") ", 0), 0u)
        << "packaging/changelog needs an entry for " WING_VERSION;

    // dpkg keeps the administrator's edits of the settings file.
    ASSERT_EQ(Shell("dpkg-deb -I " + deb.string() + " conffiles", output), 0) << output;
    EXPECT_EQ(output, "/etc/xdg/wing-utility/Wing.ini\n");
}

// The scripts run wherever the package is installed; a failing one leaves the package
// half-configured. With no udev daemon (a chroot, a container) they touch nothing.
TEST_F(Package, MaintainerScriptsNeverFailTheInstall) {
    const std::string control = root.string() + "/DEBIAN";
    std::string output;
    ASSERT_EQ(Shell("dpkg-deb -e " + deb.string() + " " + control, output), 0) << output;
    // A udevadm that fails and notes how it was called.
    const std::string bin = root.string() + "/fake-bin";
    fs::create_directories(bin);
    std::ofstream(bin + "/udevadm") << "#!/bin/sh\necho \"$@\" >> " << root.string() << "/udevadm.calls\nexit 1\n";
    fs::permissions(bin + "/udevadm", fs::perms::owner_all);

    const bool udevRuns = fs::is_socket("/run/udev/control");
    const struct {
        const char* script;
        const char* argument;
    } runs[] = {{"postinst", "configure"}, {"postrm", "remove"}, {"postrm", "purge"}};
    for (const auto& run : runs) {
        SCOPED_TRACE(std::string(run.script) + " " + run.argument);
        fs::remove(root / "udevadm.calls");
        const fs::path script = fs::path(control) / run.script;
        EXPECT_NE(fs::status(script).permissions() & fs::perms::owner_exec, fs::perms::none);
        EXPECT_EQ(Shell("PATH=" + bin + ":$PATH sh -e " + script.string() + " " + run.argument, output), 0) << output;
        const bool called = fs::exists(root / "udevadm.calls");
        const bool expected = udevRuns && std::string(run.argument) != "purge";
        EXPECT_EQ(called, expected);
        if (called) {
            const std::string calls = ReadWhole(root / "udevadm.calls");
            EXPECT_THAT(calls, ::testing::HasSubstr("control --reload-rules"));
            EXPECT_THAT(calls, ::testing::HasSubstr("trigger --subsystem-match=tty"));
        }
    }
}

// Errors fail; so do warnings, unless packaging/lintian-overrides says why they stay.
TEST_F(Package, LintianFindsNoErrorOrWarning) {
    if (!HaveTool("lintian")) GTEST_SKIP() << "lintian is not installed";
    std::string output;
    Shell("lintian --info --pedantic --show-overrides " + deb.string(), output);
    std::cout << output;
    for (const auto& line : Lines(output)) {
        EXPECT_NE(line.rfind("E: ", 0), 0u) << line;
        EXPECT_NE(line.rfind("W: ", 0), 0u) << line;
    }
}

TEST_F(Package, DesktopEntryIsValid) {
    if (!HaveTool("desktop-file-validate")) GTEST_SKIP() << "desktop-file-utils is not installed";
    std::string output;
    EXPECT_EQ(Shell("desktop-file-validate " + (root / "usr/share/applications/wing-utility.desktop").string(), output), 0)
        << output;
    EXPECT_EQ(output, "");
}

// The metadata alone, and with the files it names (the desktop entry it launches).
TEST_F(Package, AppStreamMetadataIsValid) {
    if (!HaveTool("appstreamcli")) GTEST_SKIP() << "appstream is not installed";
    const fs::path metainfo = root / "usr/share/metainfo" / (std::string(kAppstreamId) + ".metainfo.xml");
    std::string output;
    EXPECT_EQ(Shell("appstreamcli validate --no-net " + metainfo.string(), output), 0) << output;
    EXPECT_EQ(Shell("appstreamcli validate-tree --no-net " + root.string(), output), 0) << output;
    EXPECT_THAT(ReadWhole(metainfo), ::testing::HasSubstr("<release version=\"" WING_VERSION "\""));
}

// ---- the installed program against the simulator ----------------------------------------

// Sets an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::string& value) : m_name(name) {
        if (const char* old = ::getenv(name)) m_old = old;
        ::setenv(name, value.c_str(), 1);
    }
    ~ScopedEnv() {
        if (m_old)
            ::setenv(m_name, m_old->c_str(), 1);
        else
            ::unsetenv(m_name);
    }

private:
    const char* m_name;
    std::optional<std::string> m_old;
};

// Starts `program` with `env` set on top of this process's environment, its output to
// `log`; waits up to `limit` and returns its exit status (-1: killed at the limit).
int RunProgram(const std::string& program, const std::vector<std::string>& env, const std::string& log,
               std::chrono::seconds limit) {
    std::vector<std::string> entries;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry = *e;
        const auto sameName = [&](const std::string& mine) {
            return entry.compare(0, mine.find('=') + 1, mine, 0, mine.find('=') + 1) == 0;
        };
        if (std::none_of(env.begin(), env.end(), sameName)) entries.push_back(entry);
    }
    entries.insert(entries.end(), env.begin(), env.end());
    std::vector<char*> envp;
    for (auto& e : entries) envp.push_back(e.data());
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program.c_str()), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    pid_t pid = 0;
    const int rc = ::posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) return -2;

    const auto deadline = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The packaged program, started from the unpacked root on an offscreen display, with a
// Qt plugin of the tests (program_driver.cpp) pressing its buttons. The settings are
// written where the program looks for them now and where it will look (the user's
// configuration folder and beside the program), so the run does not hang on either.
TEST_F(Package, InstalledProgramSavesEveryRecordOfTheLoggersFlight) {
    const std::string home = MakeTempDir("deb-run");
    ASSERT_FALSE(home.empty());
    const std::string config = home + "/config";
    const std::string drive = home + "/c";
    fs::create_directories(config + "/wing-utility");
    fs::create_directories(drive);
    std::ofstream(config + "/wing-utility/device-map.ini") << "[drives]\nC = " << drive << "\n";
    // The simulator registers its port in the same configuration folder the program reads.
    ScopedEnv xdg("XDG_CONFIG_HOME", config);

    sim::SimConfig logger;
    logger.pacing = false;
    logger.switchPos = 0;  // switched off: ready to be read
    logger.flight.slots = 2048;
    sim::LoggerSimulator simulator(logger);
    const sim::SimPort port = simulator.Start();
    ASSERT_TRUE(port) << port.error;

    std::ostringstream ini;
    ini << "[Mode]\nCompetition=0\n[Power]\nThreshold=35\n[Language]\nLanguageByOS=2\n[NTP]\nNTP=0\n"
        << "[Personal]\nENABLE=0\nCOM=" << port.comNumber << "\n"
        << "[Map]\nOffline=1\n";  // the flight window never goes online
    std::ofstream(config + "/wing-utility/Wing.ini") << ini.str();
    std::ofstream(root / "usr/bin/Wing.ini") << ini.str();

    const std::string report = home + "/driver-report";
    const std::string log = home + "/program.log";
    const int status = RunProgram((root / "usr/bin/wing-utility").string(),
                                  {"QT_QPA_PLATFORM=offscreen", "QT_PLUGIN_PATH=" WING_DRIVER_PLUGIN_DIR,
                                   "QT_QPA_GENERIC_PLUGINS=wingdriver", "WING_DRIVER_REPORT=" + report},
                                  log, std::chrono::seconds(150));
    simulator.Stop();
    const std::string said = ReadWhole(report);
    std::cout << "the driver's report:\n" << said;
    EXPECT_EQ(status, 0) << "the program's output:\n" << ReadWhole(log) << "the driver's report:\n" << said;

    // No box came up (not even the one for a missing settings file), the link showed the
    // logger's serial number and the read ended in the success line.
    EXPECT_THAT(said, ::testing::Not(::testing::HasSubstr("box ")));
    EXPECT_THAT(said, ::testing::HasSubstr("linked " + logger.serialNumber + "\n"));
    EXPECT_THAT(said, ::testing::HasSubstr("read 2048/2048|Completing read and save logs!!"));

    std::vector<fs::path> csvs;
    for (const auto& f : test::FilesUnder(drive))
        if (f.extension() == ".csv") csvs.push_back(f);
    ASSERT_EQ(csvs.size(), 1u);
    // The window shows the simulator's version 1.2.3.4 as "V 1.2.3.4"; English is 1033.
    const auto expected = Lines(test::ExpectedCsv(simulator.LogSlots(), L"WG1507A0042", L"V 1.2.3.4", 1033));
    const auto saved = Lines(ReadWhole(csvs[0]));
    EXPECT_EQ(saved.size(), expected.size());
    std::size_t mismatches = 0;
    for (std::size_t i = 0; i < std::min(saved.size(), expected.size()); ++i) {
        if (saved[i] == expected[i]) continue;
        if (++mismatches <= 5) ADD_FAILURE() << "line " << i + 1 << "\n  saved:    " << saved[i] << "\n  expected: " << expected[i];
    }
    EXPECT_EQ(mismatches, 0u);

    std::error_code ec;
    fs::remove_all(home, ec);
}

}  // namespace
}  // namespace wing
