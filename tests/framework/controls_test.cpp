// The coloured static and the group box, judged by the pixels they paint.

#include <gtest/gtest.h>

#include <QAccessible>
#include <QAccessibleEvent>
#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QPalette>
#include <QWidget>
#include <QWindow>

#include <thread>

#include "framework/qt_text.h"
#include "framework/qt_test_env.h"
#include "framework/text_room.h"
#include "framework/color_font_static.h"
#include "framework/xgroup_box.h"

namespace wing {
namespace {

using namespace std::chrono_literals;

// The bounding box of the pixels that are not `background`.
QRect InkBox(const QImage& image, QColor background) {
    QRect box;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (image.pixelColor(x, y).rgb() != background.rgb()) box |= QRect(x, y, 1, 1);
    return box;
}

// Whether some pixel of `area` is close to `colour` (text is antialiased).
bool HasColour(const QImage& image, QColor colour, QRect area) {
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - colour.red()) + std::abs(c.green() - colour.green()) +
                    std::abs(c.blue() - colour.blue()) < 60)
                return true;
        }
    return false;
}

struct StaticFixture : ::testing::Test {
    void SetUp() override {
        parent.resize(300, 200);
        parent.setFont(MakePixelFont("MS Shell Dlg", 12));
        label = new CColorFontStatic(&parent);
        label->setGeometry(10, 10, 200, 80);
        label->Attach();
        parent.show();
    }
    QImage Grab() { return label->grab().toImage(); }
    QWidget parent;
    CColorFontStatic* label = nullptr;
};

TEST_F(StaticFixture, TextIsDrawnFromTheTopLeftOnTheButtonFaceUntilABackColourIsSet) {
    label->SetText(L"Completing");
    QImage image = Grab();
    const QColor face = parent.palette().color(QPalette::Window);
    EXPECT_EQ(image.pixelColor(199, 79).rgb(), face.rgb());
    QRect ink = InkBox(image, face);
    ASSERT_FALSE(ink.isEmpty());
    EXPECT_LE(ink.left(), 2);
    EXPECT_LE(ink.top(), 5);
    EXPECT_LT(ink.bottom(), 20);  // one line

    label->SetBackColor(Qt::yellow);
    image = Grab();
    EXPECT_EQ(image.pixelColor(199, 79), QColor(Qt::yellow));
}

TEST_F(StaticFixture, LineBreaksStartNewLinesAndLongLinesAreCutUnlessTheControlWraps) {
    label->SetBackColor(Qt::white).SetTextColor(Qt::black);
    label->SetText(L"Received command [Set Mode] 's NACK.\r\n\r\n[Incorrect Mode]\r\n\r\nPlease reset");
    const QRect ink = InkBox(Grab(), Qt::white);
    EXPECT_LE(ink.left(), 2);
    EXPECT_GT(ink.bottom(), 55);        // the fifth line is near the bottom
    EXPECT_EQ(ink.right(), 199);        // the first line runs into the right edge and is cut there

    label->SetText(L"one line only, no wrap at all even when it is far too long for the box");
    EXPECT_LT(InkBox(Grab(), Qt::white).bottom(), 20);
    EXPECT_GT(TextRooms(*label).at(0).MissingWidth(), 0);

    // Told to wrap, the same line continues below, broken between words, within the width.
    label->SetWordWrap(true);
    label->repaint();
    EXPECT_GT(InkBox(Grab(), Qt::white).bottom(), 20);
    EXPECT_EQ(TextRooms(*label).at(0).MissingWidth(), 0);
}

// Counts the paint events a widget receives.
struct PaintCounter : QObject {
    int paints = 0;
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) ++paints;
        return false;
    }
};

