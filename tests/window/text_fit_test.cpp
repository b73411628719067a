// No text is cut: every control of every window shows its whole text, in each language,
// at the scale factor the run was started with (ctest runs this program at 1, 1.5 and 2).

#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>

#include <langinfo.h>

#include <ctime>
#include <functional>

#include "framework/color_font_static.h"
#include "framework/qt_text.h"
#include "framework/xgroup_box.h"
#include "platform/text.h"
#include "resources/string_ids.h"
#include "support/text_fit.h"
#include "window/every_window.h"

WING_QT_TEST_ENVIRONMENT();

namespace wing {
namespace {

using test::Describe;
using test::TextsThatDoNotFit;

class TextFit : public test::EveryWindowFixture {};

// The rightmost column, in the widget's own pixels, where `w` paints red text.
int RightmostRedInk(QWidget& w) {
    const QImage image = w.grab().toImage();
    int right = -1;
    for (int y = 0; y < image.height(); ++y)
        for (int x = right + 1; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() - std::max(c.green(), c.blue()) > 60) right = x;
        }
    return right < 0 ? -1 : static_cast<int>(right / image.devicePixelRatio());
}

// The measure the walker and the window's layout rely on, checked against the pixels each
// kind of control paints: sized to the width the measure asks for, the control's text
// ends inside it (and not far inside: the measure is not merely generous).
TEST_F(TextFit, AControlAsWideAsTheMeasureAsksHoldsTheInkOfItsText) {
    struct Kind {
        const char* name;
        std::function<QWidget*(QWidget*, const QString&)> make;
        int clearance;  // pixels the control keeps right of its text by design
    } kinds[] = {
        {"check box", [](QWidget* p, const QString& t) { return new QCheckBox(t, p); }, 0},
        {"radio button", [](QWidget* p, const QString& t) { return new QRadioButton(t, p); }, 0},
        {"label", [](QWidget* p, const QString& t) { return new QLabel(t, p); }, 0},
        {"coloured static",
         [](QWidget* p, const QString& t) {
             auto* s = new CColorFontStatic(p);
             s->Attach();
             s->SetText(FromQString(t)).SetTextColor(Qt::red).SetPointSize(12);
             return s;
         },
         0},
        {"group box caption",
         [](QWidget* p, const QString& t) {
             auto* box = new CXGroupBox(p);
             box->Attach();
             box->SetCaptionFont();
             box->SetCaption(FromQString(t));
             box->m_textColor = Qt::red;
             return box;
         },
         8 + 3},  // the caption inset and the caption box's margin
    };
    for (const Kind& kind : kinds) {
        for (const QString& text : {QStringLiteral("Reserve Start Time"), QString::fromUtf8("預約啟動時間 (24小時制)")}) {
            SCOPED_TRACE(std::string(kind.name) + " \"" + text.toStdString() + "\" @" + test::ScaleTag());
            QWidget parent;
            parent.setFont(MakePixelFont(QStringLiteral("MS Shell Dlg"), 12));
            QPalette red = parent.palette();
            red.setColor(QPalette::WindowText, Qt::red);
            parent.setPalette(red);
            QWidget* control = kind.make(&parent, text);
            control->setGeometry(0, 0, 40, 30);
            parent.resize(600, 60);
            parent.show();
            const auto rooms = TextRooms(*control);
            ASSERT_EQ(rooms.size(), 1u);
            ASSERT_FALSE(rooms[0].Fits());
            const int fitting = control->width() + rooms[0].MissingWidth();
            // Drawn with room to spare, the text ends where the measure said it would.
            control->setGeometry(0, 0, fitting + 100, 30);
            test::PumpFor(std::chrono::milliseconds(10));
            const int ink = RightmostRedInk(*control);
            EXPECT_LT(ink, fitting - kind.clearance);
            EXPECT_GE(ink, fitting - kind.clearance - 4);
            control->setGeometry(0, 0, fitting, 30);
            EXPECT_TRUE(TextRooms(*control)[0].Fits());
        }
    }
}

TEST_F(TextFit, EveryControlOfTheMainWindowShowsItsWholeText) {
    for (const test::MainWindowCase& c : test::EveryMainWindowCase()) {
        SCOPED_TRACE(c.name + "@" + test::ScaleTag());
        auto& d = OpenMain(c);
        const auto misfits = TextsThatDoNotFit(d);
        EXPECT_TRUE(misfits.empty()) << Describe(misfits);
        // The clock's date on every day of the week, with the day's name as the clock
        // takes it (the locale's, else the table's).
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        std::wstring date;
        ASSERT_TRUE(d.m_formatDate(local, date));
        for (int day = 0; day < 7; ++day) {
            for (const std::wstring& name : {FromLocale8(nl_langinfo(static_cast<nl_item>(DAY_1 + day))),
                                             d.m_weekdayNames[day]}) {
                const auto room = MeasureText(*d.Item(IDC_DATE_TEXT), ToQString(date + L"  " + name));
                ASSERT_TRUE(room);
                EXPECT_TRUE(room->Fits()) << FromQString(room->text).size() << " characters need "
                                          << room->need.width() << " > " << room->have.width();
            }
        }
        // The read's last line, the serial number's place and the refusal report (every
        // command with every status code, a silence, the switch notes), with every text
        // they show later, at the size each is drawn.
        for (int id : {IDC_READ_MESSAGE, IDC_SERIAL, IDC_ERROR_LINE}) {
            for (const auto& later : d.LaterTexts(id)) {
                const auto room = d.MeasureLaterText(id, later);
                ASSERT_TRUE(room);
                EXPECT_TRUE(room->Fits()) << id << " \"" << ToUtf8(later.text) << "\" at " << later.points
                                          << " pt needs " << room->need.width() << "x" << room->need.height()
                                          << " > " << room->have.width() << "x" << room->have.height();
            }
        }
        // LINK reads "Disconnect USB" while linked.
        const auto linked = MeasureText(*d.Item(IDC_LINK), ToQString(Str(c.language.langId, IDS_DISCONNECT)));
        ASSERT_TRUE(linked);
        EXPECT_TRUE(linked->Fits()) << linked->need.width() << " > " << linked->have.width();
        // Nothing was pushed out of the window, out of its group, or onto another control:
        // compared with the same template laid out as it is, before any text.
        const CDialog as(d.Template());
        for (const DialogControl& a : d.Template().controls) {
            if (!d.IsItemVisible(a.id)) continue;
            EXPECT_TRUE(d.rect().contains(d.ItemRect(a.id))) << "control " << a.id;
            for (const DialogControl& b : d.Template().controls) {
                if (a.id == b.id || !d.IsItemVisible(b.id)) continue;
                const QRect now = d.ItemRect(a.id), other = d.ItemRect(b.id);
                if (as.ItemRect(a.id).contains(as.ItemRect(b.id))) {
                    EXPECT_TRUE(now.contains(other)) << a.id << " no longer holds " << b.id;
                } else if (!as.ItemRect(a.id).intersects(as.ItemRect(b.id))) {
                    EXPECT_FALSE(now.intersects(other)) << a.id << " runs into " << b.id;
                }
            }
        }
        // The station's Race button, beside Read and Save: inside the data group, on no
        // other control.
        ASSERT_NE(d.StationRaceButton(), nullptr);
        const QRect race = d.StationRaceButton()->geometry();
        EXPECT_TRUE(d.ItemRect(IDC_GROUP_DATA).contains(race)) << "the Race button leaves its group";
        for (const DialogControl& a : d.Template().controls) {
            if (a.id != IDC_GROUP_DATA && d.IsItemVisible(a.id)) {
                EXPECT_FALSE(d.ItemRect(a.id).intersects(race)) << "the Race button runs into " << a.id;
            }
        }
        dlg.reset();
    }
}

TEST_F(TextFit, TheAboutBoxTheFlightAndRaceWindowsTheFlightListAndTheSettingsShowTheirWholeTexts) {
    for (const test::Language& l : test::kEveryLanguage) {
        SCOPED_TRACE(std::string(l.tag) + "@" + test::ScaleTag());
        auto about = OpenAbout(l);
        EXPECT_TRUE(TextsThatDoNotFit(*about).empty()) << Describe(TextsThatDoNotFit(*about));
        about->DestroyWindow();
        for (bool withLoft : {true, false}) {
            auto flight = OpenFlight(l, withLoft);
            EXPECT_TRUE(TextsThatDoNotFit(*flight).empty()) << Describe(TextsThatDoNotFit(*flight));
        }
        auto list = OpenFlightList(l);
        EXPECT_TRUE(TextsThatDoNotFit(*list).empty()) << Describe(TextsThatDoNotFit(*list));
        auto settings = OpenSettings(l);
        EXPECT_TRUE(TextsThatDoNotFit(*settings).empty()) << Describe(TextsThatDoNotFit(*settings));
        test::TempFolder folder;
        auto race = OpenRace(l, folder);
        EXPECT_TRUE(TextsThatDoNotFit(*race).empty()) << Describe(TextsThatDoNotFit(*race));
        for (bool station : {false, true}) {
            auto release = OpenRaceRelease(l, station);
            EXPECT_TRUE(TextsThatDoNotFit(*release).empty()) << Describe(TextsThatDoNotFit(*release));
        }
    }
}

}  // namespace
}  // namespace wing
