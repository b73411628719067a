#include "platform/paths.h"
#include "platform/unusual_files.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <optional>
#include <string>

namespace fs = std::filesystem;

namespace wing {
namespace {

// A private HOME and XDG_CONFIG_HOME for each test.
class PathsTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/wing-paths-XXXXXX";
        base = mkdtemp(tmpl);
        home = base / "home";
        fs::create_directories(home);
        Save("HOME", oldHome);
        Save("XDG_CONFIG_HOME", oldXdg);
        setenv("HOME", home.c_str(), 1);
        setenv("XDG_CONFIG_HOME", (base / "xdg").c_str(), 1);
    }
    void TearDown() override {
        Restore("HOME", oldHome);
        Restore("XDG_CONFIG_HOME", oldXdg);
        fs::remove_all(base);
    }
    void WriteMap(const std::string& text) {
        fs::create_directories(base / "xdg" / "wing-utility");
        std::ofstream(base / "xdg" / "wing-utility" / "device-map.ini") << text;
    }
    static void Save(const char* name, std::optional<std::string>& slot) {
        if (const char* v = getenv(name)) slot = v;
    }
    static void Restore(const char* name, const std::optional<std::string>& slot) {
        if (slot) setenv(name, slot->c_str(), 1);
        else unsetenv(name);
    }

    fs::path base, home;
    std::optional<std::string> oldHome, oldXdg;
};

// Moves the log folder for one test and puts it back after.
class LogFolderTest : public PathsTest {
protected:
    void TearDown() override {
        SetLogFolder({});
        PathsTest::TearDown();
    }
};

TEST_F(PathsTest, DriveCIsHomeUnlessTheMapFileSaysOtherwise) {
    EXPECT_EQ(UserMapFilePath(), base / "xdg" / "wing-utility" / "device-map.ini");
    EXPECT_EQ(DriveRoot(L'C'), home);
    EXPECT_EQ(DriveRoot(L'c'), home);
    EXPECT_TRUE(DriveRoot(L'D').empty());

    WriteMap("[ports]\nCOM3 = /dev/ttyUSB0\n[Drives]\nc = " + (base / "cdrive").string() +
             "\nD = ~/d\nE = relative/path\n");
    EXPECT_EQ(DriveRoot(L'C'), base / "cdrive");
    EXPECT_EQ(DriveRoot(L'D'), home / "d");
    EXPECT_TRUE(DriveRoot(L'E').empty());
}

TEST_F(PathsTest, AMapFileThatIsNoSmallFileLeavesDriveCAtHome) {
    const fs::path map = base / "xdg" / "wing-utility" / "device-map.ini";
    for (const auto& kind : test::UnusualFiles()) {
        SCOPED_TRACE(kind.what);
        fs::remove_all(base / "xdg");
        fs::create_directories(map.parent_path());
        kind.make(map, "[drives]\nC = " + (base / "cdrive").string() + "\n");
        fs::path root;
        EXPECT_TRUE(test::ReturnsWithinFiveSeconds([&] { root = DriveRoot(L'C'); }, map));
        EXPECT_EQ(root, home);
    }
}

TEST_F(PathsTest, XdgDefaultIsUnderHome) {
    unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(UserMapFilePath(), home / ".config" / "wing-utility" / "device-map.ini");
}

TEST_F(PathsTest, ComponentsResolveCaseInsensitivelyAgainstWhatExists) {
    fs::create_directories(home / "GPSLOG" / "baidu");
    std::ofstream(home / "GPSLOG" / "Old.CSV") << "x";
    struct Case {
        const wchar_t* in;
        fs::path out;
    } cases[] = {
        {L"C:\\GPSLog\\", home / "GPSLOG"},
        {L"C:\\GPSLOG\\baidu", home / "GPSLOG" / "baidu"},
        {L"c:/gpslog/BAIDU/x.js", home / "GPSLOG" / "baidu" / "x.js"},
        {L"C:\\GPSLog\\old.csv", home / "GPSLOG" / "Old.CSV"},
        {L"C:\\GPSLog\\New.csv", home / "GPSLOG" / "New.csv"},
        {L"C:\\Missing\\Sub", home / "Missing" / "Sub"},
        {L"C:\\\\GPSLog\\\\", home / "GPSLOG"},
        {L"C:\\", home},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveDrivePath(c.in), c.out);
}

TEST_F(PathsTest, ExactSpellingWinsWhenSeveralMatch) {
    fs::create_directories(home / "GPSLOG");
    fs::create_directories(home / "GPSLog");
    EXPECT_EQ(ResolveDrivePath(L"C:\\GPSLog"), home / "GPSLog");
    EXPECT_EQ(ResolveDrivePath(L"C:\\gpslog"), home / "GPSLOG");  // first in name order
}

TEST_F(PathsTest, PathsThatCouldLeaveTheDriveAreRejected) {
    for (const wchar_t* p : {L"C:\\GPSLog\\..\\..\\etc", L"C:\\.\\x", L"C:relative", L"GPSLog",
                             L"D:\\x", L"", L"C"}) {
        EXPECT_TRUE(ResolveDrivePath(p).empty()) << fs::path(p);
    }
}

