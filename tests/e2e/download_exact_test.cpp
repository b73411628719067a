// A download through the real window is either the logger's records, exactly, or a
// read that visibly failed with no file claiming to hold the flight.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <clocale>
#include <cstdio>
#include <functional>

#include <QLineEdit>
#include <QPushButton>

#include "platform/paths.h"
#include "platform/text.h"
#include "resources/string_table.h"
#include "settingsview/settings_window.h"
#include "support/modal.h"
#include "window_rig.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using test::Logger;
using test::ReadyToRead;
using test::WindowRig;

// The files of one extension below the rig's drive.
std::vector<fs::path> Files(WindowRig& rig, const char* extension) {
    std::vector<fs::path> out;
    for (const auto& f : rig.LogFiles())
        if (f.extension() == extension) out.push_back(f);
    return out;
}

bool ReadEnded(WindowRig& rig) {
    const std::wstring message = rig.StaticText(IDC_READ_MESSAGE);
    const bool saved = message.rfind(rig.dlg->Text(151), 0) == 0;
    const bool failed = !rig.StaticText(IDC_ERROR_LINE).empty() || message == rig.dlg->Text(150) ||
                        message == rig.dlg->Text(IDS_NOT_ALL_SAVED);
    return (saved || failed) && rig.dlg->IsItemEnabled(IDC_LINK) && rig.dlg->IsItemEnabled(IDC_EXIT);
}

bool Saved(WindowRig& rig) { return rig.StaticText(IDC_READ_MESSAGE).rfind(rig.dlg->Text(151), 0) == 0; }

// The one CSV of the download against the logger's records, as many as it reports.
void ExpectExactCsv(WindowRig& rig) {
    auto csvs = Files(rig, ".csv");
    ASSERT_EQ(csvs.size(), 1u);
    const std::string expected =
        test::ExpectedCsv(rig.simulator.ReportedSlots(), rig.dlg->Session().SerialText(), rig.dlg->Session().VersionText(), rig.dlg->m_langId);
    const std::string saved = test::ReadWhole(csvs[0]);
    if (saved == expected) return;
    // Say where they part, not just that they do.
    std::size_t at = 0;
    while (at < saved.size() && at < expected.size() && saved[at] == expected[at]) ++at;
    const std::size_t line = std::count(expected.begin(), expected.begin() + at, '\n');
    ADD_FAILURE() << "the CSV differs from the logger's records from line " << line + 1 << ":\n  saved:    "
                  << saved.substr(at - std::min<std::size_t>(at, 40), 120) << "\n  expected: "
                  << expected.substr(at - std::min<std::size_t>(at, 40), 120);
}

struct FaultCase {
    const char* name;
    std::function<void(sim::SimConfig&)> arrange;
};

TEST(DownloadExact, EveryRecordAsTheLoggerHoldsItWhateverTheLineDoes) {
    auto readLog = [](sim::ReplyFaultKind kind, int every) {
        return [kind, every](sim::SimConfig& c) { c.faults.replyFaults.push_back({kind, every, 3, 0}); };
    };
    auto reshaped = [](int every, int extraBytes) {
        return [every, extraBytes](sim::SimConfig& c) {
            c.faults.replyFaults.push_back({sim::ReplyFaultKind::Reshape, every, 3, 0, extraBytes});
        };
    };
    const FaultCase cases[] = {
        {"clean link", [](sim::SimConfig&) {}},
        {"every 5th page dropped", readLog(sim::ReplyFaultKind::Drop, 5)},
        {"every 5th page's checksum damaged", readLog(sim::ReplyFaultKind::Corrupt, 5)},
        {"every 7th page sent twice at once", readLog(sim::ReplyFaultKind::Duplicate, 7)},
        {"every 3rd page sent again after the next request", readLog(sim::ReplyFaultKind::DuplicateLate, 3)},
        {"every 4th page cut to 120 bytes", reshaped(4, 120)},
        {"every 4th page without its page", reshaped(4, 0)},
        {"every 4th page a byte short", reshaped(4, 127)},
        {"every 4th page a byte long", reshaped(4, 129)},
        {"eight erased pages past the written log", [](sim::SimConfig& c) { c.faults.overcount = 64; }},
        {"garbage before every reply", [](sim::SimConfig& c) { c.faults.garbageBytes = 37; }},
        {"replies split into pieces",
         [](sim::SimConfig& c) {
             c.faults.splitMaxChunk = 9;
             c.faults.splitDelayMs = 1;
         }},
        {"every reply delayed", [](sim::SimConfig& c) { c.faults.replyDelayMs = 150; }},
        {"a zero slot ends a page early",
         [](sim::SimConfig& c) {
             auto slots = sim::GenerateFlightLog(c.flight);
             slots[13].fill(0);  // page 8-15 ends after slot 12; slots 16-... still count
             c.records = slots;
         }},
    };
    for (const auto& fault : cases) {
        SCOPED_TRACE(fault.name);
        auto config = ReadyToRead(84);  // eleven pages, the last one part erased flash
        fault.arrange(config);
        WindowRig rig(config);
        ASSERT_TRUE(rig.LinkAndWait());
        rig.Click(IDC_READ_SAVE);
        ASSERT_TRUE(rig.WaitFor([&] { return ReadEnded(rig); }, 60));
        if (Saved(rig)) {
            ExpectExactCsv(rig);
            EXPECT_FALSE(Files(rig, ".kml").empty());
        } else {
            // A read that failed says so, and no file claims to hold the flight.
            EXPECT_TRUE(Files(rig, ".csv").empty());
            EXPECT_TRUE(Files(rig, ".kml").empty());
            ADD_FAILURE() << "the read failed; each of these faults is one the link recovers from";
        }
    }
}

