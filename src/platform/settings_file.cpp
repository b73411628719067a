#include "platform/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <mutex>
#include <set>
#include <system_error>

namespace wing {
namespace {

std::mutex g_reportedMutex;
std::set<std::string> g_reported;

std::nullopt_t Refuse(const std::filesystem::path& path, const std::string& why) {
    const std::string line = "wing-utility: " + path.string() + " " + why + "; using the defaults\n";
    {
        std::lock_guard<std::mutex> lock(g_reportedMutex);
        if (!g_reported.insert(line).second) return std::nullopt;
    }
    std::fputs(line.c_str(), stderr);
    return std::nullopt;
}

std::string SystemText(int error) { return std::generic_category().message(error); }

bool IsAbsent(int error) { return error == ENOENT || error == ENOTDIR; }

std::string TooLarge() { return "is larger than " + std::to_string(kSettingsFileLimit) + " bytes"; }

class FileDescriptor {
public:
    explicit FileDescriptor(int fd) : m_fd(fd) {}
    ~FileDescriptor() {
        if (m_fd >= 0) ::close(m_fd);
    }
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    int Get() const { return m_fd; }

private:
    int m_fd;
};

}  // namespace

std::optional<std::string> ReadSettingsFile(const std::filesystem::path& path) {
    // Looked at before it is opened, so that a device node is never opened: opening a
    // serial port, for one, raises its modem lines.
    struct stat status {};
    if (::stat(path.c_str(), &status) != 0) {
        const int error = errno;
        if (IsAbsent(error)) return std::nullopt;  // the usual case, not worth a word
        return Refuse(path, "cannot be opened (" + SystemText(error) + ")");
    }
    if (!S_ISREG(status.st_mode)) return Refuse(path, "is not a regular file");

    // Non-blocking, and checked again on what was opened: the name may have been given to
    // a FIFO since, whose open would otherwise wait for a writer.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (file.Get() < 0) {
        const int error = errno;
        if (IsAbsent(error)) return std::nullopt;
        return Refuse(path, "cannot be opened (" + SystemText(error) + ")");
    }
    if (::fstat(file.Get(), &status) != 0 || !S_ISREG(status.st_mode))
        return Refuse(path, "is not a regular file");

    // A larger file is refused whole rather than read in part: its first megabyte would
    // end in the middle of a line, and settings cut short are worse than the defaults.
    if (static_cast<unsigned long long>(status.st_size) > kSettingsFileLimit) return Refuse(path, TooLarge());
    std::string bytes;
    bytes.reserve(static_cast<std::size_t>(status.st_size));
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
        if (n == 0) break;
        if (n < 0) {
            const int error = errno;
            if (error == EINTR) continue;
            return Refuse(path, "cannot be read (" + SystemText(error) + ")");
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
        // The size told by fstat is not binding: the file may grow while it is read.
        if (bytes.size() > kSettingsFileLimit) return Refuse(path, TooLarge());
    }
    return bytes;
}

}  // namespace wing
