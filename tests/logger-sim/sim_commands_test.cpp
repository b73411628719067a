// The simulator answers every command through a real pseudo-terminal.

#include <ctime>

#include "platform/device_map.h"
#include "sim_fixture.h"

namespace wing::sim::test {
namespace {

TEST(SimFrame, BuildsTheDocumentedGetVersionRequest) {
    Bytes body = {0x01, 0x00, 0x01, 0x00, 0x01};
    body.resize(16, 0xFF);
    const Bytes expected = {0xa0, 0xa2, 0x14, 0x00, 0x5a, 0x1a, 0x89, 0x3b, 0x01, 0x00, 0x01, 0x00, 0x01,
                            0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xb0, 0xb3};
    EXPECT_EQ(BuildFrame(body), expected);
    EXPECT_EQ(Request(1, 1), expected);
    // A Read Log request for records 0-7.
    const Bytes readLog = {0xa0, 0xa2, 0x14, 0x00, 0xf3, 0xb7, 0x21, 0x65, 0x03, 0x00, 0x00, 0x00, 0x01,
                           0x00, 0x00, 0x08, 0x00, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xff, 0xb0, 0xb3};
    EXPECT_EQ(Request(3, 0, {0, 0, 8, 0}), readLog);
}

TEST_F(SimTest, QueriesReportTheConfiguredDevice) {
    SimConfig c = Fast();
    c.battery = 30;
    c.recordMode = 3;
    c.switchPos = 1;
    c.startType = 1;
    c.reservedStart = 1430463000;
    c.clockOffset = -3600;
    c.version = 0x01020304;
    c.version2 = 0xCAFE0001;
    c.serialNumber = "SN-0815";
    Launch(c);

    auto status = client->Ask(Request(1, 0));
    ASSERT_TRUE(status);
    EXPECT_TRUE(status->crcOk);
    ASSERT_EQ(status->frame.size(), 26u);
    EXPECT_EQ(status->type(), 2);
    EXPECT_EQ(status->command(), 1);
    EXPECT_EQ(status->sub(), 0);
    const auto expectedClock = static_cast<std::int64_t>(std::time(nullptr)) - 3600;
    EXPECT_NEAR(static_cast<double>(U32(status->body, 5)), static_cast<double>(expectedClock), 2.0);
    EXPECT_EQ(status->body[9], 1);
    EXPECT_EQ(status->body[10], 1);
    EXPECT_EQ(U32(status->body, 11), 1430463000u);
    EXPECT_EQ(status->body[15], 0x7B) << "battery 30 in bits 7-2, record mode 3 in bits 1-0";

    auto version = client->Ask(Request(1, 1));
    ASSERT_TRUE(version);
    EXPECT_EQ(version->type(), 2);
    EXPECT_EQ(Bytes(version->body.begin() + 5, version->body.begin() + 13),
              (Bytes{0x04, 0x03, 0x02, 0x01, 0x01, 0x00, 0xFE, 0xCA}));

    auto sn = client->Ask(Request(1, 3, {0}));
    ASSERT_TRUE(sn);
    EXPECT_TRUE(sn->crcOk);
    ASSERT_EQ(sn->frame.size(), 154u) << "16-byte body and a 128-byte text";
    EXPECT_EQ(sn->type(), 2);
    EXPECT_EQ(U32(sn->body, 6), 7u);
    EXPECT_EQ(std::string(sn->body.begin() + 16, sn->body.begin() + 23), "SN-0815");
    EXPECT_EQ(sn->body[23], 0);
}

TEST_F(SimTest, SerialNumberCanBeMissingOrUnsupported) {
    struct Case { SerialNumberMode mode; int type; int lengthOrCode; };
    for (const Case& k : {Case{SerialNumberMode::None, 2, 0}, Case{SerialNumberMode::OldFirmware, 3, 5}}) {
        SimConfig c = Fast();
        c.serialMode = k.mode;
        Launch(c);
        auto sn = client->Ask(Request(1, 3, {0}));
        ASSERT_TRUE(sn);
        EXPECT_EQ(sn->type(), k.type);
        EXPECT_EQ(k.type == 2 ? static_cast<int>(U32(sn->body, 6)) : sn->code(), k.lengthOrCode);
        if (k.type == 3) {
            EXPECT_EQ(sn->frame.size(), 26u);
        }
    }
}

TEST_F(SimTest, SettingsAreStoredAndReportedByStatus) {
    SimConfig c = Fast();
    c.setModeTimeSkew = 0;
    Launch(c);

    auto rtc = client->Ask(Request(2, 0, Le32(1430000000)));
    ASSERT_TRUE(rtc);
    EXPECT_EQ(rtc->type(), 2);
    Bytes mode = {1, 2};
    for (auto b : Le32(1430500000)) mode.push_back(b);
    auto set = client->Ask(Request(2, 1, mode));
    ASSERT_TRUE(set);
    EXPECT_EQ(set->type(), 2);

    auto status = client->Ask(Request(1, 0));
    ASSERT_TRUE(status);
    EXPECT_NEAR(static_cast<double>(U32(status->body, 5)), 1430000000.0, 1.0) << "clock runs from the set time";
    EXPECT_EQ(status->body[10], 1);
    EXPECT_EQ(U32(status->body, 11), 1430500000u);
    EXPECT_EQ(status->body[15] & 3, 2);
    DeviceState s = sim->State();
    EXPECT_EQ(s.recordMode, 2);
    EXPECT_EQ(s.startType, 1);

    // Values the status cannot carry are refused as parameter errors.
    auto bad = client->Ask(Request(2, 1, {2, 0, 0, 0, 0, 0}));
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->type(), 3);
    EXPECT_EQ(bad->code(), 6);
    bad = client->Ask(Request(2, 1, {0, 4, 0, 0, 0, 0}));
    ASSERT_TRUE(bad);
    EXPECT_EQ(bad->code(), 6);

