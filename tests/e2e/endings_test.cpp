// Every way a link, a setting and a download can end, one row each: whatever the ending,
// the fancier gets LINK and Exit back within the window's bounds, can link a logger
// again and can close the window.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "platform/text.h"
#include "window_rig.h"

namespace wing {
namespace {

using test::WindowHost;

enum class Action { Link, Setting, Read };

struct Ending {
    const char* name;
    Action action;
    std::function<void(sim::SimConfig&)> fault;
    // The ending, as the window shows it (and the logger saw it).
    std::function<bool(WindowHost&, const sim::LoggerSimulator&)> shown;
    // Done right after the action's click (a close attempt, an answer kept from the window).
    std::function<void(WindowHost&)> meanwhile = {};
    bool windowCloses = false;
    // Done right before the action's click (an answer kept from the session: the flow
    // that answers may start before the click returns).
    std::function<void(WindowHost&)> before = {};
};

bool ErrorLineHas(WindowHost& h, unsigned id) { return h.StaticText(IDC_ERROR_LINE).find(h.dlg->Text(id)) != std::wstring::npos; }
bool RefusalReport(WindowHost& h, const sim::LoggerSimulator&) { return h.Unlinked() && ErrorLineHas(h, 171); }
bool NoAnswer(WindowHost& h, const std::wstring& command) {
    return h.Unlinked() && h.StaticText(IDC_ERROR_LINE) == h.dlg->Text(154) + L" [" + command + L"] " + h.dlg->Text(173);
}
bool ReadMessageStartsWith(WindowHost& h, unsigned id) {
    return h.StaticText(IDC_READ_MESSAGE).rfind(h.dlg->Text(id), 0) == 0 && h.dlg->IsItemEnabled(IDC_LINK);
}
bool SummaryShown(WindowHost& h, const sim::LoggerSimulator&) {
    for (const auto& box : h.Boxes())
        if (box.text.rfind(h.dlg->Text(159), 0) == 0) return h.Linked() && h.dlg->IsItemEnabled(IDC_LINK);
    return false;
}
void AttemptClose(WindowHost& h) { h.dlg->close(); }

const Ending kEndings[] = {
    {"LinkAnswered", Action::Link, [](sim::SimConfig&) {}, [](WindowHost& h, const sim::LoggerSimulator&) { return h.Linked(); }},
    {"LinkRefused", Action::Link, [](sim::SimConfig& c) { c.faults.refusals.push_back({1, 1, 9, 0}); }, RefusalReport},
    {"LinkUnanswered", Action::Link,
     [](sim::SimConfig& c) { c.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1, 1, 0}); },
     [](WindowHost& h, const sim::LoggerSimulator&) { return NoAnswer(h, L"Query Staus"); }},
    {"LinkBoardMissingAtFirstStatus", Action::Link,
     [](sim::SimConfig& c) {
         c.faults.boardMissingFrom = 0;
         c.faults.boardMissingTo = 60;
     },
     RefusalReport},
    {"LinkBoardMissingThenBack", Action::Link,
     [](sim::SimConfig& c) {
         c.faults.boardMissingFrom = 2.5;
         c.faults.boardMissingTo = 4;
     },
     [](WindowHost& h, const sim::LoggerSimulator& logger) {
         int versions = 0;  // the re-link asks for the version again
         for (const auto& e : logger.FrameLog()) versions += e.fromPc && e.command == 1 && e.sub == 1;
         return versions >= 2 && h.Linked() && h.StaticText(IDC_SERIAL) == L"WG1507A0042";
     }},
    {"LinkClosed", Action::Link, [](sim::SimConfig&) {}, [](WindowHost& h, const sim::LoggerSimulator&) { return h.dlg->IsClosing(); },
     AttemptClose, true},

