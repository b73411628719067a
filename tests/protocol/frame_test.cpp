// Request frames, the checksum, and how a reply body is applied to a command.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <boost/crc.hpp>
#include <random>

#include "protocol/cmd_factory.h"
#include "protocol/commands.h"
#include "protocol/crc32.h"
#include "test_support.h"
#include "support/frames.h"

namespace wing {
namespace {

using test::DataReply;
using test::MakeBody;
using ::testing::ElementsAreArray;

std::vector<std::uint8_t> Build(CWingMsg& msg) {
    CWingCmdFactory factory;
    std::uint16_t length = 0;
    const std::uint8_t* frame = factory.BuildFrame(&msg, length);
    return {frame, frame + length};
}

TEST(Checksum, CheckValueAndWorkedBody) {
    const char* text = "123456789";
    EXPECT_EQ(CalcCrc32(9, reinterpret_cast<const std::uint8_t*>(text)), 0x0376E6E7u);
    std::vector<std::uint8_t> body = {0x01, 0x00, 0x01, 0x00, 0x01};
    body.resize(16, 0xFF);
    EXPECT_EQ(CalcCrc32(body.size(), body.data()), 0x3B891A5Au);
}

TEST(Checksum, MatchesAnIndependentImplementationOnRandomInput) {
    std::mt19937 rng(20261210);
    for (int round = 0; round < 500; ++round) {
        std::vector<std::uint8_t> data(rng() % 300);
        for (auto& b : data) b = static_cast<std::uint8_t>(rng());
        boost::crc_optimal<32, 0x04C11DB7, 0xFFFFFFFF, 0, false, false> reference;
        reference.process_bytes(data.data(), data.size());
        ASSERT_EQ(CalcCrc32(data.size(), data.data()), reference.checksum()) << "length " << data.size();
    }
}

TEST(RequestFrame, GetVersionAndReadLogMatchTheWireBytes) {
    CGetVersion version;
    EXPECT_THAT(Build(version), ElementsAreArray(test::Hex("a0 a2 14 00 5a 1a 89 3b 01 00 01 00 01 ff ff ff ff ff ff "
                                                           "ff ff ff ff ff b0 b3")));
    CReadLog read;
    read.Reset();
    read.m_firstIndex = 0;
    read.m_recordCount = 8;
    EXPECT_THAT(Build(read), ElementsAreArray(test::Hex("a0 a2 14 00 f3 b7 21 65 03 00 00 00 01 00 00 08 00 ff ff ff "
                                                        "ff ff ff ff b0 b3")));
}

TEST(RequestFrame, EveryCommandIs26BytesWithUnwrittenBytesFF) {
    CQueryStatus status;
    CGetVersion version;
    CGetSN sn;
    CSetRTC rtc;
    CSetMode mode;
    CSoftwareSwitch sw;
    CReadLog read;
    CQueryLogNumber count;
    CDeleteLog del;
    rtc.m_time = 0x11223344;
    mode.m_startType = 1;
    mode.m_recordMode = 3;
    mode.m_reservedStart = 0xAABBCCDD;
    struct Case {
        CWingMsg* msg;
        int firstFF;  // body offset from which every byte is 0xFF
        const char* name;
    } cases[] = {{&status, 5, "Query Staus"},      {&version, 5, "Get Version"},
                 {&sn, 6, "Get SN"},               {&rtc, 9, "Set RTC"},
                 {&mode, 11, "Set Mode"},          {&sw, 14, "Set Software Switch"},
                 {&read, 9, "Read Log"},           {&count, 5, "Query Log Number"},
                 {&del, 5, "Delete log"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto frame = Build(*c.msg);
        ASSERT_EQ(frame.size(), 26u);
        EXPECT_EQ(frame[2], 0x14);
        EXPECT_EQ(frame[3], 0x00);
        EXPECT_EQ(std::wstring(c.msg->m_displayName), test::Wide(c.name));
        for (int i = c.firstFF; i < 16; ++i) EXPECT_EQ(frame[8 + i], 0xFF) << "body byte " << i;
        EXPECT_EQ(frame[8 + 4], 1);  // request
    }
    auto modeFrame = Build(mode);
    EXPECT_THAT(std::vector<std::uint8_t>(modeFrame.begin() + 13, modeFrame.begin() + 19),
                ElementsAreArray({0x01, 0x03, 0xDD, 0xCC, 0xBB, 0xAA}));
    auto rtcFrame = Build(rtc);
    EXPECT_THAT(std::vector<std::uint8_t>(rtcFrame.begin() + 13, rtcFrame.begin() + 17),
                ElementsAreArray({0x44, 0x33, 0x22, 0x11}));
}

// Records which decoders ApplyReply calls.
class ProbeMsg : public CWingMsg {
public:
    std::uint16_t ReplyExtraLength() const override { return extra; }
    bool DecodeReply(const std::uint8_t*, std::uint16_t length) override {
        replyLengths.push_back(length);
        return acceptFields;
    }
    bool DecodeExtra(const std::uint8_t*, std::uint16_t length) override {
        extraLengths.push_back(length);
        return true;
    }
    std::vector<int> replyLengths, extraLengths;
    bool acceptFields = true;
    std::uint16_t extra = 0;
};

TEST(ApplyReply, CallsTheDecodersByBodyLength) {
    ProbeMsg msg;
    auto body16 = MakeBody(9, 9, 2);
    EXPECT_TRUE(msg.ApplyReply(body16.data(), 16));
    EXPECT_THAT(msg.replyLengths, ElementsAreArray({11}));
    EXPECT_TRUE(msg.extraLengths.empty());

    auto body144 = MakeBody(9, 9, 2, {}, std::vector<std::uint8_t>(128, 7));
    msg.extra = 128;
    EXPECT_TRUE(msg.ApplyReply(body144.data(), 144));
    EXPECT_THAT(msg.extraLengths, ElementsAreArray({128}));

    msg.acceptFields = false;
    EXPECT_FALSE(msg.ApplyReply(body144.data(), 144));
    EXPECT_EQ(msg.m_cmdId, 9);  // ids and type are copied before the decoder refuses
    EXPECT_FALSE(msg.ApplyReply(nullptr, 16));
    EXPECT_FALSE(msg.ApplyReply(body16.data(), 0));
}

TEST(ApplyReply, StatusAndOtherTypesKeepDecodedFields) {
    CQueryStatus status;
    auto data = MakeBody(1, 0, 2, {0x10, 0x20, 0x30, 0x40, 1, 1, 0, 0, 0, 0, 0x7B});
    ASSERT_TRUE(status.ApplyReply(data.data(), 16));
    EXPECT_EQ(status.m_battery, 30);
    EXPECT_EQ(status.m_recordMode, 3);
    EXPECT_EQ(status.m_deviceClock, 0x40302010u);
    EXPECT_TRUE(status.IsDataReply());

    auto refusal = MakeBody(1, 0, 3, {8});
    ASSERT_TRUE(status.ApplyReply(refusal.data(), 16));
    EXPECT_TRUE(status.IsStatusReply());
    EXPECT_EQ(status.m_statusCode, 8);
    EXPECT_EQ(status.m_battery, 30);  // the data reply's fields stay

    auto echo = MakeBody(1, 0, 1, {5});
    ASSERT_TRUE(status.ApplyReply(echo.data(), 16));
    EXPECT_FALSE(status.IsStatusReply());
    EXPECT_FALSE(status.IsDataReply());
    EXPECT_EQ(status.m_statusCode, 8);  // unchanged by a reply of another type
}

// A reply is an answer only with the length its command's layout gives: 16 bytes, and
// for a data reply the command's extra data. Any other length takes nothing: the fields
// of the last answer stay, and the command keeps waiting for a whole one.
TEST(ApplyReply, AReplyIsAnAnswerOnlyWithItsCommandsLength) {
    struct Case {
        const char* name;
        CWingMsg* msg;
        int extra;  // the data reply's extra data
    };
    CQueryStatus status;
    CGetVersion version;
    CGetSN sn;
    CSetRTC rtc;
    CSetMode mode;
    CSoftwareSwitch sw;
    CReadLog read;
    CQueryLogNumber count;
    CDeleteLog del;
    const Case cases[] = {{"Query Staus", &status, 0},      {"Get Version", &version, 0}, {"Get SN", &sn, 128},
                          {"Set RTC", &rtc, 0},             {"Set Mode", &mode, 0},       {"Set Software Switch", &sw, 0},
                          {"Read Log", &read, 128},         {"Query Log Number", &count, 0},
                          {"Delete log", &del, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto ids = std::pair<int, int>(c.msg->m_cmdId, c.msg->m_subId);
        // A whole answer first, so that what a bad reply would change is in place.
        auto whole = MakeBody(ids.first, ids.second, 2, std::vector<std::uint8_t>(11, 0x21),
                              std::vector<std::uint8_t>(c.extra, 0x41));
        ASSERT_TRUE(c.msg->ApplyReply(whole.data(), static_cast<std::uint16_t>(whole.size())));
        const std::string textBefore(sn.m_text);
        const std::vector<std::uint8_t> pageBefore(read.m_page, read.m_page + CReadLog::kPageSize);
        const std::uint32_t clockBefore = status.m_deviceClock;
        const std::uint16_t countBefore = count.m_count;

        for (int extra : {0, 1, 8, 120, 127, 129, 144}) {
            if (extra == c.extra) continue;
            SCOPED_TRACE(extra);
            auto body = MakeBody(ids.first, ids.second, 2, std::vector<std::uint8_t>(11, 0x5A),
                                 std::vector<std::uint8_t>(extra, 0x5A));
            EXPECT_FALSE(c.msg->ApplyReply(body.data(), static_cast<std::uint16_t>(body.size())));
        }
        // A status reply is 16 bytes too; with more it is not an answer either.
        auto longStatus = MakeBody(ids.first, ids.second, 3, {6}, {0});
        EXPECT_FALSE(c.msg->ApplyReply(longStatus.data(), static_cast<std::uint16_t>(longStatus.size())));
        std::uint8_t cut[6] = {static_cast<std::uint8_t>(ids.first), 0, static_cast<std::uint8_t>(ids.second), 0, 3, 9};
        EXPECT_FALSE(c.msg->ApplyReply(cut, sizeof cut));

        EXPECT_TRUE(c.msg->IsDataReply());
        EXPECT_EQ(c.msg->m_statusCode, 0);
        EXPECT_EQ(std::string(sn.m_text), textBefore);
        EXPECT_EQ(std::vector<std::uint8_t>(read.m_page, read.m_page + CReadLog::kPageSize), pageBefore);
        EXPECT_EQ(status.m_deviceClock, clockBefore);
        EXPECT_EQ(count.m_count, countBefore);

        auto refusal = MakeBody(ids.first, ids.second, 3, {6});
        EXPECT_TRUE(c.msg->ApplyReply(refusal.data(), 16));
        EXPECT_EQ(c.msg->m_statusCode, 6);
    }
}

TEST(Commands, VersionText) {
    CGetVersion v;
    auto body = MakeBody(1, 1, 2, {0x04, 0x03, 0x02, 0x01});
    ASSERT_TRUE(v.ApplyReply(body.data(), 16));
    EXPECT_EQ(std::wstring(v.FormatVersion()), L"V 1.2.3.4");
}

TEST(Commands, SerialNumberText) {
    CGetSN sn;
    wchar_t wide[129];
    auto withText = [](std::uint32_t length, const std::string& text) {
        std::vector<std::uint8_t> extra(128, 'X');
        std::copy(text.begin(), text.end(), extra.begin());
        return MakeBody(1, 3, 2, {0, static_cast<std::uint8_t>(length), static_cast<std::uint8_t>(length >> 8), 0, 0},
                        extra);
    };
    auto empty = withText(0, "");
    ASSERT_TRUE(sn.ApplyReply(empty.data(), static_cast<std::uint16_t>(empty.size())));
    EXPECT_EQ(sn.ToWideText(wide), 1);
    EXPECT_EQ(std::wstring(wide), L"");

    auto normal = withText(8, "PG123456");
    ASSERT_TRUE(sn.ApplyReply(normal.data(), static_cast<std::uint16_t>(normal.size())));
    EXPECT_EQ(sn.ToWideText(wide), 9);
    EXPECT_EQ(std::wstring(wide), L"PG123456");

    // A length of 128 or more: the text stays terminated inside the object.
    auto overlong = withText(300, "");
    ASSERT_TRUE(sn.ApplyReply(overlong.data(), static_cast<std::uint16_t>(overlong.size())));
    EXPECT_EQ(std::string(sn.m_text).size(), 128u);
    EXPECT_EQ(sn.ToWideText(nullptr), 0);
}

TEST(Commands, ReadLogTakesOnlyAWholePage) {
    CReadLog read;
    std::vector<std::uint8_t> page(128);
    for (int i = 0; i < 128; ++i) page[i] = static_cast<std::uint8_t>(i + 1);
    auto full = MakeBody(3, 0, 2, {0}, page);
    ASSERT_TRUE(read.ApplyReply(full.data(), static_cast<std::uint16_t>(full.size())));
    EXPECT_THAT(std::vector<std::uint8_t>(read.m_page, read.m_page + 128), ElementsAreArray(page));
    // Handed a part of a page or more than one, the decoder keeps the page it has.
    const std::vector<std::uint8_t> other(129, 0x11);
    for (std::uint16_t length : {0, 120, 127, 129}) {
        EXPECT_FALSE(read.DecodeExtra(other.data(), length)) << length;
        EXPECT_THAT(std::vector<std::uint8_t>(read.m_page, read.m_page + 128), ElementsAreArray(page)) << length;
    }
}

TEST(Commands, LogCount) {
    CQueryLogNumber count;
    auto body = MakeBody(3, 1, 2, {0x00, 0x08});
    ASSERT_TRUE(count.ApplyReply(body.data(), 16));
    EXPECT_EQ(count.m_count, 2048);
}

}  // namespace
}  // namespace wing
