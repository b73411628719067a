// The archive of a download: what is written reads back the same, a damaged file is
// named and skipped, and the exports come out again in the same bytes.

#include <gtest/gtest.h>

#include <barrier>
#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <pugixml.hpp>
#include <set>
#include <thread>

#include "archive/download_archive.h"
#include "export/save_worker.h"
#include "log/log_fixture.h"
#include "platform/text.h"
#include "support/files.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using test::PositionSlot;
using test::ReadWhole;
using test::T0;

ArchivedDownload Sample(int records, std::int64_t downloaded = T0 + 86400) {
    ArchivedDownload d;
    d.serial = L"WG1507A0042";
    d.firmware = L"V 1.2.3.4";
    d.downloadedUtc = downloaded;
    d.timeZone = "Asia/Taipei";
    d.utcOffsetSeconds = 8 * 3600;
    d.langId = 1033;
    for (int i = 0; i < records; ++i)
        d.rawSlots.push_back(PositionSlot(T0 + 30 * i, 25025000 + 100 * i, 121305123 + 100 * i, 60, 0, 120));
    return d;
}

// The reason `bytes` are refused; empty when they decode.
std::string Refusal(std::string_view bytes) {
    auto decoded = DecodeArchive(bytes);
    const auto* why = std::get_if<std::string>(&decoded);
    return why != nullptr ? *why : std::string();
}

// The header line of `key` given `value`; with `reseal`, the header's own checksum made
// to fit again, as a writer of a wrong header would.
std::string WithField(std::string bytes, const std::string& key, const std::string& value, bool reseal) {
    const std::size_t at = bytes.find("\n" + key + ": ") + key.size() + 3;
    bytes.replace(at, bytes.find('\n', at) - at, value);
    if (reseal && bytes.starts_with("WING-ARCHIVE 2\n")) {
        const std::size_t end = bytes.find("\n\n");
        const std::size_t last = bytes.rfind('\n', end - 1) + 1;
        bytes.replace(last, end - last, "header-sha256: " + Sha256Hex(std::string_view(bytes).substr(0, last)));
    }
    return bytes;
}

// An archive that version 1 of the format wrote: nine records of Sample(9), and one with
// texts a later version would escape.
std::string Version1(const char* name) { return ReadWhole(fs::path(WING_SOURCE_DIR) / "tests/data/archive-v1" / name); }

TEST(Archive, ReadsBackWhatWasWrittenSlotForSlot) {
    for (int records : {0, 1, 9, 2048}) {
        SCOPED_TRACE(records);
        const ArchivedDownload d = Sample(records);
        auto decoded = DecodeArchive(EncodeArchive(d));
        ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(decoded)) << std::get<std::string>(decoded);
        const auto& back = std::get<ArchivedDownload>(decoded);
        EXPECT_EQ(back.serial, d.serial);
        EXPECT_EQ(back.firmware, d.firmware);
        EXPECT_EQ(back.downloadedUtc, d.downloadedUtc);
        EXPECT_EQ(back.timeZone, d.timeZone);
        EXPECT_EQ(back.utcOffsetSeconds, d.utcOffsetSeconds);
        EXPECT_EQ(back.langId, d.langId);
        EXPECT_EQ(back.rawSlots, d.rawSlots);
    }
}

