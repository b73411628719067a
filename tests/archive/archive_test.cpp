// The archive of a download: what is written reads back the same, a damaged file is
// named and skipped, and the exports come out again in the same bytes.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <optional>
#include <pugixml.hpp>

#include "archive/download_archive.h"
#include "export/save_worker.h"
#include "log/log_fixture.h"
#include "support/files.h"

namespace wing {
namespace {

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

TEST(Archive, TheHeaderIsPlainTextWithTheSlotsChecksum) {
    const std::string bytes = EncodeArchive(Sample(3));
    const std::string header = bytes.substr(0, bytes.find("\n\n"));
    EXPECT_EQ(header.substr(0, header.find('\n')), "WING-ARCHIVE 1");
    EXPECT_NE(header.find("\ncount: 3\n"), std::string::npos);
    EXPECT_NE(header.find("\ndownloaded: 2015-05-02T00:30:00Z\n"), std::string::npos);
    EXPECT_NE(header.find("\nsha256: " + Sha256Hex(bytes.substr(bytes.find("\n\n") + 2))), std::string::npos);
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
