// Editing profile text: the one value changes, every other byte stays, and the reader
// gives back what was written.

#include "platform/profile_edit.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/ini_text.h"
#include "platform/profile.h"

namespace wing {
namespace {

std::optional<std::string> Read(const std::string& text, const char* section, const char* key) {
    ProfileFile profile;
    profile.Parse(text);
    return profile.GetString(section, key);
}

// A file as people write them: comments, blank lines, spacing, unknown keys, a key
// outside any section, an inline comment.
constexpr const char* kHandWritten =
    "; my settings\n"
    "stray=1\n"
    "[Mode]\n"
    "Competition = 1   ; racing\n"
    "Colour=blue\n"
    "\n"
    "; the battery\n"
    "[power]\n"
    "Threshold=40\n"
    "[Mode]\n"
    "Competition=7\n";

TEST(SetProfileValue, ChangesOnlyTheValueOfTheLineTheReaderTakes) {
    struct Case {
        const char* what;
        std::string text;
        const char* section;
        const char* key;
        const char* value;
        std::string expected;
    };
    const Case cases[] = {
        {"spacing and inline comment stay", kHandWritten, "Mode", "Competition", "0",
         std::string(kHandWritten).replace(std::string(kHandWritten).find("= 1 ") + 2, 1, "0")},
        {"names match ignoring case, the section's spelling stays", kHandWritten, "POWER", "threshold", "38",
         std::string(kHandWritten).replace(std::string(kHandWritten).find("40"), 2, "38")},
        {"a value longer than the old one", "[NTP]\nServer=a\nNTP=1\n", "NTP", "Server", "time.example.org",
         "[NTP]\nServer=time.example.org\nNTP=1\n"},
        {"an empty value gets one", "[NTP]\nServer=\n", "NTP", "Server", "x", "[NTP]\nServer=x\n"},
        {"a key without '='", "[NTP]\nServer\nNTP=1\n", "NTP", "Server", "x", "[NTP]\nServer=x\nNTP=1\n"},
        {"':' is a delimiter too", "[NTP]\nServer: a ; old\n", "NTP", "Server", "b", "[NTP]\nServer: b ; old\n"},
        {"only the first of a repeated key", "[Mode]\nCompetition=1\nCompetition=2\n", "Mode", "Competition", "0",
         "[Mode]\nCompetition=0\nCompetition=2\n"},
        {"CRLF lines keep their ends", "[Mode]\r\nCompetition=1\r\n[Power]\r\n", "Mode", "Competition", "0",
         "[Mode]\r\nCompetition=0\r\n[Power]\r\n"},
        {"a byte-order mark stays", "\xEF\xBB\xBF[Mode]\nCompetition=1\n", "Mode", "Competition", "0",
         "\xEF\xBB\xBF[Mode]\nCompetition=0\n"},
        {"a commented-out key is not the key, but shows where it goes", "[NTP]\n;Server=pool.ntp.org\nNTP=0\n",
         "NTP", "Server", "x", "[NTP]\n;Server=pool.ntp.org\nServer=x\nNTP=0\n"},
        {"a missing key follows the section's last key", "[Mode]\nCompetition=1\n\n; next\n[Power]\nThreshold=40\n",
         "Mode", "Colour", "red", "[Mode]\nCompetition=1\nColour=red\n\n; next\n[Power]\nThreshold=40\n"},
        {"a section without keys gets it after its header", "[Log]\n; nothing yet\n[Mode]\n", "Log", "Folder", "/x",
         "[Log]\nFolder=/x\n; nothing yet\n[Mode]\n"},
        {"a missing key in a CRLF file", "[Mode]\r\nCompetition=1\r\n", "Mode", "Colour", "red",
         "[Mode]\r\nCompetition=1\r\nColour=red\r\n"},
        {"a missing section goes at the end", "[Mode]\nCompetition=1\n", "Export", "GPX", "1",
         "[Mode]\nCompetition=1\n[Export]\nGPX=1\n"},
        {"a last line without its end", "[Mode]\nCompetition=1", "Mode", "Colour", "red",
         "[Mode]\nCompetition=1\nColour=red\n"},
        {"a missing section after a last line without its end", "; only a comment", "Export", "GPX", "1",
         "; only a comment\n[Export]\nGPX=1\n"},
        {"an empty text", "", "Export", "GPX", "1", "[Export]\nGPX=1\n"},
        {"keys before any section are no section's", "Competition=1\n", "Mode", "Competition", "0",
         "Competition=1\n[Mode]\nCompetition=0\n"},
        {"a byte-order mark after a blank starts the text as the reader's does", " \xEF\xBB\xBF[Mode]\nCompetition=1\n",
         "Mode", "Competition", "0", " \xEF\xBB\xBF[Mode]\nCompetition=0\n"},
        {"a comment right after the delimiter stays a comment", "[NTP]\nServer= ;none yet\n", "NTP", "Server", "x",
         "[NTP]\nServer=x ;none yet\n"},
        {"a value that starts with ';' follows the delimiter at once", "[NTP]\nServer = a\n", "NTP", "Server", ";b",
         "[NTP]\nServer =;b\n"},
    };
    for (const auto& c : cases) {
        const std::string out = SetProfileValue(c.text, c.section, c.key, c.value);
        EXPECT_EQ(out, c.expected) << c.what;
        EXPECT_EQ(Read(out, c.section, c.key), std::optional<std::string>(c.value)) << c.what;
    }
}

// The reader keeps IniLineLimit bytes of a line. A value that fits on a line of its own
// but not behind the line's spacing gets the line "name=value"; a 190-character log
// folder once read back two characters short.
TEST(SetProfileValue, AValueTheLinesSpacingWouldPushPastTheReadersCutGetsACompactLine) {
    const std::string longest(IniLineLimit() - 7, 'x');  // "Folder=" and this: the limit exactly
    const std::string folder = "/home/ann/" + std::string(180, 'p');
    struct Case {
        const char* what;
        std::string text;
        std::string value;
        std::string expected;
    };
    const Case cases[] = {
        {"spacing and a comment", "[Log]\nFolder   =   /old   ; where the logs go\n", longest,
         "[Log]\nFolder=" + longest + "\n"},
        {"indented, CRLF", "[Log]\r\n  Folder = /old\r\n[Mode]\r\n", longest, "[Log]\r\n  Folder=" + longest + "\r\n[Mode]\r\n"},
        {"the 190-character folder", "[Log]\nFolder = /old\n", folder, "[Log]\nFolder=" + folder + "\n"},
        {"a key without '=' behind blanks", "[Log]\nFolder   \n", longest, "[Log]\nFolder=" + longest + "   \n"},
        {"what fits keeps its spacing", "[Log]\nFolder = /old ; where\n", std::string(IniLineLimit() - 9, 'y'),
         "[Log]\nFolder = " + std::string(IniLineLimit() - 9, 'y') + " ; where\n"},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(ProfileValueFits("Folder", c.value)) << c.what;
        const std::string out = SetProfileValue(c.text, "Log", "Folder", c.value);
        EXPECT_EQ(out, c.expected) << c.what;
        EXPECT_EQ(Read(out, "Log", "Folder"), c.value) << c.what;
    }
}

TEST(SetProfileValue, EveryOtherValueReadsAsBefore) {
    const std::string out = SetProfileValue(kHandWritten, "Mode", "Competition", "0");
    EXPECT_EQ(Read(out, "Mode", "Colour"), "blue");
    EXPECT_EQ(Read(out, "Power", "Threshold"), "40");
    // The second [Mode] is never read, and so never written.
    EXPECT_NE(out.find("[Mode]\nCompetition=7\n"), std::string::npos);
}

TEST(RemoveProfileKey, RemovesEveryLineOfTheKeyInTheFirstSectionOnly) {
    EXPECT_EQ(RemoveProfileKey("[Flight]\nLoft2=a\nx=1\nloft2=b\n[Other]\nLoft2=c\n", "flight", "LOFT2"),
              "[Flight]\nx=1\n[Other]\nLoft2=c\n");
    EXPECT_EQ(RemoveProfileKey("[Flight]\r\nLoft2=a", "Flight", "Loft2"), "[Flight]\r\n");
    EXPECT_EQ(RemoveProfileKey("[Mode]\nx=1\n", "Flight", "Loft2"), "[Mode]\nx=1\n");
}

TEST(ProfileValueFits, OnlyValuesTheReaderGivesBackWhole) {
    const std::pair<std::string, bool> cases[] = {
        {"24.123456, 120.654321", true},
        {"24°07'24.4\"N 120°39'15.6\"E", true},
        {"/home/ann/Pigeons;2015", true},  // ';' after no blank is part of the value
        {"", true},
        {"a ; b", false},                  // an inline comment would cut it
        {" lead", false},
        {"trail ", false},
        {"two\nlines", false},
        {"cr\r", false},
        {std::string("nul") + '\0', false},
        {"\"quoted\"", false},             // the reader takes one pair of quotes off
        {std::string(IniLineLimit() - 7, 'x'), true},
        {std::string(IniLineLimit() - 6, 'x'), false},
    };
    for (const auto& [value, fits] : cases) {
        EXPECT_EQ(ProfileValueFits("Folder", value), fits) << value;
        if (fits) {
            EXPECT_EQ(Read(SetProfileValue("", "Log", "Folder", value), "Log", "Folder"), value) << value;
        }
    }
}

}  // namespace
}  // namespace wing
