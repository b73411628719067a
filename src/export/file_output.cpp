#include "export/file_output.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <random>
#include <vector>

#include "platform/paths.h"
#include "platform/text.h"

namespace fs = std::filesystem;

namespace wing {
namespace {

bool WriteAll(int fd, std::string_view data) {
    const char* p = data.data();
    std::size_t left = data.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

void SyncDirectory(const fs::path& dir) {
    int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool Fail(std::string* why, int error) {
    if (why != nullptr) *why = std::strerror(error);
    return false;
}

// The process's start, for telling a temporary file left by an earlier run from one
// that a save of this run may be writing. File times come from the kernel's coarse clock,
// which may lag this one by a tick: a second of margin keeps a file made just after the
// start from looking older than it.
const fs::file_time_type kProcessStart = fs::file_time_type::clock::now() - std::chrono::seconds(1);

bool AllDigits(std::string_view s) {
    return !s.empty() && std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The writer's process id when `name` is ".<file>.<pid>.<counter>.<8 hex>.tmp", else 0;
// `file` gets <file>.
long TempNameWriter(std::string_view name, std::string_view* file = nullptr) {
    constexpr std::string_view kEnd = ".tmp";
    if (name.size() < 2 + kEnd.size() || name[0] != '.' || !name.ends_with(kEnd)) return 0;
    name.remove_suffix(kEnd.size());
    std::string_view parts[3];
    for (auto& part : parts) {
        std::size_t dot = name.rfind('.');
        if (dot == std::string_view::npos || dot == 0) return 0;
        part = name.substr(dot + 1);
        name = name.substr(0, dot);
    }
    // parts: hex, counter, pid (read from the end)
    if (parts[0].size() != 8 || !std::all_of(parts[0].begin(), parts[0].end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)); }))
        return 0;
    if (!AllDigits(parts[1]) || !AllDigits(parts[2]) || parts[2].size() > 10) return 0;
    if (file != nullptr) *file = name.substr(1);
    return std::strtol(std::string(parts[2]).c_str(), nullptr, 10);
}

// Gives the open file `fd` the mode, owner and group of the regular file at `target`,
// when there is one. The owner first: a change of owner clears set-id bits.
int TakeAttributes(int fd, const fs::path& target) {
    struct stat st {};
    if (::stat(target.c_str(), &st) != 0) return errno == ENOENT ? 0 : errno;
    if (!S_ISREG(st.st_mode)) return 0;
    struct stat own {};
    if (::fstat(fd, &own) != 0) return errno;
    if ((own.st_uid != st.st_uid || own.st_gid != st.st_gid) && ::fchown(fd, st.st_uid, st.st_gid) != 0) return errno;
    if (::fchmod(fd, st.st_mode & 07777) != 0) return errno;
    return 0;
}

// Creates a temporary file of ours for `name`, exclusively and never through a link:
// ".<name>.<pid>.<n>.<random>.tmp" under `dir`, relative to the folder `dirFd` refers to
// (AT_FDCWD: the working folder). The descriptor with its name in `temp`, or -1 and errno.
int OpenTempFile(int dirFd, const fs::path& dir, const std::string& name, fs::path& temp) {
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 rng{std::random_device{}()};
    for (int attempt = 0; attempt < 32; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%d.%u.%08x.tmp", static_cast<int>(::getpid()),
                      counter.fetch_add(1), static_cast<unsigned>(rng()));
        temp = dir / ("." + name + suffix);
        const int fd = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}

}  // namespace

bool ReplaceFileContents(const fs::path& target, std::string_view data, std::string* why, KeepAttributes keep) {
    if (target.empty() || !target.has_filename()) return Fail(why, ENOENT);
    const fs::path dir = target.parent_path();
    fs::path temp;
    const int fd = OpenTempFile(AT_FDCWD, dir, target.filename().string(), temp);
    if (fd < 0) return Fail(why, errno);

    int error = keep == KeepAttributes::ModeAndOwner ? TakeAttributes(fd, target) : 0;
    if (error == 0 && (!WriteAll(fd, data) || ::fsync(fd) != 0)) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0) error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        return Fail(why, error);
    }
    SyncDirectory(dir.empty() ? fs::path(".") : dir);
    return true;
}

UniqueFd::~UniqueFd() {
    if (m_fd >= 0) ::close(m_fd);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (m_fd >= 0) ::close(m_fd);
        m_fd = other.m_fd;
        other.m_fd = -1;
    }
    return *this;
}

std::optional<std::string> CreateNewFileAt(int dirFd, const std::function<std::string(int)>& nameFor,
                                           std::string_view data, std::string* why) {
    constexpr int kMaxNames = 10000;
    const std::string first = nameFor(1);

    fs::path temp;
    const int fd = OpenTempFile(dirFd, {}, first, temp);
    if (fd < 0) {
        Fail(why, errno);
        return std::nullopt;
    }
    int error = 0;
    if (!WriteAll(fd, data) || ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0) error = errno;

    // The complete file takes its name only where no entry has it: renameat2 refuses to
    // replace; where the file system cannot do that, a hard link is just as exclusive.
    std::optional<std::string> taken;
    bool linked = false;
    for (int n = 1; error == 0 && !taken && n <= kMaxNames; ++n) {
        const std::string name = n == 1 ? first : nameFor(n);
        int rc = linked ? -1 : ::renameat2(dirFd, temp.c_str(), dirFd, name.c_str(), RENAME_NOREPLACE);
        if (rc != 0 && (linked || errno == EINVAL || errno == ENOSYS)) {
            linked = true;
            rc = ::linkat(dirFd, temp.c_str(), dirFd, name.c_str(), 0);
        }
        if (rc == 0) {
            taken = name;
        } else if (errno != EEXIST) {
            error = errno;
        }
    }
    if (!taken && error == 0) error = EEXIST;
    if (!taken || linked) ::unlinkat(dirFd, temp.c_str(), 0);
    if (!taken) {
        Fail(why, error);
        return std::nullopt;
    }
    ::fsync(dirFd);
    return taken;
}