TEST(Archive, TheHeaderIsPlainTextWithChecksumsOfTheSlotsAndOfItself) {
    const std::string bytes = EncodeArchive(Sample(3));
    const std::string header = bytes.substr(0, bytes.find("\n\n"));
    EXPECT_EQ(header.substr(0, header.find('\n')), "WING-ARCHIVE 2");
    EXPECT_NE(header.find("\ncount: 3\n"), std::string::npos);
    EXPECT_NE(header.find("\ndownloaded: 2015-05-02T00:30:00Z\n"), std::string::npos);
    EXPECT_NE(header.find("\nsha256: " + Sha256Hex(bytes.substr(bytes.find("\n\n") + 2)) + "\n"), std::string::npos);
    const std::size_t last = header.rfind('\n') + 1;
    EXPECT_EQ(header.substr(last), "header-sha256: " + Sha256Hex(header.substr(0, last)));
    // The checksum itself is the library's: the SHA-256 of "abc" is a published test value.
    EXPECT_EQ(Sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

TEST(Archive, DamagedBytesAreRefusedWithTheirReason) {
    const std::string good = EncodeArchive(Sample(9));
    const std::size_t body = good.find("\n\n") + 2;
    struct Case {
        const char* name;
        std::string bytes;
        const char* reason;
    };
    std::string flipped = good;
    flipped[body + 20] ^= 0x01;
    std::string badCount = good;
    badCount.replace(badCount.find("count: 9"), 8, "count: x");
    std::string noSha = good;
    noSha.replace(noSha.find("sha256:"), 7, "sha000:");
    const Case cases[] = {
        {"empty", "", "not an archive"},
        {"another file", "<?xml version=\"1.0\"?>", "not an archive"},
        {"header cut", good.substr(0, 40), "truncated"},
        {"slots cut", good.substr(0, good.size() - 5), "truncated"},
        {"bytes added", good + "x", "after the last slot"},
        {"one bit flipped", flipped, "SHA-256"},
        {"count not a number", badCount, "count"},
        {"no checksum", noSha, "sha256"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto decoded = DecodeArchive(c.bytes);
        ASSERT_TRUE(std::holds_alternative<std::string>(decoded));
        EXPECT_NE(std::get<std::string>(decoded).find(c.reason), std::string::npos) << std::get<std::string>(decoded);
    }
}

TEST(Archive, ListingIsNewestFirstAndNamesEveryDamagedFileWithoutStopping) {
    test::TempDrive drive;
    std::vector<std::filesystem::path> written;
    for (std::int64_t day : {1, 3, 2}) {
        auto path = WriteArchive(Sample(4, T0 + day * 86400));
        ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(path));
        written.push_back(std::get<std::filesystem::path>(path));
    }
    // The same second again: a second file, not the first one replaced.
    auto again = WriteArchive(Sample(5, T0 + 86400));
    ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(again));
    EXPECT_NE(std::get<std::filesystem::path>(again), written[0]);
    // A file cut short by a crash, and one that is not an archive at all.
    const std::filesystem::path dir = written[0].parent_path();
    std::ofstream(dir / "cut.wing", std::ios::binary) << EncodeArchive(Sample(8)).substr(0, 300);
    std::ofstream(dir / "notes.wing") << "my notes";
    std::ofstream(dir / "README.txt") << "not ours";

    const ArchiveListing listing = ListArchives(ArchiveRoot());
    ASSERT_EQ(listing.entries.size(), 4u);
    EXPECT_EQ(listing.entries[0].downloadedUtc, T0 + 3 * 86400);
    EXPECT_EQ(listing.entries[1].downloadedUtc, T0 + 2 * 86400);
    EXPECT_EQ(listing.entries[3].downloadedUtc, T0 + 86400);
    EXPECT_EQ(listing.entries[0].serial, L"WG1507A0042");
    EXPECT_EQ(listing.entries[0].path.parent_path().filename(), "WG1507A0042");
    ASSERT_EQ(listing.problems.size(), 2u);
    for (const auto& p : listing.problems) {
        EXPECT_TRUE(p.path.filename() == "cut.wing" || p.path.filename() == "notes.wing") << p.path;
        EXPECT_FALSE(p.reason.empty());
    }
}

TEST(Archive, AnUnsafeSerialNumberCannotLeaveTheArchiveFolder) {
    test::TempDrive drive;
    auto d = Sample(2);
    d.serial = L"../../etc";
    auto path = WriteArchive(d);
    ASSERT_TRUE(std::holds_alternative<std::filesystem::path>(path));
    const auto written = std::get<std::filesystem::path>(path);
    EXPECT_EQ(written.parent_path().parent_path(), ArchiveRoot());
}

TEST(Archive, AnyTextTheLoggerSendsReadsBackExactlyFromTheFile) {
    test::TempDrive drive;
    struct Case {
        const char* name;
        std::wstring serial;
        std::wstring firmware;
    };
    const Case cases[] = {
        {"line feed", L"WG15\n07A0042", L"V 1.2.3.4"},
        {"line breaks and an empty line", L"WG1507\r\nA0042\n\n", L"V 1\n"},
        {"a field of its own", L"X\ncount: 1\nsha256: 00", L"\nheader-sha256: 00"},
        {"backslashes and escape-like text", L"back\\slash\\", L"\\u{41}\\\\n"},
        {"other control characters", L"\t\x7F\x01\x1B[31m", L"\x00\x1F"},
        {"text beyond ASCII", L"\u00E9\u4E2D\uFFFD\U0001F426", L"\u00A0"},
        {"values that are no character", std::wstring{static_cast<wchar_t>(0xD800), static_cast<wchar_t>(0x110000),
                                                      static_cast<wchar_t>(-1), L'A'},
         std::wstring{static_cast<wchar_t>(0xDFFF)}},
        {"blanks around and nothing", L"  WG 1507  ", L""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArchivedDownload d = Sample(9);
        d.serial = c.serial;
        d.firmware = c.firmware;
        auto written = WriteArchive(d);
        ASSERT_TRUE(std::holds_alternative<fs::path>(written)) << ToUtf8(std::get<ExportFailure>(written).reason);
        const fs::path path = std::get<fs::path>(written);
        auto back = ReadArchive(path);
        ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(back)) << std::get<std::string>(back);
        EXPECT_TRUE(std::get<ArchivedDownload>(back) == d);
        // Still one line per field: nothing the logger sent starts a line of its own.
        const std::string bytes = ReadWhole(path);
        const std::string header = bytes.substr(0, bytes.find("\n\n"));
        EXPECT_EQ(std::count(header.begin(), header.end(), '\n'), 9);
    }
}

TEST(Archive, ADownloadThatWouldNotReadBackIsAFailureAndLeavesNoFile) {
    test::TempDrive drive;
    struct Case {
        const char* name;
        void (*spoil)(ArchivedDownload&);
        const char* field;
    };
    const Case cases[] = {
        {"zone with a line break", [](ArchivedDownload& d) { d.timeZone = "Asia/Taipei\nserial: x"; }, "timezone"},
        {"zone that climbs out", [](ArchivedDownload& d) { d.timeZone = "../../etc/passwd"; }, "timezone"},
        {"zone of bytes that are no text", [](ArchivedDownload& d) { d.timeZone = "\xC1\x90"; }, "timezone"},
        {"time past year 9999", [](ArchivedDownload& d) { d.downloadedUtc = 253402300800; }, "downloaded"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ArchivedDownload d = Sample(3);
        c.spoil(d);
        auto written = WriteArchive(d);
        ASSERT_TRUE(std::holds_alternative<ExportFailure>(written));
        EXPECT_NE(ToUtf8(std::get<ExportFailure>(written).reason).find(c.field), std::string::npos)
            << ToUtf8(std::get<ExportFailure>(written).reason);
        EXPECT_TRUE(test::FilesUnder(ArchiveRoot()).empty());
    }
}

TEST(Archive, Version1ArchivesStillReadExactly) {
    ArchivedDownload expected = Sample(9);
    auto ordinary = DecodeArchive(Version1("WG1507A0042.wing"));
    ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(ordinary)) << std::get<std::string>(ordinary);
    EXPECT_TRUE(std::get<ArchivedDownload>(ordinary) == expected);

    // Version 1 escaped nothing: its backslashes and carriage returns are the serial's own.
    auto literal = DecodeArchive(Version1("literal-backslash.wing"));
    ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(literal)) << std::get<std::string>(literal);
    const auto& d = std::get<ArchivedDownload>(literal);
    EXPECT_EQ(d.serial, L"AB\\u{41}\r\\");
    EXPECT_EQ(d.firmware, L"");
    EXPECT_EQ(d.timeZone, "");
    EXPECT_EQ(d.downloadedUtc, T0 + 3600);
    EXPECT_EQ(d.utcOffsetSeconds, -5 * 3600);
    EXPECT_EQ(d.langId, 2052u);
    EXPECT_TRUE(d.rawSlots.empty());
    // Written again, it is version 2 and the same download.
    auto again = DecodeArchive(EncodeArchive(d));
    ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(again));
    EXPECT_TRUE(std::get<ArchivedDownload>(again) == d);
}

