#pragma once
// The About box (dialog 100): the product line in the user's own language and the
// program's version; its lines' tooltip names the settings file in force.

#include <array>
#include <filesystem>
#include <string>

#include "framework/dialog.h"

namespace wing {

constexpr int IDC_ABOUT_PRODUCT = 1036;

// The four parts of the program's file version, most significant first.
using FileVersion = std::array<unsigned, 4>;

// The version this build carries (the CMake project version).
FileVersion BuildFileVersion();
// "V a.b.c.d".
std::wstring VersionText(const FileVersion& version);

class CAboutDlg : public CDialog {
public:
    // `langId` 0: the user's default language. `settingsFile`: the settings in force;
    // empty: the file the lookup finds.
    explicit CAboutDlg(QWidget* parent = nullptr, unsigned langId = 0, std::filesystem::path settingsFile = {});
    bool OnInitDialog() override;
    // "Settings in force: <file>", the lines' tooltip.
    std::wstring SettingsNote() const;

    // Constructs, runs and ends the box.
    static int Show(QWidget* parent = nullptr);

private:
    unsigned m_langOverride;
    std::filesystem::path m_settingsFile;
};

}  // namespace wing