    auto sw = client->Ask(Request(2, 4, {0, 1, 0, 0, 0, 1, 0, 0, 0}));
    ASSERT_TRUE(sw);
    EXPECT_EQ(sw->type(), 2);
    EXPECT_EQ(sim->State().softwareSwitchValues[1], 1u);
}

TEST_F(SimTest, SetModeCanStoreAnotherReservedTime) {
    SimConfig c = Fast();
    c.setModeTimeSkew = 60;
    Launch(c);
    Bytes mode = {1, 0};
    for (auto b : Le32(1430500000)) mode.push_back(b);
    ASSERT_TRUE(client->Ask(Request(2, 1, mode)));
    auto status = client->Ask(Request(1, 0));
    ASSERT_TRUE(status);
    EXPECT_EQ(U32(status->body, 11), 1430500060u);
}

TEST_F(SimTest, LogIsServedInPagesAndCanBeDeleted) {
    SimConfig c = Fast();
    std::vector<LogSlot> records;
    for (std::uint8_t i = 0; i < 10; ++i) {
        LogSlot s{};
        s.fill(i);
        records.push_back(s);
    }
    c.records = records;
    Launch(c);

    auto count = client->Ask(Request(3, 1));
    ASSERT_TRUE(count);
    EXPECT_EQ(count->type(), 2);
    EXPECT_EQ(U16(count->body, 5), 10);

    for (std::uint16_t first : {0, 8, 5}) {
        SCOPED_TRACE(first);
        auto page = client->Ask(Request(3, 0, {static_cast<std::uint8_t>(first), 0, 8, 0}));
        ASSERT_TRUE(page);
        EXPECT_TRUE(page->crcOk);
        ASSERT_EQ(page->frame.size(), 154u);
        for (int k = 0; k < 8; ++k) {
            int slot = first + k;
            Bytes expected(16, slot < 10 ? static_cast<std::uint8_t>(slot) : 0xFF);
            EXPECT_EQ(Bytes(page->body.begin() + 16 + 16 * k, page->body.begin() + 32 + 16 * k), expected)
                << "slot " << slot;
        }
    }
    auto beyond = client->Ask(Request(3, 0, {0x00, 0x08, 8, 0}));  // index 2048
    ASSERT_TRUE(beyond);
    EXPECT_EQ(beyond->type(), 3);
    EXPECT_EQ(beyond->code(), 6);

    auto del = client->Ask(Request(3, 2));
    ASSERT_TRUE(del);
    EXPECT_EQ(del->type(), 2);
    count = client->Ask(Request(3, 1));
    ASSERT_TRUE(count);
    EXPECT_EQ(U16(count->body, 5), 0);
    auto page = client->Ask(Request(3, 0, {0, 0, 8, 0}));
    ASSERT_TRUE(page);
    EXPECT_EQ(Bytes(page->body.begin() + 16, page->body.end()), Bytes(128, 0xFF));
    EXPECT_EQ(sim->State().logCount, 0);
    EXPECT_EQ(sim->State().pageRequests, 5);
}

TEST_F(SimTest, BadRequestsGetTheMatchingStatusCode) {
    Launch(Fast());
    Bytes badCrc = Request(1, 1);
    badCrc[4] ^= 1;
    Bytes encrypted = Request(1, 1);
    encrypted[3] |= 0x40;
    Bytes notRequest = Request(1, 1, {}, 2);
    Bytes shortBody = {0xA0, 0xA2, 0x0C, 0x00};  // an 8-byte body
    Bytes body8 = {0x01, 0x00, 0x01, 0x00, 0x01, 0xFF, 0xFF, 0xFF};
    for (auto b : Le32(CalcCrc32(body8.size(), body8.data()))) shortBody.push_back(b);
    shortBody.insert(shortBody.end(), body8.begin(), body8.end());
    shortBody.push_back(0xB0);
    shortBody.push_back(0xB3);

    struct Case { const char* what; Bytes frame; int command, sub, code; };
    const Case cases[] = {
        {"checksum", badCrc, 1, 1, 4},
        {"encryption bits", encrypted, 1, 1, 2},
        {"short body", shortBody, 1, 1, 3},
        {"not a request", notRequest, 1, 1, 1},
        {"unknown command", Request(7, 9), 7, 9, 5},
        {"unknown sub id", Request(1, 2), 1, 2, 5},
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.what);
        auto reply = client->Ask(k.frame);
        ASSERT_TRUE(reply);
        EXPECT_TRUE(reply->crcOk);
        EXPECT_EQ(reply->type(), 3);
        EXPECT_EQ(reply->command(), k.command);
        EXPECT_EQ(reply->sub(), k.sub);
        EXPECT_EQ(reply->code(), k.code);
    }
}