TEST(Archive, EveryHeaderFieldIsReadStrictlyAndTheWrongOneNamed) {
    struct Case {
        const char* key;
        const char* value;
        const char* named;
        bool version2Only = false;
    };
    const Case cases[] = {
        {"downloaded", "2026", "downloaded"},
        {"downloaded", "2026-12-1", "downloaded"},
        {"downloaded", "2015-05-02T00:30:00Z junk", "downloaded"},
        {"downloaded", "2015-05-02 00:30:00Z", "downloaded"},
        {"downloaded", "2015-02-29T00:30:00Z", "downloaded"},
        {"downloaded", "2015-05-02T24:00:00Z", "downloaded"},
        {"downloaded", "1969-12-31T23:59:59Z", "downloaded"},
        {"count", "09", "count"},
        {"count", "+9", "count"},
        {"count", "9 ", "count"},
        {"count", "2049", "count"},
        {"utc-offset", "28800.0", "utc-offset"},
        {"utc-offset", "86400", "utc-offset"},
        {"utc-offset", "99999999999", "utc-offset"},
        {"language", "1033x", "language"},
        {"language", "65536", "language"},
        {"language", "", "language"},
        {"timezone", "Asia/Taipei junk", "timezone"},
        {"timezone", "../../etc/passwd", "timezone"},
        {"timezone", "Asia//Taipei", "timezone"},
        {"timezone", "Asia/Taip\xC3\xA9i", "timezone"},
        {"sha256", "abc", "sha256"},
        {"serial", "WG\xFF\xFE", "serial"},
        {"firmware", "V 1\r", "firmware", true},
        {"serial", "WG\\q", "serial", true},
        {"serial", "WG\\u{}", "serial", true},
        {"serial", "WG\\u{123456789}", "serial", true},
        {"serial", "WG\\", "serial", true},
    };
    const std::string versions[] = {Version1("WG1507A0042.wing"), EncodeArchive(Sample(9))};
    for (const std::string& good : versions) {
        const bool version2 = good.starts_with("WING-ARCHIVE 2");
        for (const Case& c : cases) {
            if (c.version2Only && !version2) continue;
            SCOPED_TRACE(std::string(version2 ? "v2 " : "v1 ") + c.key + ": " + c.value);
            const std::string why = Refusal(WithField(good, c.key, c.value, true));
            EXPECT_NE(why.find(c.named), std::string::npos) << why;
        }
        // Lines that are no field of the format, or one field twice.
        const std::size_t afterSerial = good.find('\n', good.find("\nserial: ") + 1) + 1;
        for (const auto& [line, named] : {std::pair{"serial: WG2\n", "serial twice"},
                                           std::pair{"colour: red\n", "unknown field \"colour\""},
                                           std::pair{"just words\n", "header line 3"}}) {
            SCOPED_TRACE(line);
            std::string bytes = good;
            bytes.insert(afterSerial, line);
            const std::string why = Refusal(version2 ? WithField(bytes, "header-sha256", "", true) : bytes);
            EXPECT_NE(why.find(named), std::string::npos) << why;
        }
    }
}

