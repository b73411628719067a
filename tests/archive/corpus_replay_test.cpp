// Replays the committed fuzz corpus of the archive through the fuzz target's own driver,
// so every ordinary test run covers the seeds and every input that once found a fault.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>

#include "../../fuzz/archive_driver.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

std::map<std::string, std::string> Corpus() {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(fs::path(WING_FUZZ_CORPUS_DIR) / "fuzz_archive")) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    return files;
}

TEST(CorpusReplay, ArchiveInputsKeepEveryInvariant) {
    const auto corpus = Corpus();
    ASSERT_FALSE(corpus.empty());
    for (const auto& [name, bytes] : corpus) {
        const char* failure = fuzz::DriveArchive(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
        EXPECT_EQ(failure, nullptr) << name << ": " << failure;
    }
}

// The seeds are what the fuzzer mutates: each written archive must decode, or the fuzzer
// starts from files that never get past the header.
TEST(CorpusReplay, ArchiveSeedsAreWholeArchives) {
    const auto corpus = Corpus();
    int seeds = 0;
    for (const auto& [name, bytes] : corpus) {
        if (!name.ends_with(".wing")) continue;  // the fuzzer's own finds carry hashes
        SCOPED_TRACE(name);
        ++seeds;
        auto decoded = DecodeArchive(bytes);
        EXPECT_TRUE(std::holds_alternative<ArchivedDownload>(decoded)) << std::get<std::string>(decoded);
        EXPECT_EQ(bytes.starts_with("WING-ARCHIVE 1"), name.starts_with("v1_"));
    }
    EXPECT_GE(seeds, 5);
}

}  // namespace
}  // namespace wing