TEST_F(StaticFixture, OnlyAChangedTextIsDrawnAgain) {
    // The status answers set the battery's text twice a second, mostly to what it shows.
    // Painted only once its window is on the screen.
    for (int i = 0; i < 200 && !(parent.windowHandle() && parent.windowHandle()->isExposed()); ++i) {
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(parent.windowHandle() && parent.windowHandle()->isExposed());
    QCoreApplication::processEvents();
    PaintCounter counter;
    label->installEventFilter(&counter);
    label->SetText(L"3.9 V");
    const int afterFirst = counter.paints;
    EXPECT_GE(afterFirst, 1);
    label->SetText(L"3.9 V");
    label->SetText(L"3.9 V");
    EXPECT_EQ(counter.paints, afterFirst);
    label->SetText(L"3.8 V");
    EXPECT_GT(counter.paints, afterFirst);
    EXPECT_EQ(label->Text(), L"3.8 V");
    label->removeEventFilter(&counter);
}

TEST_F(StaticFixture, AnAmpersandMarksAMnemonicUnlessPrefixesAreOff) {
    label->SetBackColor(Qt::white).SetTextColor(Qt::black);
    label->SetText(L"&&&&&&&&");  // four ampersands shown
    const int shownFour = InkBox(Grab(), Qt::white).width();
    label->SetNoPrefix(true);
    label->SetText(L"&&&&&&&&");  // all eight shown
    label->repaint();
    const int shownEight = InkBox(Grab(), Qt::white).width();
    EXPECT_GT(shownEight, shownFour + shownFour / 2);
}

TEST_F(StaticFixture, PointSizeFollowsTheScreenRuleAndBoldAndFaceKeepIt) {
    EXPECT_EQ(CColorFontStatic::HeightForPoints(12, 96), -16);
    EXPECT_EQ(CColorFontStatic::HeightForPoints(14, 96), -19);
    EXPECT_EQ(CColorFontStatic::HeightForPoints(16, 96), -21);
    EXPECT_EQ(CColorFontStatic::HeightForPoints(12, 120), -20);

    EXPECT_EQ(label->Description().height, -12);  // copied from the parent's font on attach
    label->SetPointSize(12);
    EXPECT_EQ(label->Description().height, -16);
    EXPECT_EQ(label->PaintFont().pixelSize(), 16);
    label->SetBold(true);
    EXPECT_EQ(label->Description().height, -16);
    EXPECT_EQ(label->Description().weight, 700);
    EXPECT_TRUE(label->PaintFont().bold());
    label->SetFaceName(L"AR PL UKai TW", 136);
    EXPECT_EQ(label->Description().height, -16);
    EXPECT_EQ(label->Description().weight, 700);
    EXPECT_EQ(label->Description().charSet, 136);
    EXPECT_EQ(label->PaintFont().family(), "AR PL UKai TW");
    label->SetFaceName(std::wstring(40, L'x'), 1);
    EXPECT_EQ(label->Description().faceName.size(), CColorFontStatic::kMaxFaceName);
}

TEST_F(StaticFixture, AssistiveTechnologyReadsTheCurrentText) {
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(label);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->role(), QAccessible::StaticText);
    for (const wchar_t* text : {L"Downloading…Please wait a moment.", L"完成讀取並儲存記錄!!", L""}) {
        label->SetText(text);
        EXPECT_EQ(a->text(QAccessible::Name), QString::fromStdWString(text));
    }
}

TEST_F(StaticFixture, SettersFromAnotherThreadReachTheControlThroughTheUiThread) {
    label->SetText(L"before");
    std::thread worker([&] { label->SetText(L"12:00:01").SetTextColor(QColor(0, 127, 0)).SetPointSize(12); });
    worker.join();
    EXPECT_EQ(label->Text(), L"before");  // nothing touched off the UI thread
    test::PumpUntil([&] { return label->Text() == L"12:00:01"; }, 2s);
    QApplication::processEvents();
    EXPECT_EQ(label->Text(), L"12:00:01");
    EXPECT_EQ(label->TextColor(), QColor(0, 127, 0));
    EXPECT_EQ(label->Description().height, -16);
}

TEST(ColorFontStaticLife, SetTextBeforeBindingDoesNothing) {
    CColorFontStatic label;
    label.SetText(L"early");
    EXPECT_EQ(label.Text(), L"");
}

struct GroupFixture : ::testing::Test {
    void SetUp() override {
        parent.resize(300, 200);
        parent.setFont(MakePixelFont("MS Shell Dlg", 12));
        parent.setAutoFillBackground(true);
        box = new CXGroupBox(&parent);
        box->setGeometry(10, 10, 200, 100);
        box->Attach();
        parent.show();
    }
    QImage Grab() {
        box->repaint();
        // The box as it shows on its parent, see-through parts included.
        return parent.grab(box->geometry()).toImage();
    }
    QColor Dark() const { return box->palette().color(QPalette::Dark); }
    QColor Light() const { return box->palette().color(QPalette::Light); }
    QWidget parent;
    CXGroupBox* box = nullptr;
};