TEST(Archive, AChangedHeaderIsCaughtByItsChecksum) {
    const std::string good = EncodeArchive(Sample(9));
    ASSERT_EQ(Refusal(good), "");
    struct Case {
        const char* key;
        const char* value;
    };
    // Each a header that still parses, as a damaged disk or an editor would leave it: the
    // zone would put every export eight hours off.
    for (const Case& c : {Case{"timezone", "Asia/Taipeh"}, Case{"timezone", "UTC"}, Case{"serial", "WG1507A0043"},
                          Case{"downloaded", "2015-05-02T00:30:01Z"}, Case{"language", "2052"},
                          Case{"utc-offset", "0"}, Case{"firmware", "V 1.2.3.5"}}) {
        SCOPED_TRACE(c.key);
        const std::string why = Refusal(WithField(good, c.key, c.value, false));
        EXPECT_NE(why.find("header-sha256"), std::string::npos) << why;
    }
    // The header's checksum missing, or not the last line.
    std::string noSeal = good;
    const std::size_t sealAt = noSeal.find("header-sha256: ");
    noSeal.erase(sealAt - 1, noSeal.find('\n', sealAt) - sealAt + 1);
    EXPECT_NE(Refusal(noSeal).find("header-sha256"), std::string::npos) << Refusal(noSeal);
    std::string moved = good;
    const std::string sealLine = moved.substr(sealAt, moved.find('\n', sealAt) - sealAt + 1);
    moved.erase(sealAt, sealLine.size());
    moved.insert(moved.find("serial: "), sealLine);
    EXPECT_NE(Refusal(moved).find("header-sha256"), std::string::npos) << Refusal(moved);
    // A format of a later program is named as such, not as damage.
    std::string later = good;
    later.replace(0, 14, "WING-ARCHIVE 3");
    EXPECT_NE(Refusal(later).find("format"), std::string::npos) << Refusal(later);
}

