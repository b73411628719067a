// Linking, the status poll, the board going missing and every refusal or missing answer
// on the way, against the simulator, without a window.

#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "session/session_rig.h"

namespace wing {
namespace {

using test::QuickLogger;
using test::SessionRig;

struct LinkCase {
    const char* name;
    std::function<void(sim::SimConfig&)> setup;
    std::function<void(SessionRig&)> check;  // after the first status
};

void PrintTo(const LinkCase& c, std::ostream* os) { *os << c.name; }

class LinkFlow : public ::testing::TestWithParam<LinkCase> {};

TEST_P(LinkFlow, ReportsEachStepAndEndsLinked) {
    auto config = QuickLogger();
    GetParam().setup(config);
    SessionRig rig(config);
    ASSERT_TRUE(rig.LinkAndWait()) << ::testing::PrintToString(rig.events.Names());
    const auto names = rig.events.Names();
    const std::vector<std::string> steps = {"PortOpened", "ClockWritten", "VersionRead", "SerialRead", "StatusRead"};
    std::size_t next = 0;
    for (const auto& n : names)
        if (next < steps.size() && n == steps[next]) ++next;
    EXPECT_EQ(next, steps.size()) << ::testing::PrintToString(names);
    EXPECT_EQ(rig.events.Count<ev::Refused>() + rig.events.Count<ev::NoAnswer>(), 0u);
    EXPECT_EQ(rig.session.LinkPort(), rig.port.comNumber);
    GetParam().check(rig);
}

INSTANTIATE_TEST_SUITE_P(
    Session, LinkFlow,
    ::testing::Values(
        LinkCase{"Answered", [](sim::SimConfig&) {},
                 [](SessionRig& rig) {
                     EXPECT_EQ(rig.events.WaitFor<ev::VersionRead>()->text, L"V 1.2.3.4");
                     auto sn = rig.events.WaitFor<ev::SerialRead>();
                     EXPECT_EQ(sn->text, L"WG1507A0042");
                     EXPECT_TRUE(sn->supported);
                     auto status = rig.events.WaitFor<ev::StatusRead>();
                     EXPECT_TRUE(status->refreshLines);
                     EXPECT_EQ(status->status.battery, 41);
                     EXPECT_EQ(status->status.switchState, 1);
                     EXPECT_FALSE(status->settingHeld.has_value());
                     EXPECT_EQ(rig.session.SerialText(), L"WG1507A0042");
                     const auto received = rig.Received();
                     ASSERT_GE(received.size(), 4u);
                     EXPECT_EQ(std::vector<std::string>(received.begin(), received.begin() + 4),
                               (std::vector<std::string>{"Set RTC", "Get Version", "Get SN", "Query Staus"}));
                 }},
        LinkCase{"NoSerialNumber", [](sim::SimConfig& c) { c.serialMode = sim::SerialNumberMode::None; },
                 [](SessionRig& rig) {
                     auto sn = rig.events.WaitFor<ev::SerialRead>();
                     EXPECT_TRUE(sn->text.empty());
                     EXPECT_TRUE(sn->supported);
                 }},
        LinkCase{"OldFirmwareWithoutSerialNumbers",
                 [](sim::SimConfig& c) { c.serialMode = sim::SerialNumberMode::OldFirmware; },
                 [](SessionRig& rig) {
                     EXPECT_FALSE(rig.events.WaitFor<ev::SerialRead>()->supported);
                     EXPECT_TRUE(rig.session.SerialText().empty());
                 }},
        LinkCase{"ClockRejectedOnceIsWrittenAgain",
                 [](sim::SimConfig& c) { c.faults.refusals.push_back({2, 0, sim::kParameterError, 1}); },
                 [](SessionRig& rig) {
                     EXPECT_EQ(rig.ReceivedCount("Set RTC"), 2);
                     EXPECT_EQ(rig.events.Count<ev::ClockWritten>(), 1u);
                 }},
        LinkCase{"ClockRejectedTwiceIsWrittenAThirdTime",
                 [](sim::SimConfig& c) { c.faults.refusals.push_back({2, 0, sim::kParameterError, 2}); },
                 [](SessionRig& rig) {
                     EXPECT_EQ(rig.ReceivedCount("Set RTC"), 3);
                     EXPECT_EQ(rig.events.Count<ev::ClockWritten>(), 1u);
                 }}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SessionLink, APortThatCannotBeOpenedIsReported) {
    SessionRig rig(QuickLogger());
    rig.session.Link(rig.port.comNumber + 40);  // nothing is registered there
    EXPECT_TRUE(rig.events.WaitFor<ev::PortOpenFailed>(0, 5));
    EXPECT_EQ(rig.events.Count<ev::StatusRead>(), 0u);
    EXPECT_FALSE(rig.session.PortOpen());
}

TEST(SessionLink, UnlinkClosesThePortAndStopsTheFlows) {
    SessionRig rig(QuickLogger());
    ASSERT_TRUE(rig.LinkAndWait());
    rig.session.Unlink();
    ASSERT_TRUE(rig.events.WaitFor<ev::LinkClosed>(0, 5));
    EXPECT_FALSE(rig.session.PortOpen());
    EXPECT_FALSE(rig.session.FlowsRunning());
    // And it links again at once.
    const std::size_t mark = rig.events.Size();
    rig.session.Link(rig.port.comNumber);
    auto status = rig.events.WaitFor<ev::StatusRead>(mark, 10);
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->firstOfLink);
}

TEST(SessionStatusPoll, PollsTwiceASecondAndRefreshesTheLinesOnlyWhenTheSwitchMoves) {
    SessionRig rig(QuickLogger());
    ASSERT_TRUE(rig.LinkAndWait());
    std::this_thread::sleep_for(std::chrono::milliseconds(1600));
    std::vector<ev::StatusRead> statuses;
    for (const auto& e : rig.events.All())
        if (auto* s = std::get_if<ev::StatusRead>(&e)) statuses.push_back(*s);
    ASSERT_GE(statuses.size(), 3u);
    EXPECT_TRUE(statuses[0].firstOfLink && statuses[0].refreshLines);
    for (std::size_t i = 1; i < statuses.size(); ++i) {
        EXPECT_FALSE(statuses[i].firstOfLink);
        EXPECT_FALSE(statuses[i].refreshLines);
    }
    const std::size_t mark = rig.events.Size();
    rig.simulator.SetSwitch(0);
    std::optional<ev::StatusRead> moved;
    for (int i = 0; i < 10 && !(moved && moved->status.switchState == 0); ++i) {
        moved = rig.events.WaitFor<ev::StatusRead>(mark + i, 2);
    }
    ASSERT_TRUE(moved);
    EXPECT_EQ(moved->status.switchState, 0);
    EXPECT_TRUE(moved->refreshLines);
}

TEST(SessionStatusPoll, AMissingBoardIsReportedAndTheLoggerLinksAgainWhenItIsBack) {
    auto config = QuickLogger();
    config.faults.boardMissingFrom = 2.5;
    config.faults.boardMissingTo = 4;
    SessionRig rig(config);
    ASSERT_TRUE(rig.LinkAndWait());
    ASSERT_TRUE(rig.events.WaitFor<ev::BoardMissing>(0, 5));
    EXPECT_EQ(rig.events.Count<ev::Refused>(), 0u);
    // Back: one status says so, and the link runs again to its first status.
    auto firstsAfterRelink = [](const std::vector<SessionEvent>& events) {
        bool relinked = false;
        int firsts = 0;
        for (const auto& e : events)
            if (auto* s = std::get_if<ev::StatusRead>(&e)) {
                relinked = relinked || s->relinking;
                if (relinked && s->firstOfLink) ++firsts;
            }
        return firsts;
    };
    EXPECT_TRUE(rig.events.WaitUntil([&](const auto& events) { return firstsAfterRelink(events) == 1; }, 8))
        << ::testing::PrintToString(rig.events.Names());
}

// ---- refusals and missing answers while linking -------------------------------------

struct RefusalCase {
    int command;
    int sub;
    std::uint8_t code;
    CommandKind kind;
    const char* name;
};

void PrintTo(const RefusalCase& c, std::ostream* os) { *os << c.name << " code " << int(c.code); }

class LinkRefusal : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(LinkRefusal, IsReportedOnceWithItsCodeAndClosesTheLink) {
    const RefusalCase& c = GetParam();
    auto config = QuickLogger();
    config.faults.refusals.push_back({c.command, c.sub, c.code, 0});
    SessionRig rig(config);
    rig.session.Link(rig.port.comNumber);
    auto refused = rig.events.WaitFor<ev::Refused>(0, 5);
    ASSERT_TRUE(refused) << ::testing::PrintToString(rig.events.Names());
    EXPECT_EQ(refused->command, c.kind);
    EXPECT_EQ(refused->code, c.code);
    ASSERT_TRUE(rig.events.WaitFor<ev::LinkClosed>(0, 5));
    EXPECT_EQ(rig.events.Count<ev::Refused>(), 1u);
    EXPECT_EQ(rig.events.Count<ev::NoAnswer>(), 0u);
    EXPECT_EQ(rig.ReceivedCount(sim::CommandName(c.command, c.sub)), 1);  // never asked again
    EXPECT_FALSE(rig.session.PortOpen());
}

std::vector<RefusalCase> LinkRefusals() {
    std::vector<RefusalCase> cases;
    // Every code on one command; the codes that change what follows are the exceptions
    // and have rows of their own elsewhere.
    for (std::uint8_t code = 1; code <= 14; ++code) cases.push_back({1, 1, code, CommandKind::GetVersion, "GetVersion"});
    cases.push_back({2, 0, 9, CommandKind::SetClock, "SetClock"});
    cases.push_back({1, 3, 9, CommandKind::GetSerial, "GetSerial"});
    // Code 8 on the link's first status is a refusal; later it is a missing board.
    cases.push_back({1, 0, 8, CommandKind::QueryStatus, "FirstStatus"});
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Session, LinkRefusal, ::testing::ValuesIn(LinkRefusals()), [](const auto& info) {
    return std::string(info.param.name) + "Code" + std::to_string(info.param.code);
});

// A clock the logger turns down (code 6) is written again; turned down on every try, it
// is reported as that refusal once the tries are over, not as a silence.
TEST(SessionLink, AClockTurnedDownOnEveryTryIsReportedAsRefusedWithItsCode) {
    auto config = QuickLogger();
    config.faults.refusals.push_back({2, 0, sim::kParameterError, 0});
    SessionRig rig(config);
    rig.session.Link(rig.port.comNumber);
    auto refused = rig.events.WaitFor<ev::Refused>(0, 5);
    ASSERT_TRUE(refused) << ::testing::PrintToString(rig.events.Names());
    EXPECT_EQ(refused->command, CommandKind::SetClock);
    EXPECT_EQ(refused->code, sim::kParameterError);
    ASSERT_TRUE(rig.events.WaitFor<ev::LinkClosed>(0, 5));
    EXPECT_EQ(rig.events.Count<ev::Refused>(), 1u);
    EXPECT_EQ(rig.events.Count<ev::NoAnswer>(), 0u);
    EXPECT_EQ(rig.events.Count<ev::ClockWritten>(), 0u);
    EXPECT_EQ(rig.ReceivedCount("Set RTC"), 3);
    EXPECT_FALSE(rig.session.PortOpen());
}

struct SilenceCase {
    int command;
    int sub;
    CommandKind kind;
    const char* name;
};

void PrintTo(const SilenceCase& c, std::ostream* os) { *os << c.name; }

class LinkSilence : public ::testing::TestWithParam<SilenceCase> {};

TEST_P(LinkSilence, IsReportedAfterThreeAttemptsAndClosesTheLink) {
    const SilenceCase& c = GetParam();
    auto config = QuickLogger();
    config.faults.replyFaults.push_back({sim::ReplyFaultKind::Drop, 1, c.command, c.sub});
    SessionRig rig(config);
    rig.session.Link(rig.port.comNumber);
    auto silent = rig.events.WaitFor<ev::NoAnswer>(0, 8);
    ASSERT_TRUE(silent) << ::testing::PrintToString(rig.events.Names());
    EXPECT_EQ(silent->command, c.kind);
    ASSERT_TRUE(rig.events.WaitFor<ev::LinkClosed>(0, 8));
    EXPECT_EQ(rig.events.Count<ev::NoAnswer>(), 1u);
    EXPECT_EQ(rig.ReceivedCount(sim::CommandName(c.command, c.sub)), 3);
}

INSTANTIATE_TEST_SUITE_P(Session, LinkSilence,
                         ::testing::Values(SilenceCase{2, 0, CommandKind::SetClock, "SetClock"},
                                           SilenceCase{1, 1, CommandKind::GetVersion, "GetVersion"},
                                           SilenceCase{1, 3, CommandKind::GetSerial, "GetSerial"},
                                           SilenceCase{1, 0, CommandKind::QueryStatus, "Status"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace wing
