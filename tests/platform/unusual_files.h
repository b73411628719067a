#pragma once
// What may stand at the name of a settings or state file besides a small regular file,
// and a way to call a reader on it that fails a hung call instead of hanging the suite.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <vector>

namespace wing::test {

// `content` followed by comment lines, cut to exactly `size` bytes.
inline std::string Padded(const std::string& content, std::size_t size) {
    std::string out = content;
    while (out.size() < size) out += "; a line that only makes the file longer\n";
    out.resize(size);
    return out;
}

struct UnusualFile {
    const char* what;
    // Puts it at `path`; `content` is what the file would tell a reader that read it.
    std::function<void(const std::filesystem::path& path, const std::string& content)> make;
    // The reason the reader gives on standard error; nullptr when it says nothing.
    const char* reason;
};

inline const std::vector<UnusualFile>& UnusualFiles() {
    namespace fs = std::filesystem;
    static const std::vector<UnusualFile> files = {
        {"a FIFO with no writer",
         [](const fs::path& p, const std::string&) { ASSERT_EQ(::mkfifo(p.c_str(), 0600), 0); },
         "is not a regular file"},
        {"a link to /dev/zero", [](const fs::path& p, const std::string&) { fs::create_symlink("/dev/zero", p); },
         "is not a regular file"},
        {"a directory", [](const fs::path& p, const std::string&) { fs::create_directory(p); },
         "is not a regular file"},
        {"a 2 MiB file",
         [](const fs::path& p, const std::string& content) {
             std::ofstream(p, std::ios::binary) << Padded(content, 2u << 20);
         },
         "is larger than 1048576 bytes"},
        {"a dangling link",
         [](const fs::path& p, const std::string&) { fs::create_symlink(p.parent_path() / "nowhere", p); },
         nullptr},
    };
    return files;
}

// Runs `call`, giving it five seconds. A call still busy then is taken to wait in the
// open of `path` as a FIFO: opening it for writing, as often as the call opens it, lets
// the call go on, and the test fails instead of hanging.
inline ::testing::AssertionResult ReturnsWithinFiveSeconds(const std::function<void()>& call,
                                                           const std::filesystem::path& path) {
    auto done = std::async(std::launch::async, call);
    const bool inTime = done.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    while (done.wait_for(std::chrono::milliseconds(50)) != std::future_status::ready) {
        struct stat st {};
        if (::lstat(path.c_str(), &st) != 0 || !S_ISFIFO(st.st_mode)) continue;
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) ::close(fd);
    }
    try {
        done.get();
    } catch (const std::exception& e) {
        return ::testing::AssertionFailure() << "the call threw " << e.what();
    }
    if (!inTime) return ::testing::AssertionFailure() << "the call was still waiting after 5 s";
    return ::testing::AssertionSuccess();
}

}  // namespace wing::test
