// Setting a logger for a flight, reading and saving its log, and the automatic jobs of a
// station, against the simulator, without a window.

#include <gtest/gtest.h>

#include <ctime>
#include <functional>
#include <pugixml.hpp>
#include <set>

#include "archive/download_archive.h"
#include "export/export_job.h"
#include "session/session_rig.h"
#include "support/expected_csv.h"
#include "support/files.h"

namespace wing {
namespace {

using test::QuickLogger;
using test::FilesUnder;
using test::ReadWhole;
using test::SessionRig;

std::uint32_t Now() { return static_cast<std::uint32_t>(std::time(nullptr)); }

// ---- setting --------------------------------------------------------------------------

struct SetCase {
    const char* name;
    std::function<void(sim::SimConfig&)> setup;
    FlightSetting setting;
    std::function<void(SessionRig&)> check;
};

void PrintTo(const SetCase& c, std::ostream* os) { *os << c.name; }

class SetFlow : public ::testing::TestWithParam<SetCase> {};

TEST_P(SetFlow, EndsAsTheLoggerAnswers) {
    auto config = QuickLogger();
    GetParam().setup(config);
    SessionRig rig(config);
    ASSERT_TRUE(rig.LinkAndWait());
    ASSERT_EQ(rig.session.CheckSetting(), SettingRequest::Allowed);
    rig.session.SetForFlight(GetParam().setting);
    EXPECT_TRUE(rig.session.SettingUnderWay());
    GetParam().check(rig);
}

// The status that follows the setting, compared with what was sent.
std::optional<bool> Verdict(SessionRig& rig) {
    rig.events.WaitUntil(
        [](const auto& events) {
            for (const auto& e : events)
                if (auto* s = std::get_if<ev::StatusRead>(&e); s && s->settingHeld) return true;
            return false;
        },
        5);
    for (const auto& e : rig.events.All())
        if (auto* s = std::get_if<ev::StatusRead>(&e); s && s->settingHeld) return s->settingHeld;
    return std::nullopt;
}

const std::uint32_t kInAnHour = Now() + 3600;

INSTANTIATE_TEST_SUITE_P(
    Session, SetFlow,
    ::testing::Values(
        SetCase{"StartNowIsHeld", [](sim::SimConfig&) {}, FlightSetting{0, 3, 0},
                [](SessionRig& rig) {
                    EXPECT_EQ(Verdict(rig), std::optional<bool>(true));
                    EXPECT_FALSE(rig.session.SettingUnderWay());
                    // The log is erased before the mode is set.
                    auto received = rig.Received();
                    auto erase = std::find(received.begin(), received.end(), "Delete log");
                    ASSERT_NE(erase, received.end());
                    EXPECT_EQ(*(erase + 1), "Set Mode");
                    EXPECT_EQ(rig.simulator.State().recordMode, 3);
                    EXPECT_EQ(rig.simulator.State().logCount, 0);
                }},
        SetCase{"ReservedStartIsHeld", [](sim::SimConfig&) {}, FlightSetting{1, 1, kInAnHour},
                [](SessionRig& rig) {
                    EXPECT_EQ(Verdict(rig), std::optional<bool>(true));
                    EXPECT_EQ(rig.simulator.State().reservedStart, kInAnHour);
                    EXPECT_EQ(rig.session.ShownStartKind(), 1u);
                    EXPECT_EQ(rig.session.ShownStartTime(), kInAnHour);
                }},
        SetCase{"ALoggerThatStoresAnotherTimeIsNotHeld", [](sim::SimConfig& c) { c.setModeTimeSkew = 60; },
                FlightSetting{1, 1, kInAnHour}, [](SessionRig& rig) { EXPECT_EQ(Verdict(rig), std::optional<bool>(false)); }},
        SetCase{"SetModeRefused", [](sim::SimConfig& c) { c.faults.refusals.push_back({2, 1, 6, 0}); },
                FlightSetting{0, 3, 0},
                [](SessionRig& rig) {
                    auto refused = rig.events.WaitFor<ev::Refused>(0, 5);
                    ASSERT_TRUE(refused);
                    EXPECT_EQ(refused->command, CommandKind::SetMode);
                    EXPECT_EQ(refused->code, 6u);
                    EXPECT_TRUE(rig.events.WaitFor<ev::LinkClosed>(0, 5));
                    EXPECT_FALSE(rig.session.SettingUnderWay());
                }},
        SetCase{"EraseRefused", [](sim::SimConfig& c) { c.faults.refusals.push_back({3, 2, 9, 0}); },
                FlightSetting{0, 3, 0},
                [](SessionRig& rig) {
                    auto refused = rig.events.WaitFor<ev::Refused>(0, 5);
                    ASSERT_TRUE(refused);
                    EXPECT_EQ(refused->command, CommandKind::DeleteLog);
                    EXPECT_TRUE(rig.events.WaitFor<ev::LinkClosed>(0, 5));
                    EXPECT_EQ(rig.ReceivedCount("Set Mode"), 0);
                }},
        SetCase{"SetModeUnanswered",
                [](sim::SimConfig& c) { c.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1, 2, 1}); },
                FlightSetting{0, 3, 0},
                [](SessionRig& rig) {
                    auto silent = rig.events.WaitFor<ev::NoAnswer>(0, 8);
                    ASSERT_TRUE(silent);
                    EXPECT_EQ(silent->command, CommandKind::SetMode);
                    EXPECT_TRUE(rig.events.WaitFor<ev::LinkClosed>(0, 8));
                    EXPECT_FALSE(rig.session.SettingUnderWay());
                }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SessionSetting, ALoggerWithItsSwitchOffIsNotSetAndNothingIsSent) {
    auto config = QuickLogger();
    config.switchPos = 0;
    SessionRig rig(config);
    ASSERT_TRUE(rig.LinkAndWait());
    EXPECT_EQ(rig.session.CheckSetting(), SettingRequest::SwitchOff);
    EXPECT_EQ(rig.ReceivedCount("Set Mode"), 0);
}

// ---- read and save ------------------------------------------------------------------

struct ReadCase {
    const char* name;
    std::function<void(sim::SimConfig&)> setup;
    ReadRequest request;
    std::function<void(SessionRig&)> check;
};

void PrintTo(const ReadCase& c, std::ostream* os) { *os << c.name; }

class ReadFlow : public ::testing::TestWithParam<ReadCase> {};

TEST_P(ReadFlow, EndsAsTheLoggerAnswers) {
    auto config = QuickLogger(40);
    config.switchPos = 0;
    GetParam().setup(config);
    SessionRig rig(config);
    ASSERT_TRUE(rig.LinkAndWait());
    EXPECT_EQ(rig.session.ReadAndSave(), GetParam().request);
    GetParam().check(rig);
}

void NoFilesAndLinkClosed(SessionRig& rig) {
    EXPECT_TRUE(rig.events.WaitFor<ev::LinkClosed>(0, 8)) << ::testing::PrintToString(rig.events.Names());
    EXPECT_FALSE(rig.session.ReadUnderWay());
    EXPECT_EQ(rig.events.Count<ev::FilesSaved>(), 0u);
    EXPECT_TRUE(FilesUnder(rig.drive).empty());
}

INSTANTIATE_TEST_SUITE_P(
    Session, ReadFlow,
    ::testing::Values(
        ReadCase{"Answered", [](sim::SimConfig&) {}, ReadRequest::Started,
                 [](SessionRig& rig) {
                     auto saved = rig.events.WaitFor<ev::FilesSaved>(0, 10);
                     ASSERT_TRUE(saved) << ::testing::PrintToString(rig.events.Names());
                     EXPECT_TRUE(saved->failures.empty());
                     auto done = rig.events.WaitFor<ev::ReadDone>();
                     EXPECT_EQ(done->count, 40u);
                     EXPECT_EQ(rig.events.Count<ev::ReadProgress>(), 5u);
                     EXPECT_FALSE(rig.session.ReadUnderWay());
                     // The CSV holds the logger's records, every one, as it holds them.
                     const auto slots = rig.simulator.LogSlots();
                     ASSERT_EQ(rig.session.Records().size(), slots.size());
                     std::vector<std::filesystem::path> csvs;
                     for (const auto& f : FilesUnder(rig.drive))
                         if (f.extension() == ".csv") csvs.push_back(f);
                     ASSERT_EQ(csvs.size(), 1u);
                     EXPECT_EQ(ReadWhole(csvs[0]), test::ExpectedCsv(slots, L"WG1507A0042", L"V 1.2.3.4", 1033));
                     EXPECT_EQ(rig.ReceivedCount("Read Log"), 5);
                     // Unless asked for, no GPX.
                     for (const auto& f : FilesUnder(rig.drive)) EXPECT_NE(f.extension(), ".gpx") << f;
                 }},
        ReadCase{"EmptyLog", [](sim::SimConfig& c) { c.records = std::vector<sim::LogSlot>{}; }, ReadRequest::Started,
                 [](SessionRig& rig) {
                     EXPECT_TRUE(rig.events.WaitFor<ev::LogEmpty>(0, 5));
                     EXPECT_FALSE(rig.session.ReadUnderWay());
                     EXPECT_EQ(rig.ReceivedCount("Read Log"), 0);
                 }},
        ReadCase{"SwitchOn", [](sim::SimConfig& c) { c.switchPos = 1; }, ReadRequest::SwitchOn,
                 [](SessionRig& rig) { EXPECT_EQ(rig.ReceivedCount("Query Log Number"), 0); }},
        ReadCase{"RaceNotStarted",
                 [](sim::SimConfig& c) {
                     c.startType = 1;
                     c.reservedStart = Now() + 3600;
                 },
                 ReadRequest::NotStarted, [](SessionRig& rig) { EXPECT_EQ(rig.ReceivedCount("Query Log Number"), 0); }},
        ReadCase{"CountRefused", [](sim::SimConfig& c) { c.faults.refusals.push_back({3, 1, 9, 0}); },
                 ReadRequest::Started,
                 [](SessionRig& rig) {
                     auto refused = rig.events.WaitFor<ev::Refused>(0, 5);
                     ASSERT_TRUE(refused);
                     EXPECT_EQ(refused->command, CommandKind::QueryLogCount);
                     NoFilesAndLinkClosed(rig);
                 }},
        // The refusal ends the read at once: the page is asked for once, not three times.
        ReadCase{"PageRefused", [](sim::SimConfig& c) { c.faults.refusals.push_back({3, 0, 9, 0}); },
                 ReadRequest::Started,
                 [](SessionRig& rig) {
                     auto refused = rig.events.WaitFor<ev::Refused>(0, 5);
                     ASSERT_TRUE(refused);
                     EXPECT_EQ(refused->command, CommandKind::ReadLog);
                     EXPECT_EQ(refused->code, 9u);
                     NoFilesAndLinkClosed(rig);
                     EXPECT_EQ(rig.ReceivedCount("Read Log"), 1);
                     EXPECT_EQ(rig.events.Count<ev::NoAnswer>(), 0u);
                 }},
        ReadCase{"PageUnanswered",
                 [](sim::SimConfig& c) { c.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1, 3, 0}); },
                 ReadRequest::Started,
                 [](SessionRig& rig) {
                     auto silent = rig.events.WaitFor<ev::NoAnswer>(0, 8);
                     ASSERT_TRUE(silent);
                     EXPECT_EQ(silent->command, CommandKind::ReadLog);
                     NoFilesAndLinkClosed(rig);
                 }},
        // Pages that are never whole are never taken: the read fails and says so.
        ReadCase{"EveryPageCutShort",
                 [](sim::SimConfig& c) {
                     c.faults.replyFaults.push_back({sim::ReplyFaultKind::Reshape, 1, 3, 0, 120});
                 },
                 ReadRequest::Started,
                 [](SessionRig& rig) {
                     auto silent = rig.events.WaitFor<ev::NoAnswer>(0, 8);
                     ASSERT_TRUE(silent) << ::testing::PrintToString(rig.events.Names());
                     EXPECT_EQ(silent->command, CommandKind::ReadLog);
                     NoFilesAndLinkClosed(rig);
                     EXPECT_EQ(rig.ReceivedCount("Read Log"), 3);
                 }},
        ReadCase{"HungUpMidway", [](sim::SimConfig& c) { c.faults.hangUpAfterPages = 2; }, ReadRequest::Started,
                 [](SessionRig& rig) {
                     auto silent = rig.events.WaitFor<ev::NoAnswer>(0, 8);
                     ASSERT_TRUE(silent);
                     EXPECT_EQ(silent->command, CommandKind::ReadLog);
                     NoFilesAndLinkClosed(rig);
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

// The saved download against what the logger answers for its count, slot by slot and
// record by record: the archive, the records and the CSV.
void ExpectDownloadOf(SessionRig& rig, const std::vector<sim::LogSlot>& slots) {
    auto saved = rig.events.WaitFor<ev::FilesSaved>(0, 40);
    ASSERT_TRUE(saved) << ::testing::PrintToString(rig.events.Names());
    ASSERT_TRUE(saved->failures.empty());
    auto archive = ReadArchive(saved->archivePath);
    ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(archive)) << std::get<std::string>(archive);
    const auto& raw = std::get<ArchivedDownload>(archive).rawSlots;
    ASSERT_EQ(raw.size(), slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) ASSERT_EQ(raw[i], slots[i]) << "slot " << i;
    const CLogRecordList expected = test::ExpectedRecords(slots);
    ASSERT_EQ(rig.session.Records().size(), expected.size());
    std::vector<std::filesystem::path> csvs;
    for (const auto& f : FilesUnder(rig.drive))
        if (f.extension() == ".csv") csvs.push_back(f);
    ASSERT_EQ(csvs.size(), 1u);
    EXPECT_EQ(ReadWhole(csvs[0]), test::ExpectedCsv(slots, L"WG1507A0042", L"V 1.2.3.4", 1033));
}

// How many of the logger's replies carried a fault whose note holds `note`.
int FaultedReplies(const SessionRig& rig, const std::string& note) {
    int n = 0;
    for (const auto& e : rig.simulator.FrameLog()) n += !e.fromPc && e.note.find(note) != std::string::npos ? 1 : 0;
    return n;
}

struct PageCase {
    const char* name;
    std::function<void(sim::SimConfig&)> setup;
    int extraRequests;  // -1: one more for each reshaped reply
};

// Replies to Read Log that are not whole pages, and pages that repeat the one before:
// each download is the logger's slots, exactly, up to the count it reports.
TEST(SessionRead, EveryPageIsTheOneAskedForWhateverItsLengthOrLikeness) {
    auto reshaped = [](int every, int extra) {
        return [every, extra](sim::SimConfig& c) {
            c.faults.replyFaults.push_back({sim::ReplyFaultKind::Reshape, every, 3, 0, extra});
        };
    };
    auto erased = [](int pages, int lateEvery) {
        return [pages, lateEvery](sim::SimConfig& c) {
            c.faults.overcount = 8 * pages;
            if (lateEvery > 0) c.faults.replyFaults.push_back({sim::ReplyFaultKind::DuplicateLate, lateEvery, 3, 0});
        };
    };
    const PageCase cases[] = {
        {"every 3rd page 120 bytes", reshaped(3, 120), -1},
        {"every 3rd page without its page", reshaped(3, 0), -1},
        {"every 3rd page 127 bytes", reshaped(3, 127), -1},
        {"every 3rd page 129 bytes", reshaped(3, 129), -1},
        {"a late copy of every 2nd page before the true one",
         [](sim::SimConfig& c) { c.faults.replyFaults.push_back({sim::ReplyFaultKind::DuplicateLate, 2, 3, 0}); }, 0},
        // The first erased page differs from the last written one; each later one is
        // the same 128 bytes and is asked for twice.
        {"two identical erased pages", erased(2, 0), 1},
        {"three identical erased pages", erased(3, 0), 2},
        {"eight identical erased pages", erased(8, 0), 7},
        {"three erased pages, each with a late copy of the one before", erased(3, 1), 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto config = QuickLogger(40);
        config.switchPos = 0;
        c.setup(config);
        SessionRig rig(config);
        ASSERT_TRUE(rig.LinkAndWait());
        ASSERT_EQ(rig.session.ReadAndSave(), ReadRequest::Started);
        const auto slots = rig.simulator.ReportedSlots();
        ExpectDownloadOf(rig, slots);
        const int pages = static_cast<int>((slots.size() + 7) / 8);
        const int extra = c.extraRequests >= 0 ? c.extraRequests : FaultedReplies(rig, "bytes of extra data");
        if (c.extraRequests < 0) {
            EXPECT_GT(extra, 0);
        }
        EXPECT_EQ(rig.ReceivedCount("Read Log"), pages + extra);
        EXPECT_EQ(rig.events.Count<ev::NoAnswer>(), 0u);
    }
}

TEST(SessionRead, ASecondRequestDuringADownloadStartsNothing) {
    auto config = QuickLogger(200);
    config.switchPos = 0;
    SessionRig rig(config);
    ASSERT_TRUE(rig.LinkAndWait());
    ASSERT_EQ(rig.session.ReadAndSave(), ReadRequest::Started);
    EXPECT_EQ(rig.session.ReadAndSave(), ReadRequest::Busy);
    EXPECT_EQ(rig.session.CheckSetting(), SettingRequest::Busy);
    ASSERT_TRUE(rig.events.WaitFor<ev::FilesSaved>(0, 10));
    EXPECT_EQ(rig.session.Records().size(), 200u);
    EXPECT_EQ(rig.ReceivedCount("Query Log Number"), 1);
}

TEST(SessionArchive, EveryDownloadIsArchivedAsReceivedAndReExportsToTheSameBytes) {
    auto config = QuickLogger(300);
    config.switchPos = 0;
    SessionRig rig(config);
    ASSERT_TRUE(rig.LinkAndWait());
    ASSERT_EQ(rig.session.ReadAndSave(), ReadRequest::Started);
    auto saved = rig.events.WaitFor<ev::FilesSaved>(0, 15);
    ASSERT_TRUE(saved);
    ASSERT_TRUE(saved->failures.empty());
    ASSERT_FALSE(saved->archivePath.empty());
    EXPECT_EQ(saved->archivePath, rig.session.LastArchive());

    auto read = ReadArchive(saved->archivePath);
    ASSERT_TRUE(std::holds_alternative<ArchivedDownload>(read)) << std::get<std::string>(read);
    const auto& archive = std::get<ArchivedDownload>(read);
    EXPECT_EQ(archive.serial, L"WG1507A0042");
    EXPECT_EQ(archive.firmware, L"V 1.2.3.4");
    const auto slots = rig.simulator.LogSlots();
    ASSERT_EQ(archive.rawSlots.size(), slots.size());
    for (std::size_t i = 0; i < slots.size(); ++i) ASSERT_EQ(archive.rawSlots[i], slots[i]) << "slot " << i;

    // The exports again from the archive alone: the same files, the same bytes.
    std::vector<std::pair<std::filesystem::path, std::string>> first;
    for (const auto& f : FilesUnder(rig.drive))
        if (f.extension() != ".wing") first.emplace_back(f, ReadWhole(f));
    ASSERT_GE(first.size(), 2u);
    for (const auto& [path, bytes] : first) std::filesystem::remove(path);
    EXPECT_TRUE(ExportArchive(archive).empty());
    for (const auto& [path, bytes] : first) {
        SCOPED_TRACE(path.filename().string());
        EXPECT_EQ(ReadWhole(path), bytes);
    }
}

// The time of a record as the GPX must carry it.
std::string Utc(std::uint32_t time) {
    const std::time_t t = time;
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return text;
}

int LocalDay(std::uint32_t time) {
    const std::time_t t = time;
    std::tm local{};
    localtime_r(&t, &local);
    return local.tm_year * 400 + local.tm_yday;
}

TEST(SessionRead, WithGpxChosenTheGpxHoldsTheLoggersGoodPointsOneByOne) {
    // A flight across local midnight with fixes at 0, 0, records without a fix, satellite
    // records, and one fix a degree off the track: a jump no pigeon flies.
    sim::FlightSpec flight;
    flight.crossMidnight = true;
    flight.zeroFix = true;
    std::vector<sim::LogSlot> slots = sim::GenerateFlightLog(flight);
    CLogRecordList records = test::ExpectedRecords(slots);
    std::size_t jump = records.size() / 2;
    while (jump < records.size() && !(records[jump].kind == 0 && records[jump].IsFix() && records[jump].latitude != 0))
        ++jump;
    ASSERT_LT(jump, records.size());
    const std::int32_t farNorth = records[jump].latitude + 1000000;
    for (int b = 0; b < 4; ++b) slots[jump][4 + b] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(farNorth) >> (8 * b));
    records = test::ExpectedRecords(slots);
    ASSERT_EQ(records[jump].latitude, farNorth);

    auto config = QuickLogger();
    config.switchPos = 0;
    config.records = slots;
    SessionRig rig(config);
    rig.session.SetExportFormats(FormatsForLanguage(1033, true));
    ASSERT_TRUE(rig.LinkAndWait());
    ASSERT_EQ(rig.session.ReadAndSave(), ReadRequest::Started);
    auto saved = rig.events.WaitFor<ev::FilesSaved>(0, 30);
    ASSERT_TRUE(saved) << ::testing::PrintToString(rig.events.Names());
    EXPECT_TRUE(saved->failures.empty());

    std::vector<std::filesystem::path> gpxs, csvs, kmls;
    for (const auto& f : FilesUnder(rig.drive)) {
        if (f.extension() == ".gpx") gpxs.push_back(f);
        if (f.extension() == ".csv") csvs.push_back(f);
        if (f.extension() == ".kml") kmls.push_back(f);
    }
    ASSERT_EQ(csvs.size(), 1u);
    EXPECT_EQ(ReadWhole(csvs[0]), test::ExpectedCsv(slots, L"WG1507A0042", L"V 1.2.3.4", 1033));
    EXPECT_GE(kmls.size(), 2u);
    ASSERT_EQ(gpxs.size(), 1u);
    EXPECT_EQ(gpxs[0].stem(), csvs[0].stem());

    // The good points: position fixes with a position, but the jump.
    std::vector<std::size_t> good;
    int zero = 0, noFix = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const CLogRecord& r = records[i];
        if (r.kind != 0) continue;
        if (!r.IsFix()) ++noFix;
        else if (r.latitude == 0 && r.longitude == 0) ++zero;
        else if (i != jump) good.push_back(i);
    }
    ASSERT_EQ(zero, 1);
    ASSERT_GT(noFix, 0);

    pugi::xml_document doc;
    ASSERT_TRUE(doc.load_file(gpxs[0].c_str()));
    std::size_t next = 0;
    std::set<int> days;
    for (auto trk : doc.child("gpx").children("trk")) {
        std::set<int> trackDays;
        for (auto p : trk.child("trkseg").children("trkpt")) {
            ASSERT_LT(next, good.size());
            const CLogRecord& r = records[good[next++]];
            SCOPED_TRACE("record " + std::to_string(good[next - 1]));
            EXPECT_NEAR(p.attribute("lat").as_double(), r.LatitudeDegrees(), 5e-7);
            EXPECT_NEAR(p.attribute("lon").as_double(), r.LongitudeDegrees(), 5e-7);
            EXPECT_EQ(p.child_value("ele"), std::to_string(r.altitude));
            EXPECT_EQ(p.child_value("time"), Utc(r.time));
            trackDays.insert(LocalDay(r.time));
        }
        EXPECT_EQ(trackDays.size(), 1u);  // a track is one local day
        days.insert(trackDays.begin(), trackDays.end());
    }
    EXPECT_EQ(next, good.size());
    EXPECT_EQ(days.size(), 2u);
    EXPECT_EQ(std::distance(doc.child("gpx").children("trk").begin(), doc.child("gpx").children("trk").end()), 2);
    EXPECT_STREQ(doc.child("gpx").child("metadata").child_value("name"), "WG1507A0042");
}

// ---- automatic jobs -------------------------------------------------------------------

TEST(SessionAutoJob, ReadIsDueOnceALoggerLinksAndRunsWhenTheFrontEndAsks) {
    auto config = QuickLogger(16);
    config.switchPos = 0;
    SessionRig rig(config);
    rig.session.SetAutoJob(AutoJob::Read);
    ASSERT_TRUE(rig.LinkAndWait());
    auto due = rig.events.WaitFor<ev::AutoJobDue>(0, 2);
    ASSERT_TRUE(due);
    EXPECT_EQ(due->job, AutoJob::Read);
    ASSERT_EQ(rig.session.ReadAndSave(), ReadRequest::Started);
    ASSERT_TRUE(rig.events.WaitFor<ev::FilesSaved>(0, 10));
    EXPECT_EQ(rig.session.Records().size(), 16u);
    // Due once a link, not with every status.
    std::this_thread::sleep_for(std::chrono::milliseconds(1200));
    EXPECT_EQ(rig.events.Count<ev::AutoJobDue>(), 1u);
}

TEST(SessionAutoJob, SetIsDueOnceALoggerLinksAndNothingIsDueWithoutAJob) {
    for (AutoJob job : {AutoJob::Set, AutoJob::None}) {
        SCOPED_TRACE(job == AutoJob::Set ? "set" : "none");
        SessionRig rig(QuickLogger());
        rig.session.SetAutoJob(job);
        ASSERT_TRUE(rig.LinkAndWait());
        auto due = rig.events.WaitFor<ev::AutoJobDue>(0, job == AutoJob::Set ? 2 : 1);
        if (job == AutoJob::None) {
            EXPECT_FALSE(due);
            continue;
        }
        ASSERT_TRUE(due);
        EXPECT_EQ(due->job, AutoJob::Set);
        rig.session.SetForFlight(FlightSetting{0, 3, 0});
        EXPECT_EQ(Verdict(rig), std::optional<bool>(true));
    }
}

}  // namespace
}  // namespace wing
