// Where the settings are looked for, the lofts they name and the log folder they move.

#include <gtest/gtest.h>

#include <fstream>

#include "platform/paths.h"
#include "resources/string_table.h"
#include "settings/config.h"
#include "settings/settings_test_env.h"

namespace fs = std::filesystem;

namespace wing {
namespace {

using testing_ui::BoxRecorder;
using testing_ui::ScopedEnv;
using testing_ui::ScratchDir;

// A user folder, two system folders and a program folder of their own.
class ConfigPlaces : public ::testing::Test {
protected:
    ConfigPlaces()
        : xdgHome_("XDG_CONFIG_HOME", (dir.path / "user").c_str()),
          xdgDirs_("XDG_CONFIG_DIRS", ((dir.path / "sys1").string() + ":" + (dir.path / "sys2").string()).c_str()),
          home_("HOME", dir.path.c_str()) {}

    fs::path User() const { return dir.path / "user" / "wing-utility" / "Wing.ini"; }
    fs::path System(int n) const { return dir.path / ("sys" + std::to_string(n)) / "wing-utility" / "Wing.ini"; }
    fs::path Program() const { return dir.path / "prog" / "Wing.ini"; }
    static void Put(const fs::path& file, const std::string& text = "") {
        fs::create_directories(file.parent_path());
        std::ofstream(file) << text;
    }

