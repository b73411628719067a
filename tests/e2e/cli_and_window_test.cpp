// The command line and the window, reading the same logger, write the same files.

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "support/process.h"
#include "window_rig.h"

namespace wing {
namespace {

using test::ReadyToRead;
using test::RigOptions;
using test::WindowRig;

// The export files directly in the log folder (not the archive, named by the time of the
// download), by name.
std::map<std::string, std::string> ExportsIn(const std::filesystem::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.is_regular_file()) out[e.path().filename().string()] = test::ReadWhole(e.path());
    return out;
}

TEST(CommandLineAndWindow, WriteTheSameCsvKmlAndGpxBytesForTheSameLogger) {
    RigOptions options;
    options.extraIni = "[Export]\nGPX=1\n";
    auto logger = ReadyToRead(400);
    logger.flight.crossMidnight = true;  // two local days: two KML and two GPX tracks
    WindowRig rig(logger, options);
    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor(
        [&] { return rig.StaticText(IDC_READ_MESSAGE).rfind(rig.dlg->Text(151), 0) == 0 && rig.dlg->IsItemEnabled(IDC_LINK); },
        60));
    rig.Click(IDC_LINK);  // Disconnect: the port is the command line's now
    ASSERT_TRUE(rig.WaitFor([&] { return rig.Unlinked(); }));

    // The command line sees this machine's own ports; the pin keeps the simulator's number.
    std::ofstream(rig.config.ConfigDir() + "/device-map.ini", std::ios::app)
        << "[ports]\nCOM" << rig.port.comNumber << " = " << rig.port.slavePath << "\n";
    const std::filesystem::path cliFolder = rig.config.Root() + "/cli-logs";
    const auto r = test::RunProcess({WING_BINARY_DIR "/src/cli/wing-utility-cli", "--config", rig.ini, "read", "--port",
                                     "COM" + std::to_string(rig.port.comNumber), "--out", cliFolder.string(),
                                     "--format", "csv,kml,gpx"},
                                    {{"XDG_CONFIG_HOME", rig.config.Root() + "/config"}});
    ASSERT_EQ(r.exitCode, 0) << r.out << r.err;

    const auto window = ExportsIn(std::filesystem::path(rig.drive) / "GPSLOG");
    const auto cli = ExportsIn(cliFolder);
    int csv = 0, kml = 0, gpx = 0;
    for (const auto& [name, bytes] : window) {
        const auto ext = std::filesystem::path(name).extension();
        csv += ext == ".csv";
        kml += ext == ".kml";
        gpx += ext == ".gpx";
        ASSERT_TRUE(cli.count(name)) << name;
        EXPECT_EQ(cli.at(name), bytes) << name;
    }
    EXPECT_EQ(cli.size(), window.size());
    EXPECT_EQ(csv, 1);
    EXPECT_EQ(kml, 2);
    EXPECT_EQ(gpx, 1);
}

}  // namespace
}  // namespace wing