TEST(Archive, DownloadsOfTheSameSecondRacingForANameAreAllKept) {
    for (const wchar_t* serial : {L"WG1507A0042", L""}) {
        SCOPED_TRACE(ToUtf8(serial));
        test::TempDrive drive;
        constexpr int kWriters = 8, kEach = 3;
        std::vector<ArchivedDownload> downloads;
        for (int i = 0; i < kWriters * kEach; ++i) {
            ArchivedDownload d = Sample(4);
            d.serial = serial;
            d.rawSlots[0] = PositionSlot(T0 + i, 25025000, 121305123, 60, 0, 120);  // each its own
            downloads.push_back(d);
        }
        std::vector<std::variant<fs::path, ExportFailure>> results(downloads.size());
        std::barrier start(kWriters);
        std::vector<std::thread> writers;
        for (int w = 0; w < kWriters; ++w)
            writers.emplace_back([&, w] {
                for (int k = 0; k < kEach; ++k) {
                    start.arrive_and_wait();  // every writer at the same moment, each round
                    results[w * kEach + k] = WriteArchive(downloads[w * kEach + k]);
                }
            });
        for (auto& t : writers) t.join();

        std::set<std::string> names;
        for (std::size_t i = 0; i < downloads.size(); ++i) {
            ASSERT_TRUE(std::holds_alternative<fs::path>(results[i])) << ToUtf8(std::get<ExportFailure>(results[i]).reason);
            const fs::path& path = std::get<fs::path>(results[i]);
            names.insert(path.filename().string());
            auto back = ReadArchive(path);
            ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(back)) << path << ": " << std::get<std::string>(back);
            EXPECT_TRUE(std::get<ArchivedDownload>(back) == downloads[i]) << path;
        }
        // One file each, numbered from the second on without a gap.
        std::set<std::string> expected{"20150502T003000Z.wing"};
        for (std::size_t n = 2; n <= downloads.size(); ++n) expected.insert("20150502T003000Z_" + std::to_string(n) + ".wing");
        EXPECT_EQ(names, expected);
        EXPECT_EQ(ListArchives(ArchiveRoot()).entries.size(), downloads.size());
        EXPECT_EQ(test::FilesUnder(ArchiveRoot()).size(), downloads.size());  // no temporary file left
    }
}

