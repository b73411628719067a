// The About box: the product line in the user's language whatever the interface uses,
// the build's version, the OK button's own text.

#include <QPushButton>

#include "window/controller_fixture.h"
#include "framework/qt_text.h"
#include "ui/about_dlg.h"
#include "framework/color_font_static.h"

namespace wing {
namespace {

using test::IniValues;

TEST(AboutVersion, VersionTextHasFourParts) {
    EXPECT_EQ(VersionText({1, 1, 35, 62}), L"V 1.1.35.62");
    EXPECT_EQ(VersionText({0, 0, 0, 0}), L"V 0.0.0.0");
    const FileVersion v = BuildFileVersion();
    EXPECT_EQ(VersionText(v), L"V " + std::to_wstring(v[0]) + L"." + std::to_wstring(v[1]) + L"." +
                                  std::to_wstring(v[2]) + L"." + std::to_wstring(v[3]));
}

class About : public test::MainDialogFixture {};

TEST_F(About, AnEnglishUserSeesTheEnglishLineUnderASimplifiedChineseInterface) {
    IniValues v;
    v.languageByOS = 0;
    auto& main = Open(v, "en_US.UTF-8");
    ASSERT_EQ(main.m_langId, LANG_ZH_CN);
    test::ScopedLocaleName locale("en_US.UTF-8");
    CAboutDlg about(&main);
    about.Create();
    EXPECT_EQ(about.windowTitle(), "Norvane Aerolite Kit");
    EXPECT_EQ(about.ItemText(IDC_ABOUT_PRODUCT), L"Norvane Aerolite Kit  " + VersionText(BuildFileVersion()));
    auto* ok = about.ItemAs<QPushButton>(IDOK);
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok->text(), QString::fromUtf8("確定"));
    ok->click();
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(AboutLanguage, EachUserLanguageAndOneWithoutATable) {
    struct Case {
        unsigned lang;
        bool hasTable;
    } cases[] = {{LANG_ZH_TW, true}, {LANG_ZH_CN, true}, {LANG_EN_US, true}, {1031, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.lang);
        CAboutDlg about(nullptr, c.lang);
        about.Create();
        std::wstring product;
        LoadLanguageString(c.lang, 156, product);
        EXPECT_EQ(product.empty(), !c.hasTable);
        EXPECT_EQ(FromQString(about.windowTitle()), product);
        EXPECT_EQ(about.ItemText(IDC_ABOUT_PRODUCT), product + L"  " + VersionText(BuildFileVersion()));
        EXPECT_EQ(about.ItemText(IDOK), L"確定");
        about.DestroyWindow();
    }
}

}  // namespace
}  // namespace wing
