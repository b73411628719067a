#include "ui/about_dlg.h"

#include <QLabel>

#include <cstdio>

#include "framework/grow_to_fit.h"
#include "framework/qt_text.h"
#include "platform/language_id.h"
#include "platform/text.h"
#include "settings/config.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "framework/color_font_static.h"

#ifndef WING_VERSION_MAJOR
#error "the build defines the four parts of the version"
#endif

namespace wing {

FileVersion BuildFileVersion() {
    return {WING_VERSION_MAJOR, WING_VERSION_MINOR, WING_VERSION_PATCH, WING_VERSION_TWEAK};
}

std::wstring VersionText(const FileVersion& v) {
    wchar_t buf[64];
    std::swprintf(buf, 64, L"V %u.%u.%u.%u", v[0] & 0xFFFF, v[1] & 0xFFFF, v[2] & 0xFFFF, v[3] & 0xFFFF);
    return buf;
}

CAboutDlg::CAboutDlg(QWidget* parent, unsigned langId, std::filesystem::path settingsFile)
    : CDialog(AboutDialogTemplate(), parent),
      m_langOverride(langId),
      m_settingsFile(settingsFile.empty() ? ConfigFilePath() : std::move(settingsFile)) {}

std::wstring CAboutDlg::SettingsNote() const {
    const unsigned lang = m_langOverride != 0 ? m_langOverride : GetUserDefaultLangId();
    std::wstring label;
    LoadLanguageString(lang, IDS_SETTINGS_IN_FORCE, label);
    return label + L" " + FromLocale8(m_settingsFile.string());
}

bool CAboutDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The user's own language, not the interface language the configuration chose.
    const unsigned lang = m_langOverride != 0 ? m_langOverride : GetUserDefaultLangId();
    std::wstring product;
    LoadLanguageString(lang, IDS_PRODUCT_LINE, product);
    setWindowTitle(ToQString(product));
    if (auto* line = ColorStatic(IDC_ABOUT_PRODUCT)) line->SetText(product + L"  " + VersionText(BuildFileVersion()));
    // Where the settings come from, for whoever wonders which file to look at.
    const QString note = ToQString(SettingsNote());
    for (QLabel* label : findChildren<QLabel*>()) label->setToolTip(note);
    setToolTip(note);
    // A longer product line or version than the template made room for widens the box.
    GrowToFitTexts(*this);
    return true;
}

int CAboutDlg::Show(QWidget* parent) {
    CAboutDlg dlg(parent);
    return dlg.DoModal();
}

}  // namespace wing
