#pragma once
// Helpers shared by the writers: whole-file replacement, file-name-safe device
// text, and printf-style formatting with "." as the decimal point whatever the
// user's locale.

#include <clocale>
#include <filesystem>
#include <locale.h>
#include <string>
#include <string_view>

namespace wing {

// Writes `data` to a new file beside `target` and renames it over `target` once it
// is complete and flushed, so a failure (disk full, no rights, missing folder)
// leaves any earlier file untouched. False on any failure; the partial file is removed.
bool ReplaceFileContents(const std::filesystem::path& target, std::string_view data);

// Device text made safe as part of a file name: path separators, control characters
// and the characters Windows forbids in names become '_', and a text of dots only
// becomes underscores. Ordinary serial numbers pass unchanged.
std::wstring FileNameSafe(std::wstring_view text);

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
