// Replays the committed fuzz corpus through the fuzz targets' own drivers, so every
// ordinary test run covers the seeds and every input that once found a fault.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "../../fuzz/drivers.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

Bytes ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::map<std::string, Bytes> Corpus(const std::string& target) {
    std::map<std::string, Bytes> files;
    fs::path dir = fs::path(WING_FUZZ_CORPUS_DIR) / target;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.is_regular_file()) files[entry.path().filename().string()] = ReadFile(entry.path());
    return files;
}

TEST(CorpusReplay, ReceiveInputsKeepEveryInvariant) {
    auto corpus = Corpus("fuzz_receive");
    ASSERT_FALSE(corpus.empty());
    for (const auto& [name, bytes] : corpus) {
        fuzz::DriveResult r = fuzz::DriveReceive(bytes.data(), bytes.size());
        EXPECT_EQ(r.failure, nullptr) << name << ": " << r.failure;
    }
}

// The seeds are what the fuzzer mutates; each must be the reply it claims to be, or the
// fuzzer starts from frames that never reach a decoder.
TEST(CorpusReplay, ReceiveSeedsAreAnsweredAsIntended) {
    struct Expect {
        int answers, dataAnswers, frameErrors;
    };
    const std::map<std::string, Expect> seeds = {
        {"query_status.data", {1, 1, 0}},     {"get_version.data", {1, 1, 0}},
        {"get_sn.data", {1, 1, 0}},           {"set_rtc.data", {1, 1, 0}},
        {"set_mode.status", {1, 0, 0}},       {"software_switch.data", {1, 1, 0}},
        {"read_log.data", {1, 1, 0}},         {"query_log_number.data", {1, 1, 0}},
        {"delete_log.data", {1, 1, 0}},
        // broken checksum (4), reply nobody waits for (7); encrypted-type Delete Log,
        // Read Log and a status reply answered
        {"mixed_stream", {3, 2, 2}},
    };
    auto corpus = Corpus("fuzz_receive");
    for (const auto& [name, expect] : seeds) {
        SCOPED_TRACE(name);
        auto it = corpus.find(name);
        ASSERT_NE(it, corpus.end()) << "seed missing";
        fuzz::DriveResult r = fuzz::DriveReceive(it->second.data(), it->second.size());
        EXPECT_EQ(r.answers, expect.answers);
        EXPECT_EQ(r.dataAnswers, expect.dataAnswers);
        EXPECT_EQ(r.frameErrors, expect.frameErrors);
    }
}

TEST(CorpusReplay, ApplyReplyInputsKeepEveryInvariant) {
    auto corpus = Corpus("fuzz_apply_reply");
    ASSERT_FALSE(corpus.empty());
    for (const auto& [name, bytes] : corpus) {
        fuzz::DriveResult r = fuzz::DriveApplyReply(bytes.data(), bytes.size());
        EXPECT_EQ(r.failure, nullptr) << name << ": " << r.failure;
    }
}

TEST(CorpusReplay, ApplyReplySeedsCoverEveryCommandWithItsOwnIds) {
    auto corpus = Corpus("fuzz_apply_reply");
    std::vector<bool> covered(9, false);
    for (const auto& [name, bytes] : corpus) {
        // The written seeds are named after their reply (get_sn.data, set_mode.status);
        // the fuzzer's own finds carry hashes, regressions a "regress-" name.
        const std::string kind = fs::path(name).extension().string();
        if (kind != ".data" && kind != ".status") continue;
        SCOPED_TRACE(name);
        ASSERT_GE(bytes.size(), 1u + 16);
        fuzz::CommandSet commands;
        CWingMsg* m = commands.All()[bytes[0] % 9];
        EXPECT_EQ(ReadU16(&bytes[1]), m->m_cmdId);
        EXPECT_EQ(ReadU16(&bytes[3]), m->m_subId);
        EXPECT_TRUE(bytes[5] == kTypeDataReply || bytes[5] == kTypeStatusReply);
        covered[bytes[0] % 9] = true;
    }
    for (int i = 0; i < 9; ++i) EXPECT_TRUE(covered[i]) << "no seed for command " << i;
}

}  // namespace
}  // namespace wing
