// Replays the committed corpus of the settings fuzz targets through their own drivers,
// so every ordinary test run covers the seeds and every input that once found a fault.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "../../fuzz/settings_drivers.h"

namespace wing {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

std::map<std::string, Bytes> Corpus(const std::string& target) {
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::directory_iterator(fs::path(WING_FUZZ_CORPUS_DIR) / target)) {
        if (!entry.is_regular_file()) continue;
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] = Bytes(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

TEST(SettingsCorpusReplay, EveryInputKeepsEveryInvariant) {
    const std::pair<const char*, const char* (*)(const std::uint8_t*, std::size_t)> targets[] = {
        {"fuzz_settings_read", fuzz::DriveSettingsRead},
        {"fuzz_settings_edit", fuzz::DriveSettingsEdit},
    };
    for (const auto& [target, drive] : targets) {
        const auto corpus = Corpus(target);
        EXPECT_FALSE(corpus.empty()) << target;
        for (const auto& [name, bytes] : corpus) {
            const char* failure = drive(bytes.data(), bytes.size());
            EXPECT_EQ(failure, nullptr) << target << "/" << name << ": " << failure;
        }
    }
}

}  // namespace
}  // namespace wing