TEST(Archive, LinksBelowTheLogFolderAreRefusedNamedAndNotListed) {
    struct Case {
        const char* name;
        const char* link;  // below the log folder
        bool dangling;
    };
    const Case cases[] = {
        {"archive folder", "archive", false},
        {"serial folder", "archive/WG1507A0042", false},
        {"dangling archive folder", "archive", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDrive drive;
        const fs::path elsewhere = drive.Base() / "elsewhere";
        if (!c.dangling) fs::create_directories(elsewhere);
        // A real archive of another logger, where the listing must still find it.
        fs::create_directories(drive.LogDir() / "archive");
        ArchivedDownload other = Sample(2);
        other.serial = L"WG0000B0001";
        ASSERT_TRUE(std::holds_alternative<fs::path>(WriteArchive(other)));
        const fs::path link = drive.LogDir() / c.link;
        if (std::string(c.link) == "archive") fs::remove_all(link);
        fs::create_directory_symlink(elsewhere, link);

        auto written = WriteArchive(Sample(3));
        ASSERT_TRUE(std::holds_alternative<ExportFailure>(written));
        const auto& failure = std::get<ExportFailure>(written);
        EXPECT_EQ(fs::path(failure.path), link);
        EXPECT_NE(ToUtf8(failure.reason).find("symbolic link"), std::string::npos) << ToUtf8(failure.reason);
        EXPECT_TRUE(!fs::exists(elsewhere) || fs::is_empty(elsewhere));

        const ArchiveListing listing = ListArchives(ArchiveRoot());
        ASSERT_EQ(listing.problems.size(), 1u);
        EXPECT_EQ(listing.problems[0].path, link);
        EXPECT_NE(listing.problems[0].reason.find("symbolic link"), std::string::npos);
        EXPECT_EQ(listing.entries.size(), c.link == std::string("archive") ? 0u : 1u);
    }
}

TEST(Archive, TheLogFolderItselfMayBeALinkAndAFileLinkIsNotListed) {
    test::TempDrive drive;
    const fs::path chosen = drive.Base() / "chosen";
    fs::create_directories(chosen);
    fs::create_directory_symlink(chosen, drive.LogDir());
    auto written = WriteArchive(Sample(3));
    ASSERT_TRUE(std::holds_alternative<fs::path>(written)) << ToUtf8(std::get<ExportFailure>(written).reason);
    EXPECT_TRUE(fs::exists(chosen / "archive" / "WG1507A0042" / std::get<fs::path>(written).filename()));

    // A link to an archive elsewhere is named, not listed as if it were there.
    const fs::path outside = drive.Base() / "outside.wing";
    std::ofstream(outside, std::ios::binary) << EncodeArchive(Sample(5));
    fs::create_symlink(outside, chosen / "archive" / "WG1507A0042" / "linked.wing");
    const ArchiveListing listing = ListArchives(ArchiveRoot());
    ASSERT_EQ(listing.entries.size(), 1u);
    EXPECT_EQ(listing.entries[0].count, 3u);
    ASSERT_EQ(listing.problems.size(), 1u);
    EXPECT_EQ(listing.problems[0].path.filename(), "linked.wing");
}

TEST(Archive, ReExportGivesTheSameBytesInTheZoneOfTheDay) {
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    ArchivedDownload d = Sample(300);  // crosses no day boundary in Taipei
    d.rawSlots.push_back(PositionSlot(T0 + 20 * 3600, 25125000, 121405123, 60, 0, 120));  // the next local day
    std::vector<std::pair<std::filesystem::path, std::string>> first;
    {
        test::ScopedTimeZone taipei("Asia/Taipei");
        ASSERT_TRUE(SaveFiles(CExportJob{RecordsOf(d), d.serial, d.firmware, d.langId}).empty());
        for (const auto& e : std::filesystem::recursive_directory_iterator(drive.LogDir()))
            if (e.is_regular_file()) first.emplace_back(e.path(), ReadWhole(e.path()));
    }
    ASSERT_EQ(first.size(), 3u);  // two days of KML and the CSV
    for (const auto& [path, bytes] : first) std::filesystem::remove(path);

    // Another zone in force now: the archive's own zone decides.
    test::ScopedTimeZone elsewhere("America/New_York");
    EXPECT_TRUE(ExportArchive(d).empty());
    for (const auto& [path, bytes] : first) {
        SCOPED_TRACE(path.filename().string());
        ASSERT_TRUE(std::filesystem::exists(path));
        EXPECT_EQ(ReadWhole(path), bytes);
    }
}

TEST(Archive, ReExportAddsTheGpxWhenAskedSplitByTheDaysOfTheDownload) {
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    ArchivedDownload d = Sample(300);  // 08:30 to 11:00 in Taipei: across midnight in New York
    d.rawSlots.push_back(PositionSlot(T0 + 20 * 3600, 25125000, 121405123, 60, 0, 120));  // the next local day
    const ExportFormats withGpx = FormatsForLanguage(d.langId, true);
    auto gpxFiles = [&] {
        std::vector<std::filesystem::path> out;
        for (const auto& f : test::FilesUnder(drive.LogDir()))
            if (f.extension() == ".gpx") out.push_back(f);
        return out;
    };
    std::string onTheDay;
    {
        test::ScopedTimeZone taipei("Asia/Taipei");
        ASSERT_TRUE(SaveFiles(CExportJob{RecordsOf(d), d.serial, d.firmware, d.langId, withGpx}).empty());
        ASSERT_EQ(gpxFiles().size(), 1u);
        onTheDay = ReadWhole(gpxFiles()[0]);
        std::filesystem::remove_all(drive.LogDir());
    }

    test::ScopedTimeZone elsewhere("America/New_York");
    EXPECT_TRUE(ExportArchive(d).empty());
    EXPECT_TRUE(gpxFiles().empty());  // the language of the day chose no GPX
    EXPECT_TRUE(ExportArchive(d, withGpx).empty());
    const auto gpx = gpxFiles();
    ASSERT_EQ(gpx.size(), 1u);
    EXPECT_EQ(ReadWhole(gpx[0]), onTheDay);
    // Taipei's days: the 300 points of the first, the one of the next.
    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_string(onTheDay.c_str()));
    std::vector<std::size_t> points;
    for (auto trk : doc.child("gpx").children("trk"))
        points.push_back(trk.child("trkseg").select_nodes("trkpt").size());
    EXPECT_EQ(points, (std::vector<std::size_t>{300, 1}));
}

