#pragma once
// Helpers shared by the writers: whole-file replacement, file-name-safe device
// text, and printf-style formatting with "." as the decimal point whatever the
// user's locale.

#include <clocale>
#include <filesystem>
#include <functional>
#include <locale.h>
#include <optional>
#include <string>
#include <string_view>

namespace wing {

// A file of an export that is not in place: its name and the system's reason.
struct ExportFailure {
    std::wstring path;
    std::wstring reason;
};

// What a replaced file keeps of the one it replaces. The exports and the archive start
// afresh; the settings keep their mode and owner (a private file stays private).
enum class KeepAttributes { None, ModeAndOwner };

// Writes `data` to a new file beside `target` and renames it over `target` once it
// is complete and flushed, so a failure (disk full, no rights, missing folder)
// leaves any earlier file untouched. False on any failure, with the system's reason
// in `why` when given; the partial file is removed. With KeepAttributes::ModeAndOwner
// the new file gets the mode, owner and group of the regular file at `target` before
// anything is written to it, and the write fails when the system refuses them.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view data, std::string* why = nullptr,
                         KeepAttributes keep = KeepAttributes::None);

// An open file descriptor, closed with the object.
class UniqueFd {
public:
    explicit UniqueFd(int fd = -1) : m_fd(fd) {}
    ~UniqueFd();
    UniqueFd(UniqueFd&& other) noexcept : m_fd(other.m_fd) { other.m_fd = -1; }
    UniqueFd& operator=(UniqueFd&& other) noexcept;
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;
    int Get() const { return m_fd; }
    explicit operator bool() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Writes `data` to a new file in the folder open as `dirFd`, under the first of
// nameFor(1), nameFor(2), ... that no entry of the folder has: an existing file is never
// replaced, however many writers race for one name. The file is complete and flushed
// before it gets its name. The name taken, or nothing, with the system's reason in `why`
// (no partial file is left).
std::optional<std::string> CreateNewFileAt(int dirFd, const std::function<std::string(int)>& nameFor,
                                           std::string_view data, std::string* why = nullptr);

// The bytes a temporary name adds to its file's name: a leading dot and
// ".<pid>.<counter>.<8 hex digits>.tmp".
inline constexpr std::size_t kTempNameExtraBytes = 1 + 1 + 10 + 1 + 10 + 1 + 8 + 4;

// Removes temporary files of ours that a save killed part-way left in `dir`: names of
// the temporary pattern whose writing process is gone and that are older than this
// process; with `forFile`, only the temporary names of that file. Anything else in the
// folder is left alone.
void RemoveStaleTempFiles(const std::filesystem::path& dir, std::string_view forFile = {});

// Device text made safe as part of a file name: path separators, control characters
// and the characters Windows forbids in names become '_', and a text of dots only
// becomes underscores. Ordinary serial numbers pass unchanged.
std::wstring FileNameSafe(std::wstring_view text);

// The serial number made safe (FileNameSafe) as the start of an export file name that
// `rest` completes, cut at a character boundary so that the whole name, and its
// temporary name, stay within the system's limit on a name's bytes.
std::wstring SerialNamePart(std::wstring_view serial, std::wstring_view rest);

// Text as UTF-8 for an XML document, each character XML 1.0 forbids (control
// characters but tab, line feed and carriage return; surrogates; U+FFFE, U+FFFF)
// replaced by U+FFFD.
std::string XmlSafeUtf8(std::wstring_view text);

// Device text for one header line of the CSV file: carriage returns and line feeds,
// which would start a new line, become blanks.
std::wstring CsvLineSafe(std::wstring_view text);

// Writes an export file named by its Windows name; the failure, if any.
std::optional<ExportFailure> WriteExportFile(std::wstring_view windowsName, std::string_view data);

// Switches this thread's numeric formatting to the C locale for the guard's life,
// keeping the rest of the user's locale (the code set the CSV is written in).
class ScopedCNumeric {
public:
    ScopedCNumeric();
    ~ScopedCNumeric();
    ScopedCNumeric(const ScopedCNumeric&) = delete;
    ScopedCNumeric& operator=(const ScopedCNumeric&) = delete;

private:
    locale_t m_locale = nullptr;
    locale_t m_previous = nullptr;
};

std::string Format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));
std::wstring WFormat(const wchar_t* fmt, ...);

}  // namespace wing