TEST_F(PathsTest, CreateAndQueryDirectories) {
    EXPECT_FALSE(DriveDirectoryExists(L"C:\\GPSLOG\\"));
    EXPECT_TRUE(CreateDriveDirectory(L"C:\\GPSLOG\\"));
    EXPECT_TRUE(fs::is_directory(home / "GPSLOG"));
    EXPECT_TRUE(DriveDirectoryExists(L"C:\\gpslog"));
    EXPECT_TRUE(CreateDriveDirectory(L"C:\\GPSLog\\"));  // exists already, in another case
    EXPECT_FALSE(fs::exists(home / "GPSLog") && !fs::equivalent(home / "GPSLog", home / "GPSLOG"));

    std::ofstream(home / "GPSLOG" / "file") << "x";
    EXPECT_FALSE(DriveDirectoryExists(L"C:\\GPSLOG\\file"));
    EXPECT_FALSE(CreateDriveDirectory(L"C:\\GPSLOG\\file\\sub"));
    EXPECT_FALSE(CreateDriveDirectory(L"D:\\GPSLOG"));
}

TEST_F(LogFolderTest, AMovedLogFolderTakesEveryPathUnderGpslogAndNothingElse) {
    const fs::path moved = base / "Pigeons 2015";
    fs::create_directories(moved / "Baidu");
    fs::create_directories(home / "GPSLOG");
    EXPECT_EQ(DefaultLogFolder(), home / "GPSLOG");
    SetLogFolder(moved);
    EXPECT_EQ(LogFolderOverride(), moved);
    struct Case {
        const wchar_t* in;
        fs::path out;
    } cases[] = {
        {L"C:\\GPSLog\\", moved},
        {L"C:\\GPSLOG", moved},
        {L"c:/gpslog/baidu/x.js", moved / "Baidu" / "x.js"},  // case-insensitive below it too
        {L"C:\\GPSLOG\\archive\\WG1\\t.wing", moved / "archive" / "WG1" / "t.wing"},
        {L"C:\\GPSLOGS\\x", home / "GPSLOGS" / "x"},            // another folder of drive C:
        {L"C:\\Other\\GPSLOG", home / "Other" / "GPSLOG"},
        {L"C:\\", home},
    };
    for (const auto& c : cases) EXPECT_EQ(ResolveDrivePath(c.in), c.out) << fs::path(c.in);
    EXPECT_TRUE(ResolveDrivePath(L"C:\\GPSLOG\\..\\x").empty());  // still no way out
    EXPECT_TRUE(ResolveDrivePath(L"D:\\GPSLOG").empty());

    // Created where it now lies, and the default is where it was.
    fs::remove_all(moved);
    EXPECT_FALSE(DriveDirectoryExists(L"C:\\GPSLOG\\"));
    EXPECT_TRUE(CreateDriveDirectory(L"C:\\GPSLOG\\"));
    EXPECT_TRUE(fs::is_directory(moved));
    EXPECT_EQ(DefaultLogFolder(), home / "GPSLOG");

    SetLogFolder({});
    EXPECT_EQ(ResolveDrivePath(L"C:\\GPSLog\\x.csv"), home / "GPSLOG" / "x.csv");
}

TEST_F(LogFolderTest, SettingsNameFullPathsOrTheDefault) {
    const std::pair<const char*, std::optional<fs::path>> cases[] = {
        {"", fs::path()},
        {"   ", fs::path()},
        {"/srv/club/logs", fs::path("/srv/club/logs")},
        {"  /srv/club/logs  ", fs::path("/srv/club/logs")},
        {"~", home},
        {"~/Pigeons", home / "Pigeons"},
        {"Pigeons", std::nullopt},
        {"./logs", std::nullopt},
        {"~ann/logs", std::nullopt},
    };
    for (const auto& [setting, expected] : cases) EXPECT_EQ(LogFolderFromSetting(setting), expected) << setting;
}

TEST_F(PathsTest, SystemConfigDirsFollowXdgConfigDirs) {
    std::optional<std::string> old;
    Save("XDG_CONFIG_DIRS", old);
    const std::pair<const char*, std::vector<fs::path>> cases[] = {
        {nullptr, {"/etc/xdg"}},
        {"", {"/etc/xdg"}},
        {"/etc/xdg/xdg-desktop:/etc/xdg", {"/etc/xdg/xdg-desktop", "/etc/xdg"}},
        {"relative:/opt/conf::", {"/opt/conf"}},
        {"relative", {"/etc/xdg"}},
    };
    for (const auto& [value, expected] : cases) {
        if (value) setenv("XDG_CONFIG_DIRS", value, 1);
        else unsetenv("XDG_CONFIG_DIRS");
        EXPECT_EQ(SystemConfigDirs(), expected) << (value ? value : "(unset)");
    }
    Restore("XDG_CONFIG_DIRS", old);
}

}  // namespace
}  // namespace wing