// Runs `body` with the user's code set as UTF-8, as on any desktop.
class ScopedUtf8 {
public:
    ScopedUtf8() : m_old(std::setlocale(LC_CTYPE, nullptr)) { std::setlocale(LC_CTYPE, "C.UTF-8"); }
    ~ScopedUtf8() { std::setlocale(LC_CTYPE, m_old.c_str()); }

private:
    std::string m_old;
};

int RunCommand(const std::string& command, std::string& output) {
    output.clear();
    FILE* p = popen((command + " 2>&1").c_str(), "r");
    if (p == nullptr) return -1;
    char buf[4096];
    std::size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) output.append(buf, n);
    const int status = pclose(p);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Quote(const fs::path& p) { return "'" + p.string() + "'"; }

TEST(DownloadExact, AnySerialNumberGivesValidFilesInsideTheLogFolder) {
    ScopedUtf8 utf8;
    std::string big5;
    for (int i = 0; i < 43; ++i) big5 += "\xAB\x48";  // 43 double-byte characters
    const std::pair<const char*, std::string> serials[] = {
        {"erased serial area", std::string(128, '\xFF')},
        {"100 bytes of Latin-1", std::string(100, '\xE9')},
        {"43 Big5 characters", big5},
        {"control characters and line ends", "WG\x01\x1b\r\n42"},
        {"characters file names forbid", "/a\\b:c*?\"<>|"},
        {"dots", ".."},
        {"a path upwards", "../../x"},
    };
    const fs::path schema = fs::path(WING_SOURCE_DIR) / "tests/data/kml-schema/ogckml22.xsd";
    for (const auto& [what, serial] : serials) {
        SCOPED_TRACE(what);
        auto config = ReadyToRead(40);
        config.serialNumber = serial;
        WindowRig rig(config);
        ASSERT_TRUE(rig.LinkAndWait());
        rig.Click(IDC_READ_SAVE);
        ASSERT_TRUE(rig.WaitFor([&] { return ReadEnded(rig); }, 30));
        EXPECT_TRUE(Saved(rig)) << ToUtf8(rig.StaticText(IDC_READ_MESSAGE));
        EXPECT_TRUE(rig.Boxes().empty());

        const fs::path logDir = fs::path(rig.drive) / "GPSLOG";
        // Every file in the log folder, the archive in its own folder there.
        for (const auto& f : rig.LogFiles())
            EXPECT_EQ(f.extension() == ".wing" ? f.parent_path().parent_path().parent_path() : f.parent_path(), logDir)
                << f;
        ExpectExactCsv(rig);
        // The header lines are whole: the records start on the fourth line.
        const std::string csv = test::ReadWhole(Files(rig, ".csv").at(0));
        const std::size_t third = csv.find("\r\nDateTime,");
        ASSERT_NE(third, std::string::npos);
        EXPECT_EQ(std::count(csv.begin(), csv.begin() + static_cast<long>(third), '\n'), 1) << csv.substr(0, third);

        auto kmls = Files(rig, ".kml");
        ASSERT_FALSE(kmls.empty());
        for (const auto& kml : kmls) {
            std::string out;
            EXPECT_EQ(RunCommand("xmllint --noout --schema " + Quote(schema) + " " + Quote(kml), out), 0) << out;
        }
    }
}