    {"SettingAnswered", Action::Setting, [](sim::SimConfig&) {}, SummaryShown},
    {"SettingRefused", Action::Setting, [](sim::SimConfig& c) { c.faults.refusals.push_back({2, 1, 6, 0}); },
     RefusalReport},
    {"SettingUnanswered", Action::Setting,
     [](sim::SimConfig& c) { c.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1, 2, 1}); },
     [](WindowHost& h, const sim::LoggerSimulator&) { return NoAnswer(h, L"Set Mode"); }},
    // The close button is greyed while the logger is being set: the attempt changes nothing.
    {"SettingCloseAttempted", Action::Setting, [](sim::SimConfig&) {}, SummaryShown, AttemptClose},

    {"ReadAnswered", Action::Read, [](sim::SimConfig&) {}, [](WindowHost& h, const sim::LoggerSimulator&) { return ReadMessageStartsWith(h, 151); }},
    {"ReadCountRefused", Action::Read, [](sim::SimConfig& c) { c.faults.refusals.push_back({3, 1, 9, 0}); },
     RefusalReport},
    {"ReadPageRefused", Action::Read, [](sim::SimConfig& c) { c.faults.refusals.push_back({3, 0, 9, 0}); },
     RefusalReport},
    {"ReadUnanswered", Action::Read,
     [](sim::SimConfig& c) { c.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1, 3, 0}); },
     [](WindowHost& h, const sim::LoggerSimulator&) { return NoAnswer(h, L"Read Log"); }},
    // The count's answer never reaches the window: the download gives up after its wait.
    {"ReadCountNeverKnown", Action::Read, [](sim::SimConfig&) {},
     [](WindowHost& h, const sim::LoggerSimulator&) { return ReadMessageStartsWith(h, 150) && h.Linked(); }, {}, false,
     [](WindowHost& h) {
         h.dlg->Session().SetAnswerGate([](const CWingMsg& command) { return !command.IsKindOf<CQueryLogNumber>(); });
     }},
    {"ReadHungUp", Action::Read, [](sim::SimConfig& c) { c.faults.hangUpAfterPages = 2; },
     [](WindowHost& h, const sim::LoggerSimulator&) { return NoAnswer(h, L"Read Log"); }},
    {"ReadCloseAttempted", Action::Read, [](sim::SimConfig&) {},
     [](WindowHost& h, const sim::LoggerSimulator&) { return ReadMessageStartsWith(h, 151); }, AttemptClose},
};

void PrintTo(const Ending& ending, std::ostream* os) { *os << ending.name; }

class Endings : public ::testing::TestWithParam<Ending> {};

TEST_P(Endings, LinkAndExitComeBackAndTheNextLinkWorks) {
    const Ending& ending = GetParam();
    WindowHost host;
    test::RigOptions options;
    options.personal = 1;  // LINK finds whichever logger is plugged in

    sim::SimConfig config = test::Logger(40);
    config.switchPos = ending.action == Action::Read ? 0 : 1;
    ending.fault(config);
    sim::LoggerSimulator logger(config);
    ASSERT_TRUE(logger.Start());
    host.OpenWindow(options, 0);

    if (ending.action == Action::Link) {
        host.Click(IDC_LINK);
    } else {
        ASSERT_TRUE(host.LinkAndWait());
        if (ending.before) ending.before(host);
        host.Click(ending.action == Action::Read ? IDC_READ_SAVE : IDC_SETTING);
    }
    if (ending.meanwhile) ending.meanwhile(host);
    // The longest ending: the count's ten-second wait, or a request's three attempts.
    ASSERT_TRUE(host.WaitFor([&] { return ending.shown(host, logger); }, 30))
        << "error line: " << ToUtf8(host.StaticText(IDC_ERROR_LINE))
        << "\nread message: " << ToUtf8(host.StaticText(IDC_READ_MESSAGE));

    if (ending.windowCloses) {
        host.CloseWindow();
        host.OpenWindow(options, 0);
    } else {
        host.dlg->Session().SetAnswerGate({});
        // Linked still: the user unlinks; closing the link is bounded by the flows' stop waits.
        if (host.Linked()) host.Click(IDC_LINK);
        EXPECT_TRUE(host.WaitFor([&] { return host.Unlinked() && host.dlg->IsItemEnabled(IDC_EXIT); }, 20))
            << "LINK " << (host.dlg->IsItemEnabled(IDC_LINK) ? "enabled" : "disabled") << ", Exit "
            << (host.dlg->IsItemEnabled(IDC_EXIT) ? "enabled" : "disabled");
    }
    logger.Stop();

    // Another logger plugged in links at once, and the window closes with Exit.
    sim::LoggerSimulator next(test::Logger(8));
    ASSERT_TRUE(next.Start());
    ASSERT_TRUE(host.LinkAndWait());
    host.Click(IDC_LINK);
    ASSERT_TRUE(host.WaitFor([&] { return host.Unlinked() && host.dlg->IsItemEnabled(IDC_EXIT); }, 20));
    host.Click(IDC_EXIT);
    EXPECT_TRUE(host.dlg->IsClosing());
}

INSTANTIATE_TEST_SUITE_P(EveryEnding, Endings, ::testing::ValuesIn(kEndings),
                         [](const ::testing::TestParamInfo<Ending>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wing