TEST_F(GroupFixture, WithoutTheThemeTheFrameIsEtchedAndTheCaptionCutsIt) {
    box->m_useTheme = false;
    box->SetCaption(std::wstring(L"GPS Connection"));
    box->SetCaptionFont();
    const QImage image = Grab();
    const int h = box->HalfCaptionHeight();
    const QSize extent = box->CaptionExtent();
    ASSERT_GT(extent.width(), 20);
    EXPECT_EQ(h, (extent.height() + 1) / 2);
    const int mid = h + (100 - h) / 2;
    EXPECT_EQ(image.pixelColor(0, mid).rgb(), Dark().rgb());      // frame line
    EXPECT_EQ(image.pixelColor(1, mid).rgb(), Light().rgb());     // highlight inside it
    EXPECT_EQ(image.pixelColor(198, mid).rgb(), Dark().rgb());
    EXPECT_EQ(image.pixelColor(199, mid).rgb(), Light().rgb());   // highlight outside on the right
    EXPECT_EQ(image.pixelColor(4, h).rgb(), Dark().rgb());        // top line left of the caption
    EXPECT_EQ(image.pixelColor(198 - 4, h).rgb(), Dark().rgb());  // and right of it
    // Behind the caption box (8 .. 8 + cx + 6) there is no frame line.
    EXPECT_NE(image.pixelColor(9, h).rgb(), Dark().rgb());
    EXPECT_NE(image.pixelColor(8 + extent.width() + 5, h).rgb(), Dark().rgb());
}

TEST_F(GroupFixture, CaptionKeepsTheColourWrittenAfterAttachAndGreysWhenDisabled) {
    box->SetCaption(std::wstring(L"Time: (PC Time / 24H)"));
    box->m_textColor = QColor(255, 0, 0);
    QImage image = Grab();
    const int d = box->CaptionExtent().height() + 1;
    const QRect band(11, 0, box->CaptionExtent().width(), d);
    EXPECT_TRUE(HasColour(image, QColor(255, 0, 0), band));
    // The themed frame's top line runs through the middle of the caption band.
    const int h = box->HalfCaptionHeight();
    bool lineNearMiddle = false;
    for (int y = h - 2; y <= h + 2; ++y)
        lineNearMiddle = lineNearMiddle || image.pixelColor(150, y) != image.pixelColor(150, 40);
    EXPECT_TRUE(lineNearMiddle);

    box->setEnabled(false);
    box->m_useTheme = false;
    image = Grab();
    EXPECT_FALSE(HasColour(image, QColor(255, 0, 0), band));
    EXPECT_TRUE(HasColour(image, box->palette().color(QPalette::Disabled, QPalette::WindowText), band));
    box->m_borderColor = QColor(0, 0, 255);  // a disabled box ignores its own border colour
    image = Grab();
    EXPECT_EQ(image.pixelColor(0, 60).rgb(), Dark().rgb());
}

TEST_F(GroupFixture, AnEmptyCaptionPutsTheFrameAtTheTopEdgeWithItsBoxStillCut) {
    box->m_useTheme = false;
    box->SetCaption(std::wstring());
    const QImage image = Grab();
    EXPECT_EQ(box->HalfCaptionHeight(), 0);
    EXPECT_EQ(image.pixelColor(0, 0).rgb(), Dark().rgb());
    EXPECT_EQ(image.pixelColor(30, 0).rgb(), Dark().rgb());
    EXPECT_NE(image.pixelColor(10, 0).rgb(), Dark().rgb());  // the 6-pixel caption box
}

TEST_F(GroupFixture, TheInsideShowsWhatTheParentShows) {
    QPalette p = parent.palette();
    p.setColor(QPalette::Window, QColor(200, 220, 240));
    parent.setPalette(p);
    box->SetCaption(std::wstring(L"GPS Data Access "));
    const QImage image = Grab();
    EXPECT_EQ(image.pixelColor(100, 60), QColor(200, 220, 240));
}

TEST_F(GroupFixture, CaptionFontIsTheKaiFaceAtTwelvePointsNormalWeight) {
    box->SetBold(true);
    EXPECT_TRUE(box->CaptionFont().bold());
    box->SetCaptionFont();
    EXPECT_FALSE(box->CaptionFont().bold());
    EXPECT_EQ(box->CaptionFont().pixelSize(), 16);
    EXPECT_TRUE(QFontInfo(box->CaptionFont()).family().contains("UKai")) << QFontInfo(box->CaptionFont()).family().toStdString();
}

}  // namespace
}  // namespace wing