// A download in Berlin the night summer time ends (03:00 CEST is 02:00 CET, 01:00 UTC on
// 31 October 2027): one fix a minute from 23:00 CEST to 02:59 CET.
ArchivedDownload BerlinNight(std::uint8_t status = 0) {
    ArchivedDownload d = Sample(0, 1825030000);
    d.timeZone = "Europe/Berlin";
    d.utcOffsetSeconds = 3600;
    for (int i = 0; i < 300; ++i)
        d.rawSlots.push_back(PositionSlot(1824930000 + 60 * i, 52520000 + 100 * i, 13240000 + 100 * i, 60, status, 40));
    return d;
}

std::map<std::string, std::string> ExportedFiles(const std::filesystem::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& f : test::FilesUnder(folder))
        if (f.extension() != ".wing") out[f.filename().string()] = ReadWhole(f);
    return out;
}

TEST(ArchiveZone, ReExportIsTheSameFilesAndBytesWhateverThePcsZone) {
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    const ArchivedDownload d = BerlinNight();
    const ExportFormats all{true, true, false, true};
    std::optional<std::map<std::string, std::string>> first;
    for (const char* pcZone : {"UTC", "Asia/Taipei", "America/New_York"}) {
        SCOPED_TRACE(pcZone);
        test::ScopedTimeZone tz(pcZone);
        std::filesystem::remove_all(drive.LogDir());
        ASSERT_TRUE(ExportArchive(d, all).empty());
        const auto files = ExportedFiles(drive.LogDir());
        if (!first) {
            first = files;
            continue;
        }
        EXPECT_EQ(files, *first);
    }
    // Berlin's days and clocks: midnight at 22:00 UTC, the hour from 02:00 shown twice.
    std::vector<std::string> names;
    for (const auto& [name, bytes] : *first) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::string>{"WG1507A0042_2027_10_30_23_00_00_2027_10_30_23_59_00.kml",
                                               "WG1507A0042_2027_10_30_23_00_00_2027_10_31_02_58_00.csv",
                                               "WG1507A0042_2027_10_30_23_00_00_2027_10_31_02_58_00.gpx",
                                               "WG1507A0042_2027_10_31_00_00_00_2027_10_31_02_59_00.kml"}));
    const std::string& csv = first->at(names[1]);
    std::size_t shown = 0;
    for (auto at = csv.find("\r\n2027-10-31  02:30:00,"); at != std::string::npos; at = csv.find("\r\n2027-10-31  02:30:00,", at + 1))
        ++shown;
    EXPECT_EQ(shown, 2u);
    const std::string& night = first->at(names[3]);
    EXPECT_NE(night.find("(UTC+2.0)"), std::string::npos);  // before three o'clock summer time
    EXPECT_NE(night.find("(UTC+1.0)"), std::string::npos);  // after it
}

