// Writing the settings back: the changed values and nothing else, into the user's file,
// never at the cost of what was there.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include <fstream>
#include <sstream>

#include "platform/profile.h"
#include "platform/unusual_files.h"
#include "resources/string_table.h"
#include "settings/config_writer.h"
#include "settings/settings_test_env.h"
#include "support/files.h"

namespace fs = std::filesystem;

namespace wing {
namespace {

using testing_ui::BoxRecorder;
using testing_ui::ScratchDir;

std::string ShippedIni() { return test::ReadWhole(fs::path(WING_SOURCE_DIR) / "data" / "Wing.ini"); }

Config Parsed(const std::string& text) {
    ProfileFile profile;
    profile.Parse(text);
    return ConfigFromProfile(profile);
}

void ExpectSame(const Config& a, const Config& b, const std::string& what) {
    EXPECT_EQ(a.competition, b.competition) << what;
    EXPECT_EQ(a.threshold, b.threshold) << what;
    EXPECT_EQ(a.languageByOS, b.languageByOS) << what;
    EXPECT_EQ(a.ntpEnable, b.ntpEnable) << what;
    EXPECT_EQ(a.personal, b.personal) << what;
    EXPECT_EQ(a.comNumber, b.comNumber) << what;
    EXPECT_EQ(a.ntpServer, b.ntpServer) << what;
    EXPECT_EQ(a.logFolder, b.logFolder) << what;
    EXPECT_EQ(a.lofts, b.lofts) << what;
    EXPECT_EQ(a.arrivalRadius, b.arrivalRadius) << what;
    EXPECT_EQ(a.openFlightAfterSave, b.openFlightAfterSave) << what;
    EXPECT_EQ(a.gpx, b.gpx) << what;
    EXPECT_EQ(a.map, b.map) << what;
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) out.push_back(line);
    return out;
}

// Every value changed at once, in the file the package ships.
Config EverythingChanged() {
    Config c = Parsed(ShippedIni());
    c.competition = 0;
    c.threshold = 38;
    c.languageByOS = 0;
    c.ntpEnable = 1;
    c.ntpServer = "time.example.org";
    c.personal = 0;
    c.comNumber = 5;
    c.logFolder = "~/Pigeons";
    c.lofts = {{"Home", "24°07'24.4\"N 120°39'15.6\"E"}, {"Club", "N24 07.407 E120 39.260"}};
    c.arrivalRadius = 60;
    c.openFlightAfterSave = 0;
    c.gpx = 1;
    c.map.tileUrl = "https://{s}.tiles.example.org/{z}/{x}/{y}.png";
    c.map.attribution = "Club maps";
    c.map.maxZoom = 16;
    c.map.cacheMiB = 512;
    c.map.offline = 1;
    c.map.mbtiles = {"/srv/maps/taiwan.mbtiles", "/srv/maps/world.mbtiles"};
    return c;
}

TEST(ConfigText, ChangedValuesAreWrittenInPlaceAndEveryOtherLineStays) {
    const std::string shipped = ShippedIni();
    EXPECT_EQ(ConfigText(shipped, Parsed(shipped)), shipped);  // nothing changed, nothing written

    const Config changed = EverythingChanged();
    const std::string text = ConfigText(shipped, changed);
    ExpectSame(Parsed(text), changed, "read back");

    // Every line of the shipped file is still there, in its order: the comments
    // word for word, the keys with their new values.
    const auto before = Lines(shipped);
    const auto after = Lines(text);
    std::size_t at = 0;
    for (const std::string& line : before) {
        const bool comment = !line.empty() && (line[0] == ';' || line[0] == '[');
        const std::string head = comment ? line : line.substr(0, line.find('=') + 1);
        while (at < after.size() && after[at].rfind(head, 0) != 0) ++at;
        ASSERT_LT(at, after.size()) << "lost: " << line;
        ++at;
    }
    // A key set aside in a comment comes back below it; a key the file has changes in place.
    EXPECT_NE(text.find(";Folder=~/GPSLOG\nFolder=~/Pigeons\n"), std::string::npos) << text;
    EXPECT_NE(text.find("[Export]\n; 1: also write a GPX file beside the CSV (one track per day, for any GPS program)\nGPX=1\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(";TileUrl=https://tile.openstreetmap.org/{z}/{x}/{y}.png\n"
                        "TileUrl=https://{s}.tiles.example.org/{z}/{x}/{y}.png\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(";MBTiles=~/maps/taiwan.mbtiles\nMBTiles=/srv/maps/taiwan.mbtiles\n"
                        ";MBTiles2=~/maps/world.mbtiles\nMBTiles2=/srv/maps/world.mbtiles\n"),
              std::string::npos)
        << text;
    // The loft that was only a comment keeps its comment, and the lofts follow it.
    EXPECT_NE(text.find(";Loft=24.123456, 120.654321\nLoft=24°07'24.4\"N 120°39'15.6\"E\nLoftName=Home\n"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find(";Loft2=N24 07.407 E120 39.260\nLoft2=N24 07.407 E120 39.260\n;LoftName2=Club\nLoftName2=Club\n"),
              std::string::npos)
        << text;
}

TEST(ConfigText, OnlyWhatChangedIsWrittenAndAKeysDefaultNeedsNoLine) {
    const std::string base = "; mine\n[Power]\nThreshold = 40 ; 4.0 V\n[Unknown]\nKey=value\n";
    Config c = Parsed(base);
    c.threshold = 36;
    EXPECT_EQ(ConfigText(base, c), "; mine\n[Power]\nThreshold = 36 ; 4.0 V\n[Unknown]\nKey=value\n");
    // A file that lacks a key reads as its default; writing that default adds nothing.
    c = Parsed(base);
    c.arrivalRadius = 100;
    c.ntpServer = kDefaultNtpServer;
    EXPECT_EQ(ConfigText(base, c), base);
    // A value read through the reader's rules is the same value: 257 is LanguageByOS 1.
    const std::string odd = "[Language]\nLanguageByOS=257\n[Mode]\nCompetition=racing\n";
    EXPECT_EQ(ConfigText(odd, Parsed(odd)), odd);
}

TEST(ConfigText, LoftsAreRenumberedAndKeysNoLoftUsesAnyMoreGo) {
    const std::string three =
        "[Flight]\nLoft=1, 1\nLoftName=Home\nLoft2=2, 2\nLoftName2=Club\n; far away\nLoft3=3, 3\nLoftName3=Far\n"
        "Loft1=kept\nLoftColour=red\nArrivalRadius=50\n";
    struct Case {
        const char* what;
        std::vector<LoftEntry> lofts;
        std::string expected;
    };
    const Case cases[] = {
        {"the last one removed", {{"Home", "1, 1"}, {"Club", "2, 2"}},
         "[Flight]\nLoft=1, 1\nLoftName=Home\nLoft2=2, 2\nLoftName2=Club\n; far away\n"
         "Loft1=kept\nLoftColour=red\nArrivalRadius=50\n"},
        {"the middle one removed", {{"Home", "1, 1"}, {"Far", "3, 3"}},
         "[Flight]\nLoft=1, 1\nLoftName=Home\nLoft2=3, 3\nLoftName2=Far\n; far away\n"
         "Loft1=kept\nLoftColour=red\nArrivalRadius=50\n"},
        {"all removed", {},
         "[Flight]\n; far away\nLoft1=kept\nLoftColour=red\nArrivalRadius=50\n"},
        {"one renamed", {{"Home", "1, 1"}, {"Club", "2, 2"}, {"Far Away", "3, 3"}},
         "[Flight]\nLoft=1, 1\nLoftName=Home\nLoft2=2, 2\nLoftName2=Club\n; far away\nLoft3=3, 3\nLoftName3=Far Away\n"
         "Loft1=kept\nLoftColour=red\nArrivalRadius=50\n"},
    };
    for (const auto& c : cases) {
        Config config = Parsed(three);
        config.lofts = c.lofts;
        const std::string text = ConfigText(three, config);
        EXPECT_EQ(text, c.expected) << c.what;
        EXPECT_EQ(Parsed(text).lofts, c.lofts) << c.what;
    }
}

TEST(UnstorableValue, NamesTheFirstValueTheFileCannotHold) {
    Config c;
    EXPECT_FALSE(UnstorableValue(c));
    c.logFolder = "/a ;b";
    EXPECT_EQ(UnstorableValue(c), "[Log] Folder");
    c.logFolder = "";
    c.lofts = {{"Home", "1, 1"}, {"two\nlines", "2, 2"}};
    EXPECT_EQ(UnstorableValue(c), "[Flight] LoftName2");
}

// The user's folder and a file in force elsewhere.
class SaveUserConfigTest : public ::testing::Test {
protected:
    fs::path Target() const { return dir.path / "config" / "wing-utility" / "Wing.ini"; }
    fs::path InForce() const { return dir.path / "etc" / "Wing.ini"; }
    void PutInForce(const std::string& text) const {
        fs::create_directories(InForce().parent_path());
        std::ofstream(InForce(), std::ios::binary) << text;
    }
    ScratchDir dir;
};

TEST_F(SaveUserConfigTest, TheFirstSaveStartsFromTheFileInForceWhichStaysAsItWas) {
    const std::string system = ShippedIni();
    PutInForce(system);
    Config c = Parsed(system);
    std::string why;
    ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
    EXPECT_FALSE(fs::exists(Target()));  // nothing changed: no file of the user's yet

    c.threshold = 38;
    ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
    const std::string written = test::ReadWhole(Target());
    EXPECT_EQ(written, ConfigText(system, c));
    EXPECT_NE(written.find("; battery threshold in tenths of a volt"), std::string::npos);
    EXPECT_EQ(test::ReadWhole(InForce()), system);

    // The next save starts from the user's own file, whatever the file in force says.
    std::ofstream(Target(), std::ios::app) << "[Mine]\nNote=kept\n";
    c.comNumber = 4;
    ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
    const std::string again = test::ReadWhole(Target());
    EXPECT_NE(again.find("[Mine]\nNote=kept\n"), std::string::npos);
    EXPECT_EQ(Parsed(again).comNumber, 4);
    EXPECT_EQ(Parsed(again).threshold, 38u);
}

TEST_F(SaveUserConfigTest, WithoutAnyFileTheValuesInForceAreWrittenWhole) {
    BoxRecorder boxes;
    Config c = LoadConfig(LANG_EN_US, InForce());  // missing: the fall-backs 1, 40, 1, 0, 1, 0
    ASSERT_EQ(boxes.boxes.size(), 1u);
    c.comNumber = 2;
    std::string why;
    ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
    const Config back = LoadConfig(LANG_EN_US, Target());
    EXPECT_EQ(boxes.boxes.size(), 1u);  // found this time
    ExpectSame(back, c, "read back");
}

TEST_F(SaveUserConfigTest, ALinkIsWrittenThroughAndAFileThatCannotBeReadIsLeftAlone) {
    PutInForce("[Power]\nThreshold=40\n");
    Config c = Parsed("[Power]\nThreshold=40\n");
    c.threshold = 35;
    std::string why;

    fs::create_directories(Target().parent_path());
    const fs::path kept = dir.path / "dotfiles" / "wing.ini";
    fs::create_directories(kept.parent_path());
    std::ofstream(kept) << "; from my dotfiles\n[Power]\nThreshold=40\n";
    fs::create_symlink(kept, Target());
    ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
    EXPECT_TRUE(fs::is_symlink(Target()));
    EXPECT_EQ(test::ReadWhole(kept), "; from my dotfiles\n[Power]\nThreshold=35\n");
    fs::remove(Target());

    for (const auto& kind : test::UnusualFiles()) {
        SCOPED_TRACE(kind.what);
        fs::remove_all(Target());
        kind.make(Target(), "[Power]\nThreshold=40\n");
        why.clear();
        const bool saved = SaveUserConfig(c, InForce(), &why, Target());
        if (kind.reason == nullptr) {  // a dangling link: its file is made, the link stays
            EXPECT_TRUE(saved) << why;
            EXPECT_TRUE(fs::is_symlink(Target()));
            EXPECT_EQ(Parsed(test::ReadWhole(Target().parent_path() / "nowhere")).threshold, 35u);
            continue;
        }
        EXPECT_FALSE(saved);
        EXPECT_NE(why.find(Target().string()), std::string::npos) << why;
        struct stat st {};
        ASSERT_EQ(::lstat(Target().c_str(), &st), 0);
        if (S_ISREG(st.st_mode)) {
            EXPECT_EQ(fs::file_size(Target()), 2u << 20);  // not cut to a small file
        }
    }
}

TEST_F(SaveUserConfigTest, ALinkToNothingIsWrittenThroughOrRefusedButNeverReplaced) {
    PutInForce("[Power]\nThreshold=40\n");
    Config c = Parsed("[Power]\nThreshold=40\n");
    c.threshold = 35;
    fs::create_directories(Target().parent_path());
    fs::create_directories(dir.path / "dotfiles");
    struct Case {
        const char* what;
        fs::path link;         // what the link says
        fs::path written;      // the file that gets the text; empty: refused
    };
    const Case linkCases[] = {
        {"an absolute link to a file still to come", dir.path / "dotfiles" / "wing.ini", dir.path / "dotfiles" / "wing.ini"},
        {"a relative link, through a second link", "second-link", dir.path / "dotfiles" / "second.ini"},
        {"a link into a folder that does not exist", dir.path / "gone" / "wing.ini", {}},
        {"a link to itself", "Wing.ini", {}},
    };
    for (const auto& l : linkCases) {
        SCOPED_TRACE(l.what);
        fs::remove(Target());
        fs::remove(Target().parent_path() / "second-link");
        fs::remove_all(dir.path / "dotfiles");
        fs::create_directories(dir.path / "dotfiles");
        fs::create_symlink(l.link, Target());
        fs::create_symlink("../../dotfiles/second.ini", Target().parent_path() / "second-link");
        std::string why;
        const bool saved = SaveUserConfig(c, InForce(), &why, Target());
        EXPECT_TRUE(fs::is_symlink(Target()));
        EXPECT_EQ(fs::read_symlink(Target()), l.link);
        if (l.written.empty()) {
            EXPECT_FALSE(saved);
            EXPECT_NE(why.find(Target().string()), std::string::npos) << why;
            EXPECT_FALSE(fs::exists(dir.path / "gone"));
            continue;
        }
        EXPECT_TRUE(saved) << why;
        EXPECT_EQ(test::ReadWhole(l.written), "[Power]\nThreshold=35\n");
    }
}

TEST_F(SaveUserConfigTest, AFailureSaysWhyAndChangesNothing) {
    PutInForce("[Power]\nThreshold=40\n");
    Config c = Parsed("[Power]\nThreshold=40\n");
    c.threshold = 35;
    std::string why;

    // The folder cannot be made: a file stands where it would go.
    std::ofstream(dir.path / "config") << "not a folder";
    EXPECT_FALSE(SaveUserConfig(c, InForce(), &why, Target()));
    EXPECT_FALSE(why.empty());
    EXPECT_EQ(test::ReadWhole(dir.path / "config"), "not a folder");
    fs::remove(dir.path / "config");

    // A value the file cannot hold: nothing is written at all.
    c.ntpServer = "two\nlines";
    why.clear();
    EXPECT_FALSE(SaveUserConfig(c, InForce(), &why, Target()));
    EXPECT_NE(why.find("[NTP] Server"), std::string::npos) << why;
    EXPECT_FALSE(fs::exists(Target()));
}

TEST_F(SaveUserConfigTest, AUtf16FileInForceIsCarriedOverAsText) {
    // Windows' Notepad writes UTF-16; the user's file gets the same lines in UTF-8.
    const std::u16string text = u"; 設定\r\n[Power]\r\nThreshold=40\r\n";
    std::string raw = "\xFF\xFE";
    for (char16_t ch : text) {
        raw += static_cast<char>(ch & 0xFF);
        raw += static_cast<char>(ch >> 8);
    }
    PutInForce(raw);
    Config c = Parsed("[Power]\nThreshold=40\n");
    c.threshold = 39;
    std::string why;
    ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
    EXPECT_EQ(test::ReadWhole(Target()), "; 設定\r\n[Power]\r\nThreshold=39\r\n");
}

TEST_F(SaveUserConfigTest, TheFileKeepsItsModeAndOwner) {
    for (const ::mode_t mode : {0600, 0640, 0664, 0444}) {
        SCOPED_TRACE(mode);
        fs::remove_all(Target().parent_path());
        fs::create_directories(Target().parent_path());
        std::ofstream(Target()) << "[Power]\nThreshold=40\n";
        ASSERT_EQ(::chmod(Target().c_str(), mode), 0);
        struct stat before {};
        ASSERT_EQ(::stat(Target().c_str(), &before), 0);
        Config c = Parsed("[Power]\nThreshold=40\n");
        c.threshold = 36;
        std::string why;
        ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
        struct stat after {};
        ASSERT_EQ(::stat(Target().c_str(), &after), 0);
        EXPECT_EQ(after.st_mode & 07777, mode);
        EXPECT_EQ(after.st_uid, before.st_uid);
        EXPECT_EQ(after.st_gid, before.st_gid);
        EXPECT_EQ(test::ReadWhole(Target()), "[Power]\nThreshold=36\n");
    }
}

TEST_F(SaveUserConfigTest, NothingChangedNothingWrittenWhateverTheEncoding) {
    const std::u16string text = u"; \u8a2d\u5b9a\r\n[Power]\r\nThreshold=40\r\n";
    std::string utf16 = "\xFF\xFE";
    for (char16_t ch : text) {
        utf16 += static_cast<char>(ch & 0xFF);
        utf16 += static_cast<char>(ch >> 8);
    }
    fs::create_directories(Target().parent_path());
    std::ofstream(Target(), std::ios::binary) << utf16;
    struct stat before {};
    ASSERT_EQ(::stat(Target().c_str(), &before), 0);
    std::string why;
    ASSERT_TRUE(SaveUserConfig(LoadConfig(LANG_EN_US, Target()), InForce(), &why, Target())) << why;
    EXPECT_EQ(test::ReadWhole(Target()), utf16);
    struct stat after {};
    ASSERT_EQ(::stat(Target().c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino);  // not even replaced by the same bytes
}

// A value is saved only if the saved file gives it back: after a restart the log folder
// must be the one chosen, however the user spaced its line.
TEST_F(SaveUserConfigTest, ALongValueOnASpacedLineReadsBackWhole) {
    const std::string shipped = "[Log]\n; where the files go\nFolder    =    ~/GPSLOG    ; change me\n";
    fs::create_directories(Target().parent_path());
    std::ofstream(Target(), std::ios::binary) << shipped;
    Config c = Parsed(shipped);
    c.logFolder = "/home/ann/" + std::string(180, 'p');
    ASSERT_FALSE(UnstorableValue(c));
    std::string why;
    ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
    EXPECT_EQ(LoadConfig(LANG_EN_US, Target()).logFolder, c.logFolder);
    EXPECT_NE(test::ReadWhole(Target()).find("[Log]\n; where the files go\n"), std::string::npos);
}

// A process that is gone, for names of temporary files that nobody writes any more.
pid_t DeadPid() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    ::waitpid(pid, nullptr, 0);
    return pid;
}

TEST_F(SaveUserConfigTest, TemporaryFilesOfAKilledSaveGoAtTheNextStartAndSave) {
    const fs::path folder = Target().parent_path();
    const std::string dead = std::to_string(DeadPid());
    const std::string ours = ".Wing.ini." + dead + ".3.0badf00d.tmp";
    const std::string kept[] = {
        ".device-map.ini." + dead + ".3.0badf00d.tmp",                    // another file's
        ".Wing.ini." + std::to_string(::getppid()) + ".3.0badf00d.tmp",  // a writer that still runs
        "Wing.ini.bak",
    };
    auto plant = [&](const fs::path& in) {
        fs::create_directories(in);
        for (const auto& name : {ours, kept[0], kept[1], kept[2]}) {
            std::ofstream(in / name) << "[Power]\nThreshold=40\n";
            fs::last_write_time(in / name, fs::file_time_type::clock::now() - std::chrono::hours(1));
        }
    };
    auto expectCleared = [&](const fs::path& in) {
        EXPECT_FALSE(fs::exists(in / ours));
        for (const auto& name : kept) EXPECT_TRUE(fs::exists(in / name)) << name;
    };

    plant(folder);
    RemoveStaleSettingsTempFiles(Target());  // the start
    expectCleared(folder);

    // A save clears them too, beside the file a link leads to.
    const fs::path dotfiles = dir.path / "dotfiles";
    plant(dotfiles);
    fs::rename(dotfiles / ours, dotfiles / (".wing.ini." + dead + ".3.0badf00d.tmp"));
    fs::create_symlink(dotfiles / "wing.ini", Target());
    PutInForce("[Power]\nThreshold=40\n");
    Config c = Parsed("[Power]\nThreshold=40\n");
    c.threshold = 37;
    std::string why;
    ASSERT_TRUE(SaveUserConfig(c, InForce(), &why, Target())) << why;
    EXPECT_FALSE(fs::exists(dotfiles / (".wing.ini." + dead + ".3.0badf00d.tmp")));
    for (const auto& name : kept) EXPECT_TRUE(fs::exists(dotfiles / name)) << name;
}

}  // namespace
}  // namespace wing
