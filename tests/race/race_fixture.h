#pragma once
// A fresh folder for the race tests' files, removed afterwards.

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace wing::test {

class TempFolder {
public:
    TempFolder() {
        char tmpl[] = "/tmp/wing-race-XXXXXX";
        m_path = ::mkdtemp(tmpl);
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::filesystem::path Write(const std::string& name, const std::string& text) const {
        const auto path = m_path / name;
        std::ofstream(path, std::ios::binary) << text;
        return path;
    }

private:
    std::filesystem::path m_path;
};

}  // namespace wing::test