TEST(ArchiveZone, AnExportLeavesThePcsZoneToTheRestOfTheProcess) {
    test::TempDrive drive;
    test::ScopedTimeZone tz("Asia/Taipei");
    // The no-fix box shows while the export runs: the zone the rest of the process sees then.
    std::vector<std::string> seen;
    const auto previous = SetMessageBoxHandler([&](const MessageBoxRequest&) {
        const char* value = std::getenv("TZ");
        seen.push_back(value ? value : "(unset)");
        return IDOK;
    });
    const auto failures = ExportArchive(BerlinNight(0x21));
    SetMessageBoxHandler(previous);
    EXPECT_TRUE(failures.empty());
    EXPECT_EQ(seen, std::vector<std::string>{"Asia/Taipei"});
}

TEST(ArchiveZone, TheArchivesZoneOrThePcsOrAClearFailure) {
    test::TempDrive drive;
    test::MessageBoxRecorder boxes;
    test::ScopedTimeZone tz("Asia/Taipei");
    struct Case {
        const char* stored;
        const char* zone;  // null: not a zone this system knows
    } cases[] = {
        {"Europe/Berlin", "Europe/Berlin"},
        {":Europe/Berlin", "Europe/Berlin"},
        {"", "Asia/Taipei"},  // an archive that names none: the machine's own
        {"Mars/Olympus", nullptr},
        {"Europe/Berlin\x01", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        ArchivedDownload d = BerlinNight();
        d.timeZone = c.stored;
        const auto zone = ArchiveZone(d);
        std::filesystem::remove_all(drive.LogDir());
        const auto failures = ExportArchive(d);
        if (c.zone) {
            ASSERT_TRUE(std::holds_alternative<TimeZone>(zone));
            EXPECT_EQ(std::get<TimeZone>(zone).Name(), c.zone);
            EXPECT_TRUE(failures.empty());
            continue;
        }
        ASSERT_TRUE(std::holds_alternative<std::string>(zone));
        EXPECT_NE(std::get<std::string>(zone).find(c.stored), std::string::npos);
        // Nothing written in another zone: one failure naming the zone, and no file.
        ASSERT_EQ(failures.size(), 1u);
        EXPECT_NE(failures[0].reason.find(L"time zone"), std::wstring::npos);
        EXPECT_TRUE(ExportedFiles(drive.Root()).empty());
    }
}

}  // namespace
}  // namespace wing
