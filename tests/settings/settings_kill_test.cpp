// The settings writer killed with SIGKILL at random moments, thirty times, on a file of
// 800 KB: the file is always the old text or the new one, never a mix or a stump, and
// the next start leaves no temporary file behind.

#include <gtest/gtest.h>

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <set>
#include <thread>

#include "platform/profile.h"
#include "settings/config_writer.h"
#include "settings/settings_test_env.h"
#include "support/files.h"
#include "support/process.h"

namespace fs = std::filesystem;

namespace wing {
namespace {

std::vector<std::string> TempFiles(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir))
        if (entry.path().filename().string().ends_with(".tmp")) names.push_back(entry.path().filename().string());
    return names;
}

std::string WithThreshold(std::string text, const char* value) {
    return text.replace(text.find("Threshold=40"), 12, std::string("Threshold=") + value);
}

TEST(SettingsWriterKilled, TheFileIsAlwaysOldOrNewAndTheNextStartLeavesNoTemporaryFile) {
    testing_ui::ScratchDir dir;
    const fs::path file = dir.path / "Wing.ini";
    std::string base = "; my settings\n[Power]\nThreshold=40\n";
    while (base.size() < 800 * 1024) base += "; a note that only makes the file longer, as some users' notes do\n";
    std::ofstream(file, std::ios::binary) << base;
    const std::string texts[] = {base, WithThreshold(base, "35"), WithThreshold(base, "36")};

    std::mt19937 rng(20240601);
    std::uniform_int_distribution<int> delay(0, 80);
    std::set<std::string> leftBehind;
    for (int kill = 0; kill < 30; ++kill) {
        test::Process writer({WING_SETTINGS_WRITER, "loop", file.string()});
        for (int waited = 0; writer.Out().find("saving") == std::string::npos; ++waited) {
            ASSERT_LT(waited, 300) << "the writer never started";  // 30 s
            writer.Pump(100);
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(delay(rng)));
        writer.Signal(SIGKILL);
        const auto result = writer.Wait();
        ASSERT_EQ(result.exitCode, -1) << "the writer stopped by itself: " << result.err;

        const std::string now = test::ReadWhole(file);
        const bool oldOrNew = now == texts[0] || now == texts[1] || now == texts[2];
        ASSERT_TRUE(oldOrNew) << "kill " << kill << ": " << now.size() << " bytes";
        for (const auto& name : TempFiles(dir.path)) leftBehind.insert(name);
    }
    std::printf("temporary files left by the 30 kills: %zu\n", leftBehind.size());

    // File times come from the kernel's coarse clock, so a start tells a killed save's
    // file from one a save of its own may be writing only once it is a second old; no
    // user starts again sooner than that.
    std::this_thread::sleep_for(std::chrono::milliseconds(1100));
    ASSERT_EQ(test::RunProcess({WING_SETTINGS_WRITER, "start", file.string()}).exitCode, 0);
    EXPECT_EQ(TempFiles(dir.path), std::vector<std::string>());
}

}  // namespace
}  // namespace wing