TEST_F(SimTest, GarbageAndBrokenFramesNeitherCrashNorBlockTheNextRequest) {
    Launch(Fast());
    Bytes noise = {0x00, 0x13, 0xA0, 0x55, 0xB0, 0xB3, 0xA2};
    Bytes bogusLength = {0xA0, 0xA2, 0xFF, 0x3F, 1, 2, 3};               // claims 16 KB
    Bytes noEnd = Request(1, 1);
    noEnd[noEnd.size() - 1] = 0x00;
    Bytes truncated = Request(1, 0);
    truncated.resize(15);
    Bytes tooShort = {0xA0, 0xA2, 0x05, 0x00, 0, 0, 0, 0, 0xB0, 0xB3};  // one-byte body

    for (const Bytes& junk : {noise, bogusLength, noEnd, tooShort}) {
        Bytes stream = junk;
        Bytes valid = Request(1, 1);
        stream.insert(stream.end(), valid.begin(), valid.end());
        auto reply = client->Ask(stream);
        ASSERT_TRUE(reply);
        EXPECT_EQ(reply->command(), 1);
        EXPECT_EQ(reply->sub(), 1);
        EXPECT_EQ(reply->type(), 2);
    }
    // A request cut short: once the line stays quiet the fragment is given up.
    ASSERT_TRUE(client->Write(truncated));
    EXPECT_FALSE(client->ReadFrame(400));
    auto reply = client->Ask(Request(3, 1));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->command(), 3);
    EXPECT_EQ(reply->sub(), 1);

    // Random bytes, byte by byte and in bursts.
    std::mt19937 rng(7);
    for (int burst = 0; burst < 50; ++burst) {
        Bytes junk(1 + rng() % 300);
        for (auto& b : junk) b = static_cast<std::uint8_t>(rng());
        client->Write(junk);
    }
    client->ReadFor(400);  // whatever the noise provoked
    reply = client->AskFor(Request(1, 1), 1, 1);
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->type(), 2);
}

