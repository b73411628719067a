// Pictures of the window in the three languages and of the About box, for a person to
// look at: <build>/screenshots/.

#include <QDir>
#include <QImage>

#include "window/controller_fixture.h"
#include "ui/about_dlg.h"

namespace wing {
namespace {

using namespace std::chrono_literals;
using test::IniValues;

class Screenshots : public test::MainDialogFixture {};

TEST_F(Screenshots, MainWindowInEachLanguageAndTheAboutBox) {
    const QString dir = QStringLiteral(WING_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    struct Case {
        const char* file;
        int languageByOS;
        const char* locale;
        int competition;
    } cases[] = {
        {"main-en.png", 2, "en_US.UTF-8", 1},
        {"main-zh-tw.png", 1, "zh_TW.UTF-8", 1},
        {"main-zh-cn.png", 0, "zh_CN.UTF-8", 1},
    };
    for (const Case& c : cases) {
        IniValues v;
        v.languageByOS = c.languageByOS;
        v.competition = c.competition;
        v.enable = 2;  // station mode: every control shows
        auto& d = Open(v, c.locale);
        // Unlinked, with the clock's first texts.
        ASSERT_TRUE(test::PumpUntil([&] { return d.IsItemEnabled(IDC_LINK) && !d.ItemText(IDC_TIME_TEXT).empty(); }, std::chrono::milliseconds(4000)));
        test::PumpFor(100ms);
        const QImage image = d.grab().toImage();
        EXPECT_EQ(image.size(), d.size());
        EXPECT_TRUE(image.save(dir + "/" + c.file)) << c.file;
        dlg.reset();
    }
    test::ScopedLocaleName locale("en_US.UTF-8");
    CAboutDlg about;
    about.Create();
    EXPECT_TRUE(about.grab().toImage().save(dir + "/about.png"));
}

}  // namespace
}  // namespace wing