// Read and Save pressed again at each stage of a read (as a click would that a status
// answer in flight made possible): the second press starts nothing while the first
// read runs or saves, and the files are the logger's records.
TEST(DownloadExact, ASecondPressAtAnyStageLeavesTheSavedRecordsWhole) {
    struct Stage {
        const char* name;
        std::function<bool(WindowRig&)> reached;
    };
    const Stage stages[] = {
        {"at once", [](WindowRig&) { return true; }},
        {"counting", [](WindowRig& r) { return r.ReceivedFrames(3, 1).size() == 1; }},
        {"part-way", [](WindowRig& r) { return r.ReceivedFrames(3, 0).size() >= 6; }},
        {"saving", [](WindowRig& r) { return r.StaticText(IDC_READ_MESSAGE) == r.dlg->Text(192); }},
    };
    for (const auto& stage : stages) {
        SCOPED_TRACE(stage.name);
        auto config = ReadyToRead(200);
        config.faults.replyDelayMs = 20;  // a slow logger
        WindowRig rig(config);
        ASSERT_TRUE(rig.LinkAndWait());
        rig.Click(IDC_READ_SAVE);
        ASSERT_TRUE(rig.WaitFor([&] { return stage.reached(rig); }, 30));
        rig.dlg->OnReadAndSave();
        ASSERT_TRUE(rig.WaitFor([&] { return ReadEnded(rig); }, 60));
        EXPECT_TRUE(Saved(rig));
        EXPECT_EQ(rig.ReceivedFrames(3, 1).size(), 1u);  // one count: one read
        EXPECT_EQ(rig.dlg->Session().Records().size(), 200u);
        ExpectExactCsv(rig);
        EXPECT_EQ(Files(rig, ".kml").size(), 1u);
    }
}

// The log folder moved in the settings window while a read runs: that download is saved
// whole where it started, and the next one whole in the new folder.
TEST(DownloadExact, AMovedLogFolderTakesTheNextDownloadWhole) {
    struct Restore {
        ~Restore() { SetLogFolder({}); }
    } restore;
    auto config = ReadyToRead(400);
    config.faults.replyDelayMs = 25;  // slow enough (50 pages, over a second) to move the folder part-way
    WindowRig rig(config);
    const fs::path moved = fs::path(rig.config.Root()) / "club logs";
    const fs::path onDrive = fs::path(rig.drive) / "GPSLOG";
    auto csvsIn = [](const fs::path& folder) {
        std::vector<fs::path> out;
        for (const auto& f : test::FilesUnder(folder))
            if (f.extension() == ".csv" && f.parent_path() == folder) out.push_back(f);
        return out;
    };
    auto expectExact = [&](const fs::path& folder) {
        const auto csvs = csvsIn(folder);
        ASSERT_EQ(csvs.size(), 1u) << folder;
        EXPECT_EQ(test::ReadWhole(csvs[0]),
                  test::ExpectedCsv(rig.simulator.LogSlots(), rig.dlg->Session().SerialText(),
                                    rig.dlg->Session().VersionText(), rig.dlg->m_langId));
        bool archived = false;
        for (const auto& f : test::FilesUnder(folder / "archive")) archived = archived || f.extension() == ".wing";
        EXPECT_TRUE(archived) << folder;
    };

    ASSERT_TRUE(rig.LinkAndWait());
    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ReceivedFrames(3, 0).size() >= 4; }, 30));
    ASSERT_TRUE(test::WhileModal<SettingsWindow>([&] { rig.dlg->OnSysCommand(kSettingsCommand); },
                                                 [&](SettingsWindow& w) {
                                                     w.findChild<QLineEdit*>("logFolder")->setText(QString::fromStdString(moved.string()));
                                                     w.findChild<QPushButton*>("ok")->click();
                                                 }));
    EXPECT_TRUE(LogFolderOverride().empty());  // not under a read that is under way
    ASSERT_TRUE(rig.WaitFor([&] { return ReadEnded(rig); }, 60));
    ASSERT_TRUE(Saved(rig));
    expectExact(onDrive);
    EXPECT_TRUE(csvsIn(moved).empty());
    ASSERT_TRUE(rig.WaitFor([&] { return LogFolderOverride() == moved; }, 5));

    rig.Click(IDC_READ_SAVE);
    ASSERT_TRUE(rig.WaitFor([&] { return rig.ReceivedFrames(3, 1).size() == 2 && ReadEnded(rig); }, 60));
    ASSERT_TRUE(Saved(rig));
    expectExact(moved);
    EXPECT_EQ(csvsIn(onDrive).size(), 1u);  // the first download's only
    EXPECT_EQ(LoadConfig(LANG_EN_US, UserConfigPath()).logFolder, moved.string());
}

}  // namespace
}  // namespace wing
