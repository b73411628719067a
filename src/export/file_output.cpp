#include "export/file_output.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cwchar>
#include <random>
#include <vector>

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

}  // namespace

bool ReplaceFileContents(const fs::path& target, std::string_view data) {
    if (target.empty() || !target.has_filename()) return false;
    const fs::path dir = target.parent_path();
    static std::atomic<unsigned> counter{0};
    thread_local std::mt19937 rng{std::random_device{}()};

    fs::path temp;
    int fd = -1;
    for (int attempt = 0; attempt < 32 && fd < 0; ++attempt) {
        char suffix[48];
        std::snprintf(suffix, sizeof suffix, ".%d.%u.%08x.tmp", static_cast<int>(::getpid()),
                      counter.fetch_add(1), static_cast<unsigned>(rng()));
        temp = dir / ("." + target.filename().string() + suffix);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) return false;
    }
    if (fd < 0) return false;

    bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    SyncDirectory(dir.empty() ? fs::path(".") : dir);
    return true;
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
