#pragma once
// Numbers written with a decimal comma, as a German or French user's are, for the life of
// the object: files that other programs read must still carry a point. An installed
// de_DE or fr_FR locale is taken; without one, a locale of numbers alone is compiled with
// localedef into a temporary folder and found through LOCPATH.

#include <stdlib.h>

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

namespace wing::test {

class ScopedDecimalComma {
public:
    ScopedDecimalComma() {
        m_old = std::setlocale(LC_NUMERIC, nullptr);
        for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "de_DE.utf8"})
            if (std::setlocale(LC_NUMERIC, name) != nullptr && HasComma()) return;
        CompileOwn();
        if (!HasComma()) std::setlocale(LC_NUMERIC, m_old.c_str());
    }
    ~ScopedDecimalComma() {
        std::setlocale(LC_NUMERIC, m_old.c_str());
        std::error_code ec;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
    }
    ScopedDecimalComma(const ScopedDecimalComma&) = delete;
    ScopedDecimalComma& operator=(const ScopedDecimalComma&) = delete;

    // False when no such locale could be had (the test then says so and is skipped).
    bool Active() const { return HasComma(); }

private:
    static bool HasComma() { return std::strcmp(std::localeconv()->decimal_point, ",") == 0; }

    void CompileOwn() {
        char tmpl[] = "/tmp/wing-locale-XXXXXX";
        if (::mkdtemp(tmpl) == nullptr) return;
        m_dir = tmpl;
        std::ofstream(m_dir / "comma.src") << "LC_NUMERIC\ndecimal_point \",\"\nthousands_sep \".\"\n"
                                              "grouping 3;3\nEND LC_NUMERIC\n";
        // -c: the other categories are missing on purpose; localedef warns and still writes.
        const std::string command = "localedef -c -i '" + (m_dir / "comma.src").string() + "' '" +
                                    (m_dir / "comma").string() + "' >/dev/null 2>&1";
        if (std::system(command.c_str()) == -1) return;
        const char* oldPath = ::getenv("LOCPATH");
        const std::string keep = oldPath != nullptr ? oldPath : "";
        ::setenv("LOCPATH", m_dir.c_str(), 1);
        std::setlocale(LC_NUMERIC, "comma");
        if (oldPath != nullptr) ::setenv("LOCPATH", keep.c_str(), 1);
        else ::unsetenv("LOCPATH");
    }

    std::string m_old;
    std::filesystem::path m_dir;
};

}  // namespace wing::test