    ScratchDir dir;

private:
    ScopedEnv xdgHome_, xdgDirs_, home_;
};

TEST_F(ConfigPlaces, TheFirstFileThatExistsIsInForceAndTheProgramsWhenNoneDoes) {
    EXPECT_EQ(UserConfigPath(), User());
    const auto candidates = ConfigCandidates(dir.path / "prog");
    ASSERT_EQ(candidates.size(), 4u);
    EXPECT_EQ(candidates[0].path, User());
    EXPECT_EQ(candidates[1].path, System(1));
    EXPECT_EQ(candidates[2].path, System(2));
    EXPECT_EQ(candidates[3].path, Program());

    struct Case {
        const char* what;
        bool user, sys1, sys2, program;
        std::size_t inForce;  // index into the candidates
    };
    const Case cases[] = {
        {"none", false, false, false, false, 3},
        {"beside the program only", false, false, false, true, 3},
        {"the second system folder", false, false, true, true, 2},
        {"the system's over the program's", false, true, true, true, 1},
        {"the user's over all", true, true, true, true, 0},
    };
    const ConfigOrigin origins[] = {ConfigOrigin::User, ConfigOrigin::System, ConfigOrigin::System,
                                    ConfigOrigin::Program};
    for (const auto& c : cases) {
        fs::remove_all(dir.path);
        if (c.user) Put(User());
        if (c.sys1) Put(System(1));
        if (c.sys2) Put(System(2));
        if (c.program) Put(Program());
        const ConfigCandidate found = FindConfigFile(ConfigCandidates(dir.path / "prog"));
        EXPECT_EQ(found.origin, origins[c.inForce]) << c.what;
        EXPECT_EQ(found.path, candidates[c.inForce].path) << c.what;
    }

    // A link that leads nowhere is no file; anything that answers, even a folder, is.
    fs::remove_all(dir.path);
    fs::create_directories(User().parent_path());
    fs::create_symlink(dir.path / "gone.ini", User());
    Put(System(2));
    EXPECT_EQ(FindConfigFile(ConfigCandidates(dir.path / "prog")).path, System(2));
    fs::remove(User());
    fs::create_directory(User());
    EXPECT_EQ(FindConfigFile(ConfigCandidates(dir.path / "prog")).path, User());
}

TEST_F(ConfigPlaces, TheStartReadsTheUsersFileAndHelpNamesEveryPlace) {
    Put(System(1), "[Power]\nThreshold=37\n");
    Put(User(), "[Power]\nThreshold=39\n");
    BoxRecorder boxes;
    EXPECT_EQ(ConfigFilePath(), User());
    EXPECT_EQ(LoadConfig(LANG_EN_US).threshold, 39u);
    EXPECT_TRUE(boxes.boxes.empty());

    const std::string help = SettingsFilesHelp();
    for (const auto& c : ConfigCandidates()) EXPECT_NE(help.find(c.path.string()), std::string::npos) << help;
    EXPECT_NE(help.find("* " + User().string()), std::string::npos) << help;
    fs::remove(User());
    EXPECT_EQ(ConfigFilePath(), System(1));
    EXPECT_NE(SettingsFilesHelp().find("* " + System(1).string()), std::string::npos);
}

TEST(Lofts, TheOldSingleLoftStillReadsAndMoreAreNumbered) {
    struct Case {
        const char* what;
        const char* flight;
        std::vector<LoftEntry> expected;
    };
    const Case cases[] = {
        {"the file as it was", "Loft=24.1, 120.6\nLoftName=Home\nArrivalRadius=50\n", {{"Home", "24.1, 120.6"}}},
        {"no name", "Loft=24.1, 120.6\n", {{"Loft", "24.1, 120.6"}}},
        {"a name without a position is no loft", ";Loft=24.1, 120.6\nLoftName=Loft\n", {}},
        {"an empty position is no loft", "Loft=\nLoftName=Home\nLoft2=25, 121\n", {{"Loft 2", "25, 121"}}},
        {"numbered ones in the order of their numbers",
         "Loft10=3, 3\nLoftName10=Far\nloft2=2, 2\nLoft=1, 1\nLOFTNAME2=Club\n",
         {{"Loft", "1, 1"}, {"Club", "2, 2"}, {"Far", "3, 3"}}},
        {"a gap loses nothing", "Loft=1, 1\nLoft3=3, 3\n", {{"Loft", "1, 1"}, {"Loft 3", "3, 3"}}},
        {"keys that only look like lofts", "Loft1=9, 9\nLoftX=9, 9\nLoftName=Home\nLoft=1, 1\n", {{"Home", "1, 1"}}},
        {"a position that does not parse is kept for the fancier to mend", "Loft=north-ish\n", {{"Loft", "north-ish"}}},
        {"of a repeated key the first line counts", "Loft2=2, 2\nLOFT2=9, 9\nLoftName2=Club\nloftname2=Other\n",
         {{"Club", "2, 2"}}},
        {"a leading zero names the same loft but not its name", "Loft2=2, 2\nLoft02=9, 9\nLoftName02=Zero\n",
         {{"Loft 2", "2, 2"}}},
    };
    for (const auto& c : cases) {
        ProfileFile profile;
        profile.Parse(std::string("[Flight]\n") + c.flight);
        EXPECT_EQ(ConfigFromProfile(profile).lofts, c.expected) << c.what;
    }

    Config config;
    config.lofts = {{"Home", "1, 1"}, {"Club", "2, 2"}};
    ASSERT_NE(FindLoft(config, "club"), nullptr);
    EXPECT_EQ(FindLoft(config, "CLUB")->position, "2, 2");
    EXPECT_EQ(FindLoft(config, "Home")->position, "1, 1");
    EXPECT_EQ(FindLoft(config, "Clubs"), nullptr);
}

TEST_F(ConfigPlaces, TheLogFolderOfTheSettingsIsWhereTheDrivePathLeads) {
    struct Case {
        const char* setting;
        fs::path expected;
    };
    const Case cases[] = {
        {"~/Pigeons", dir.path / "Pigeons" / "a.csv"},
        {"", dir.path / "GPSLOG" / "a.csv"},
        {"relative/logs", dir.path / "GPSLOG" / "a.csv"},  // not a full path: the default, said on stderr
    };
    for (const auto& c : cases) {
        Config config;
        config.logFolder = c.setting;
        ApplyLogFolder(config);
        EXPECT_EQ(ResolveDrivePath(L"C:\\GPSLOG\\a.csv"), c.expected) << c.setting;
    }
    SetLogFolder({});
}

}  // namespace
}  // namespace wing