TEST_F(SimTest, FrameLogNamesEveryFrameInAndOut) {
    Launch(Fast());
    ASSERT_TRUE(client->Ask(Request(3, 0, {8, 0, 8, 0})));
    ASSERT_TRUE(client->Ask(Request(9, 9)));
    auto log = sim->FrameLog();
    ASSERT_EQ(log.size(), 4u);
    EXPECT_TRUE(log[0].fromPc);
    EXPECT_EQ(log[0].command, 3);
    EXPECT_EQ(log[0].type, 1);
    EXPECT_EQ(log[0].frame, Request(3, 0, {8, 0, 8, 0}));
    EXPECT_NE(log[0].text.find("PC>DEV Read Log 3.0 type 1 first=8 count=8"), std::string::npos) << log[0].text;
    EXPECT_FALSE(log[1].fromPc);
    EXPECT_EQ(log[1].type, 2);
    EXPECT_EQ(log[1].frame.size(), 154u);
    EXPECT_NE(log[1].text.find("DEV>PC Read Log 3.0 type 2"), std::string::npos) << log[1].text;
    EXPECT_EQ(log[3].statusCode, 5);
    EXPECT_NE(log[3].text.find("status 5 (Command is not supported)"), std::string::npos) << log[3].text;
    EXPECT_EQ(sim->FrameLogLines().size(), 4u);
    sim->ClearFrameLog();
    EXPECT_TRUE(sim->FrameLog().empty());
}

TEST_F(SimTest, RegistersAsProlificAdapterUntilStopped) {
    SimConfig c = Fast();
    c.comNumber = 1234;
    Launch(c);
    EXPECT_EQ(port.comNumber, 1234);
    bool found = false;
    for (const auto& e : ReadSerialDeviceMap()) {
        if (e.comName != L"COM1234") continue;
        found = true;
        EXPECT_NE(e.deviceName.find(L"ProlificSerial"), std::wstring::npos);
        EXPECT_EQ(e.node, port.slavePath);
    }
    EXPECT_TRUE(found);
    EXPECT_EQ(ResolveComPort(1234), port.slavePath);

    // A second simulator cannot take the same number; without one it takes a free one.
    LoggerSimulator second(c);
    EXPECT_FALSE(second.Start().ok);
    SimConfig any = Fast();
    LoggerSimulator third(any);
    SimPort p3 = third.Start();
    ASSERT_TRUE(p3.ok) << p3.error;
    EXPECT_GT(p3.comNumber, 0);
    EXPECT_NE(p3.comNumber, 1234);
    third.Stop();

    client.reset();
    sim->Stop();
    EXPECT_EQ(ResolveComPort(1234), "");
    EXPECT_EQ(ResolveComPort(p3.comNumber), "");
}

TEST_F(SimTest, ToolCanCloseAndReopenThePort) {
    Launch(Fast());
    ASSERT_TRUE(client->Ask(Request(1, 1)));
    client = std::make_unique<PtyClient>(port.slavePath);
    ASSERT_TRUE(client->ok());
    auto reply = client->Ask(Request(1, 0));
    ASSERT_TRUE(reply);
    EXPECT_EQ(reply->sub(), 0);
}

}  // namespace
}  // namespace wing::sim::test
