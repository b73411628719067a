#pragma once
// A main dialog built from a temporary Wing.ini, with message boxes answered by a
// responder and the user's language set for the run.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <string>

#include "window/wing_utility_dlg.h"
#include "framework/message_box_qt.h"
#include "framework/qt_test_env.h"
#include "resources/string_table.h"

namespace wing::test {

struct IniValues {
    int competition = 1;
    int languageByOS = 2;  // 2: English
    int ntp = 0;           // never the real clock in tests
    int enable = 0;
    int com = 3;
    const char* ntpServer = "127.0.0.1";  // resolves without a network
};

// Sets LC_ALL for the scope (the user's default language is read from it).
class ScopedLocaleName {
public:
    explicit ScopedLocaleName(const char* name) {
        if (const char* old = std::getenv("LC_ALL")) m_old = old;
        setenv("LC_ALL", name, 1);
    }
    ~ScopedLocaleName() {
        if (m_old) setenv("LC_ALL", m_old->c_str(), 1);
        else unsetenv("LC_ALL");
    }

private:
    std::optional<std::string> m_old;
};

class MainDialogFixture : public ::testing::Test {
protected:
    void TearDown() override {
        dlg.reset();
        std::error_code ec;
        if (!m_dir.empty()) std::filesystem::remove_all(m_dir, ec);
    }

    std::wstring WriteIni(const IniValues& v) {
        if (m_dir.empty()) {
            char tmpl[] = "/tmp/wing-ini-XXXXXX";
            m_dir = mkdtemp(tmpl);
        }
        const std::filesystem::path path = m_dir / "Wing.ini";
        std::ofstream out(path);
        out << "[Mode]\nCompetition=" << v.competition << "\n[Power]\nThreshold=40\n[Language]\nLanguageByOS="
            << v.languageByOS << "\n[NTP]\nNTP=" << v.ntp << "\nServer=" << v.ntpServer << "\n[Personal]\nENABLE=" << v.enable << "\nCOM=" << v.com
            << "\n[Map]\nOffline=1\n";  // the flight window never goes online
        return path.wstring();
    }

    // Builds the dialog and runs its initialisation; the clock thread starts with it.
    CWingUtilityDlg& Open(const IniValues& v, const char* userLocale = "en_US.UTF-8") {
        ScopedLocaleName locale(userLocale);
        dlg = std::make_unique<CWingUtilityDlg>(nullptr, WriteIni(v));
        dlg->Create();
        return *dlg;
    }

    std::wstring Str(unsigned lang, unsigned id) const {
        std::wstring text;
        LoadLanguageString(lang, id, text);
        return text;
    }

    MessageBoxResponder boxes{IDOK};
    std::unique_ptr<CWingUtilityDlg> dlg;

private:
    std::filesystem::path m_dir;
};

}  // namespace wing::test
