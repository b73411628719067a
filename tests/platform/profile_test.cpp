#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/profile.h"
#include "platform/settings_file.h"
#include "platform/unusual_files.h"

namespace wing {
namespace {

unsigned IntFrom(const std::string& text, const char* section, const char* key, int def) {
    ProfileFile profile;
    profile.Parse(text);
    return profile.GetInt(section, key, def);
}

TEST(Profile, ReadsIntegersWithTheWindowsRules) {
    struct Case {
        const char* what;
        const char* text;
        const char* section;
        const char* key;
        unsigned expected;
    };
    const Case cases[] = {
        {"plain", "[Mode]\nCompetition=5\n", "Mode", "Competition", 5},
        {"names in another case", "[mODE]\ncOMPETITION=5\n", "Mode", "Competition", 5},
        {"blanks around name and value", "[ Power ]\n  Threshold   =   42  \n", "Power", "Threshold", 42},
        {"CR LF line ends", "[Power]\r\nThreshold=42\r\n", "Power", "Threshold", 42},
        {"first key wins", "[Mode]\nCompetition=3\ncompetition=4\n", "Mode", "Competition", 3},
        {"only the first section of a name",
         "[Mode]\nOther=1\n[Power]\nThreshold=2\n[MODE]\nCompetition=7\n", "Mode", "Competition", 99},
        {"key before any section", "Competition=9\n[Mode]\n", "Mode", "Competition", 99},
        {"indented line is its own key", "[Personal]\nENABLE=0\n   COM=3\n", "Personal", "COM", 3},
        {"indented line leaves the key above alone", "[Personal]\nENABLE=0\n   COM=3\n", "Personal", "ENABLE", 0},
        {"indented section header", "[Mode]\nA=1\n  [Power]\nThreshold=6\n", "Power", "Threshold", 6},
        {"text after the number", "[Personal]\nCOM=12abc\n", "Personal", "COM", 12},
        {"comment after the number", "[Personal]\nCOM=7 ; port of the station\n", "Personal", "COM", 7},
        {"plus sign", "[Personal]\nCOM=+5\n", "Personal", "COM", 5},
        {"minus sign wraps", "[Power]\nThreshold=-1\n", "Power", "Threshold", 0xFFFFFFFFu},
        {"not a number reads 0", "[Mode]\nCompetition=yes\n", "Mode", "Competition", 0},
        {"hex is not decimal", "[Mode]\nCompetition=0x10\n", "Mode", "Competition", 0},
        {"overflow wraps", "[Mode]\nCompetition=4294967297\n", "Mode", "Competition", 1},
        {"quoted value", "[Personal]\nCOM=\"15\"\n", "Personal", "COM", 15},
        {"empty value gives the default", "[Personal]\nCOM=\n", "Personal", "COM", 99},
        {"key without '=' gives the default", "[Personal]\nCOM\nCOM=4\n", "Personal", "COM", 99},
        {"absent key", "[Personal]\nENABLE=1\n", "Personal", "COM", 99},
        {"absent section", "[Personal]\nCOM=1\n", "NTP", "NTP", 99},
        {"empty text", "", "Mode", "Competition", 99},
        {"comment lines", "; [Mode]\n# Competition=1\n[Mode]\nCompetition=8\n", "Mode", "Competition", 8},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF[Mode]\nCompetition=6\n", "Mode", "Competition", 6},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IntFrom(c.text, c.section, c.key, 99), c.expected) << c.what;
}

// The text starts after the blanks and NULs that lead the file and a byte-order mark
// after them; a mark anywhere else is text. Each header is then the reader's own, and
// the keys under it are never given to another section.
TEST(Profile, TheTextStartsAfterLeadingBlanksAndOneByteOrderMark) {
    using namespace std::string_literals;
    const std::string body = "[Flight]\nLoft=24.1, 120.6\n[Power]\nThreshold=37\n";
    struct Case {
        const char* what;
        std::string text;
        std::optional<std::string> loft;
    };
    const Case cases[] = {
        {"a mark first", "\xEF\xBB\xBF" + body, "24.1, 120.6"},
        {"a mark after blanks", " \t\xEF\xBB\xBF" + body, "24.1, 120.6"},
        {"a mark after NULs", "\0\0\xEF\xBB\xBF"s + body, "24.1, 120.6"},
        {"a mark then blanks", "\xEF\xBB\xBF  " + body, "24.1, 120.6"},
        {"a second mark is text: no header there", "\xEF\xBB\xBF\xEF\xBB\xBF" + body, std::nullopt},
        {"a mark on the second line is text", "\n\xEF\xBB\xBF" + body, std::nullopt},
    };
    for (const auto& c : cases) {
        ProfileFile profile;
        profile.Parse(c.text);
        EXPECT_EQ(profile.GetString("Flight", "Loft"), c.loft) << c.what;
        EXPECT_EQ(profile.GetString("Power", "Loft"), std::nullopt) << c.what;  // never another section's
        EXPECT_EQ(profile.GetInt("Power", "Threshold", 4), 37u) << c.what;
    }
}

TEST(Profile, NegativeDefaultComesBackAsItsBitPattern) {
    EXPECT_EQ(IntFrom("", "A", "B", -2), 0xFFFFFFFEu);
}

TEST(Profile, StringValuesAreTrimmedAndUnquoted) {
    ProfileFile profile;
    profile.Parse("[NTP]\nServer =  time.example.org  \n[Other]\nName='a b'\nHalf=\"x\n");
    EXPECT_EQ(profile.GetString("ntp", "SERVER"), "time.example.org");
    EXPECT_EQ(profile.GetString("Other", "Name"), "a b");
    EXPECT_EQ(profile.GetString("Other", "Half"), "\"x");
    EXPECT_EQ(profile.GetString("Other", "Missing"), std::nullopt);
}

class ProfileFileOnDisk : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("wing-profile-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir_);
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::filesystem::path Write(const std::string& bytes) {
        auto path = dir_ / "Wing.ini";
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    std::filesystem::path dir_;
};

TEST_F(ProfileFileOnDisk, ReadsUtf8AndUtf16Files) {
    auto path = Write("[Power]\nThreshold=37\n");
    EXPECT_EQ(GetPrivateProfileInt("Power", "Threshold", 4, path), 37u);

    // The Windows editor's "Unicode": UTF-16 little-endian with a byte-order mark.
    std::string utf16 = "\xFF\xFE";
    const std::u16string text = u"[Power]\r\nThreshold=38\r\n[NTP]\r\nServer=\u4E2D.example\r\n";
    for (char16_t u : text) {
        utf16.push_back(static_cast<char>(u & 0xFF));
        utf16.push_back(static_cast<char>(u >> 8));
    }
    path = Write(utf16);
    EXPECT_EQ(GetPrivateProfileInt("Power", "Threshold", 4, path), 38u);
    EXPECT_EQ(GetPrivateProfileString("NTP", "Server", "", path), "\xE4\xB8\xAD.example");
}

TEST_F(ProfileFileOnDisk, MissingFileGivesTheDefaults) {
    const auto path = dir_ / "absent.ini";
    ProfileFile profile;
    EXPECT_FALSE(profile.Load(path));
    EXPECT_EQ(GetPrivateProfileInt("Power", "Threshold", 4, path), 4u);
    EXPECT_EQ(GetPrivateProfileString("NTP", "Server", "pool.ntp.org", path), "pool.ntp.org");
    // a path that opens but cannot be read, such as a directory
    EXPECT_FALSE(profile.Load(dir_));
    EXPECT_EQ(GetPrivateProfileInt("Power", "Threshold", 4, dir_), 4u);
}

// Each of these once hung the start (a FIFO), ended it (a link to /dev/zero, read until
// memory ran out) or slowed it down (a huge file). Now each reads at once as an empty
// profile, every key at its default, and is named on standard error with the reason.
TEST(ProfileFileNotASmallFile, ReadsAsEmptyAtOnceAndSaysWhy) {
    char tmpl[] = "/tmp/wing-profile-odd-XXXXXX";  // fresh names: each refusal is told once
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const std::filesystem::path dir = tmpl;
    int n = 0;
    for (const auto& kind : test::UnusualFiles()) {
        SCOPED_TRACE(kind.what);
        const auto path = dir / ("Wing" + std::to_string(n++) + ".ini");
        kind.make(path, "[Power]\nThreshold=37\n");
        ProfileFile profile;
        bool loaded = true;
        ::testing::internal::CaptureStderr();
        EXPECT_TRUE(test::ReturnsWithinFiveSeconds([&] { loaded = profile.Load(path); }, path));
        const std::string said = ::testing::internal::GetCapturedStderr();
        EXPECT_FALSE(loaded);
        EXPECT_EQ(profile.GetInt("Power", "Threshold", 4), 4u);
        EXPECT_EQ(said, kind.reason == nullptr ? std::string()
                                               : "wing-utility: " + path.string() + " " + kind.reason +
                                                     "; using the defaults\n");
    }
    std::filesystem::remove_all(dir);
}

TEST_F(ProfileFileOnDisk, AFileUpToTheLimitIsReadAndALargerOneIsRefusedWhole) {
    // The key leads the file, so reading only the first part of a larger one would show.
    const std::string head = "[Power]\nThreshold=37\n";
    const struct {
        const char* what;
        std::size_t size;
        bool loaded;
        unsigned threshold;
    } cases[] = {
        {"exactly the limit", kSettingsFileLimit, true, 37},
        {"one byte over", kSettingsFileLimit + 1, false, 4},
    };
    for (const auto& c : cases) {
        ProfileFile profile;
        EXPECT_EQ(profile.Load(Write(test::Padded(head, c.size))), c.loaded) << c.what;
        EXPECT_EQ(profile.GetInt("Power", "Threshold", 4), c.threshold) << c.what;
    }
}

TEST_F(ProfileFileOnDisk, ReloadingForgetsThePreviousFile) {
    ProfileFile profile;
    ASSERT_TRUE(profile.Load(Write("[Mode]\nCompetition=0\n")));
    EXPECT_FALSE(profile.Load(dir_ / "absent.ini"));
    EXPECT_EQ(profile.GetInt("Mode", "Competition", 2), 2u);
}

}  // namespace
}  // namespace wing