std::optional<ExportFailure> WriteExportFile(std::wstring_view windowsName, std::string_view data) {
    const fs::path path = ResolveDrivePath(windowsName);
    if (path.empty()) return ExportFailure{std::wstring(windowsName), FromLocale8(std::strerror(ENOENT))};
    std::string why;
    if (ReplaceFileContents(path, data, &why)) return std::nullopt;
    return ExportFailure{FromLocale8(path.string()), FromLocale8(why)};
}

void RemoveStaleTempFiles(const fs::path& dir, std::string_view forFile) {
    std::error_code ec;
    for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        std::string_view file;
        const long pid = TempNameWriter(name, &file);
        if (pid <= 0 || pid == ::getpid() || (!forFile.empty() && file != forFile)) continue;
        // A writer that still runs (another window, another user's session) keeps its file.
        if (::kill(static_cast<pid_t>(pid), 0) == 0 || errno != ESRCH) continue;
        std::error_code fileEc;
        if (!it->is_regular_file(fileEc) || it->last_write_time(fileEc) >= kProcessStart || fileEc) continue;
        fs::remove(it->path(), fileEc);
    }
}

std::wstring FileNameSafe(std::wstring_view text) {
    std::wstring out(text);
    bool onlyDots = !out.empty();
    for (auto& c : out) {
        if (c < 0x20 || c == 0x7F || std::wcschr(L"\\/:*?\"<>|", c) != nullptr) c = L'_';
        onlyDots = onlyDots && c == L'.';
    }
    if (onlyDots) out.assign(out.size(), L'_');
    return out;
}

std::wstring SerialNamePart(std::wstring_view serial, std::wstring_view rest) {
    const std::size_t limit = NAME_MAX - kTempNameExtraBytes;
    const std::size_t restBytes = ToLocale8(rest).size();
    std::wstring out = FileNameSafe(serial);
    if (restBytes >= limit) return {};
    // Characters that do not exist in the locale's code set may take several bytes each
    // (UTF-8's replacement character takes three), so measure what is written.
    std::size_t bytes = ToLocale8(out).size();
    while (!out.empty() && bytes + restBytes > limit) {
        bytes -= ToLocale8(std::wstring_view(&out.back(), 1)).size();
        out.pop_back();
    }
    return FileNameSafe(out);
}

std::string XmlSafeUtf8(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out) {
        const auto v = static_cast<std::uint32_t>(c);
        const bool allowed = v == 0x9 || v == 0xA || v == 0xD || (v >= 0x20 && v <= 0xD7FF) ||
                             (v >= 0xE000 && v <= 0xFFFD) || (v >= 0x10000 && v <= 0x10FFFF);
        if (!allowed) c = L'\uFFFD';
    }
    return ToUtf8(out);
}

std::wstring CsvLineSafe(std::wstring_view text) {
    std::wstring out(text);
    for (auto& c : out)
        if (c == L'\r' || c == L'\n') c = L' ';
    return out;
}

ScopedCNumeric::ScopedCNumeric() {
    locale_t current = ::uselocale(static_cast<locale_t>(nullptr));
    locale_t copy = ::duplocale(current);
    if (copy == nullptr) return;
    m_locale = ::newlocale(LC_NUMERIC_MASK, "C", copy);
    if (m_locale == nullptr) {
        ::freelocale(copy);
        return;
    }
    m_previous = ::uselocale(m_locale);
}

ScopedCNumeric::~ScopedCNumeric() {
    if (m_locale == nullptr) return;
    ::uselocale(m_previous);
    ::freelocale(m_locale);
}

std::string Format(const char* fmt, ...) {
    char small[256];
    va_list args;
    va_start(args, fmt);
    int n = std::vsnprintf(small, sizeof small, fmt, args);
    va_end(args);
    if (n < 0) return {};
    if (static_cast<std::size_t>(n) < sizeof small) return std::string(small, n);
    std::string out(static_cast<std::size_t>(n) + 1, '\0');
    va_start(args, fmt);
    std::vsnprintf(out.data(), out.size(), fmt, args);
    va_end(args);
    out.resize(n);
    return out;
}

std::wstring WFormat(const wchar_t* fmt, ...) {
    // vswprintf does not report the length it needs: grow until the text fits.
    std::vector<wchar_t> buf(256);
    for (;;) {
        va_list args;
        va_start(args, fmt);
        int n = std::vswprintf(buf.data(), buf.size(), fmt, args);
        va_end(args);
        if (n >= 0 && static_cast<std::size_t>(n) < buf.size()) return std::wstring(buf.data(), n);
        if (buf.size() > (1u << 22)) return {};
        buf.resize(buf.size() * 4);
    }
}

}  // namespace wing
