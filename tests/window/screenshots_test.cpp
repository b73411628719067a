// Pictures of every window in each language at the run's scale factor, for a person to
// look at: <build>/screenshots/<window>-<language>@<scale>x.png (main-en@1.5x.png); the
// main window also with the largest refusal report it can show (main-en-refusal@1x.png).

#include <QDir>
#include <QImage>

#include "window/every_window.h"
#include "window/view_constants.h"

namespace wing {
namespace {

class Screenshots : public test::EveryWindowFixture {
protected:
    static void Save(QWidget& window, const std::string& name) {
        const QString dir = QStringLiteral(WING_BINARY_DIR "/screenshots");
        ASSERT_TRUE(QDir().mkpath(dir));
        const QString file = dir + "/" + QString::fromStdString(name + "@" + test::ScaleTag() + ".png");
        const QImage image = window.grab().toImage();
        // The picture holds the window's device pixels.
        EXPECT_EQ(image.size(), window.size() * window.devicePixelRatioF());
        EXPECT_TRUE(image.save(file)) << file.toStdString();
    }
};

TEST_F(Screenshots, EveryWindowInEachLanguage) {
    for (const test::MainWindowCase& c : test::EveryMainWindowCase()) {
        auto& d = OpenMain(c);
        Save(d, c.name);
        if (c.competition == 1) {
            // With the largest refusal report the logger can give, as it is drawn then.
            const auto largest = d.LargestLaterText(IDC_ERROR_LINE);
            ASSERT_TRUE(largest);
            d.SetStatic(IDC_ERROR_LINE, largest->text, DarkRed(), largest->points);
            Save(d, c.name + "-refusal");
        }
        dlg.reset();
    }
    for (const test::Language& l : test::kEveryLanguage) {
        auto about = OpenAbout(l);
        Save(*about, std::string("about-") + l.tag);
        about->DestroyWindow();
        Save(*OpenFlight(l, true), std::string("flight-") + l.tag);
        Save(*OpenFlight(l, false), std::string("flight-") + l.tag + "-no-loft");
        Save(*OpenFlightList(l), std::string("flights-") + l.tag);
        Save(*OpenSettings(l), std::string("settings-") + l.tag);
        test::TempFolder folder;
        Save(*OpenRace(l, folder), std::string("race-") + l.tag);
        Save(*OpenRaceRelease(l, false), std::string("race-new-") + l.tag);
        Save(*OpenRaceRelease(l, true), std::string("station-release-") + l.tag);
    }
}

}  // namespace
}  // namespace wing
