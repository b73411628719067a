// A dialog grows where its texts need it and only there: what lies right of a wider
// control moves over, groups hold their controls, controls against a group's edge
// follow it, aligned groups stay aligned, the window keeps its margin; a wrapped text that
// needs more lines pushes what is below it down.

#include <gtest/gtest.h>

#include <array>

#include "framework/color_font_static.h"
#include "framework/dialog.h"
#include "framework/grow_to_fit.h"
#include "framework/qt_test_env.h"
#include "framework/text_room.h"
#include "support/text_fit.h"

namespace wing {
namespace {

constexpr std::uint32_t kChild = WS_CHILD | WS_VISIBLE;
constexpr auto P = ControlBinding::Plain;
constexpr auto XGB = ControlBinding::XGroupBox;

enum : int {
    kGroupA = 100,
    kLongCheck = 101,    // row 1, left: the text that does not fit
    kNeighbour = 102,    // row 1, right of it
    kSpanning = 103,     // row 2, the group's whole width
    kEdgeText = 105,     // row 3, a text against the group's right edge
    kEdgeCheck = 104,    // row 4, a check box against the group's right edge
    kBelow = 106,        // row 4, left: on no band with the long check box
    kGroupB = 110,       // below A, with the same edges
    kInB = 111,
};

constexpr std::array<DialogControl, 9> kControls{{
    {kGroupA, kButtonClass, kChild | BS_GROUPBOX, 0, {10, 10, 150, 80}, 0, L"Group A", 0, XGB},
    {kLongCheck, kButtonClass, kChild | BS_AUTOCHECKBOX, 0, {14, 24, 40, 10}, 0, L"Check", 0, P},
    {kNeighbour, kStaticClass, kChild | SS_LEFT, 0, {60, 24, 40, 10}, 0, L"Next", 0, P},
    {kSpanning, kButtonClass, kChild | BS_PUSHBUTTON, 0, {14, 40, 142, 14}, 0, L"Spanning", 0, P},
    {kEdgeText, kStaticClass, kChild | SS_LEFT, 0, {60, 58, 94, 10}, 0, L"Edge text", 0, P},
    {kEdgeCheck, kButtonClass, kChild | BS_AUTOCHECKBOX, 0, {104, 72, 50, 10}, 0, L"Edge", 0, P},
    {kBelow, kStaticClass, kChild | SS_LEFT, 0, {14, 72, 40, 10}, 0, L"Below", 0, P},
    {kGroupB, kButtonClass, kChild | BS_GROUPBOX, 0, {10, 95, 150, 30}, 0, L"Group B", 0, XGB},
    {kInB, kStaticClass, kChild | SS_LEFT, 0, {14, 108, 60, 10}, 0, L"In B", 0, P},
}};

const DialogTemplate kTemplate{
    900, WS_POPUP | WS_CAPTION | DS_SHELLFONT, 0, 170, 130, L"Fit", L"MS Shell Dlg", 9, kControls,
};

// The same dialog as its template lays it out, to compare with.
struct Pair {
    CDialog as{kTemplate};
    CDialog fitted{kTemplate};
    QRect Was(int id) const { return as.ItemRect(id); }
    QRect Now(int id) const { return fitted.ItemRect(id); }
    int WasRightMargin(int id, int group) const {
        return (Was(group).x() + Was(group).width()) - (Was(id).x() + Was(id).width());
    }
    int NowRightMargin(int id, int group) const {
        return (Now(group).x() + Now(group).width()) - (Now(id).x() + Now(id).width());
    }
};

TEST(GrowToFit, TextsThatFitLeaveTheTemplatesLayoutAsItIs) {
    Pair d;
    EXPECT_TRUE(test::TextsThatDoNotFit(d.fitted).empty()) << test::Describe(test::TextsThatDoNotFit(d.fitted));
    EXPECT_TRUE(GrowToFitTexts(d.fitted).isNull());
    EXPECT_EQ(d.fitted.size(), d.as.size());
    for (const DialogControl& c : kControls) EXPECT_EQ(d.Now(c.id), d.Was(c.id)) << c.id;
}

TEST(GrowToFit, AWiderTextMovesWhatIsBesideItAndWidensItsGroupAndTheWindow) {
    Pair d;
    d.fitted.SetItemText(kLongCheck, L"A check box whose text is far wider than the template");
    ASSERT_FALSE(test::TextsThatDoNotFit(d.fitted).empty());
    const QSize grown = GrowToFitTexts(d.fitted);
    EXPECT_TRUE(test::TextsThatDoNotFit(d.fitted).empty()) << test::Describe(test::TextsThatDoNotFit(d.fitted));
    EXPECT_GT(grown.width(), 0);
    EXPECT_EQ(grown.height(), 0);
    EXPECT_EQ(d.fitted.size(), d.as.size() + grown);

    // The long check box widened in place; its neighbour on the band moved right, keeping
    // its width and a gap.
    EXPECT_EQ(d.Now(kLongCheck).topLeft(), d.Was(kLongCheck).topLeft());
    EXPECT_GT(d.Now(kNeighbour).x(), d.Was(kNeighbour).x());
    EXPECT_EQ(d.Now(kNeighbour).size(), d.Was(kNeighbour).size());
    EXPECT_GT(d.Now(kNeighbour).x(), d.Now(kLongCheck).x() + d.Now(kLongCheck).width());
    // The group holds all of it, and what followed its right edge still does.
    for (int id : {kLongCheck, kNeighbour, kSpanning, kEdgeText, kEdgeCheck, kBelow})
        EXPECT_TRUE(d.Now(kGroupA).contains(d.Now(id))) << id;
    EXPECT_EQ(d.Now(kGroupA).topLeft(), d.Was(kGroupA).topLeft());
    EXPECT_GT(d.Now(kGroupA).width(), d.Was(kGroupA).width());
    for (int id : {kSpanning, kEdgeText, kEdgeCheck})
        EXPECT_EQ(d.NowRightMargin(id, kGroupA), d.WasRightMargin(id, kGroupA)) << id;
    // The spanning button and the text stretch; the check box moves whole.
    EXPECT_EQ(d.Now(kSpanning).x(), d.Was(kSpanning).x());
    EXPECT_EQ(d.Now(kEdgeText).x(), d.Was(kEdgeText).x());
    EXPECT_EQ(d.Now(kEdgeCheck).width(), d.Was(kEdgeCheck).width());
    // Off the band, nothing moves; the group below keeps the same right edge.
    EXPECT_EQ(d.Now(kBelow), d.Was(kBelow));
    EXPECT_EQ(d.Now(kInB), d.Was(kInB));
    EXPECT_EQ(d.Now(kGroupB).x() + d.Now(kGroupB).width(), d.Now(kGroupA).x() + d.Now(kGroupA).width());
    // The window's right margin is the template's.
    EXPECT_EQ(d.fitted.width() - (d.Now(kGroupA).x() + d.Now(kGroupA).width()),
              d.as.width() - (d.Was(kGroupA).x() + d.Was(kGroupA).width()));
}

TEST(GrowToFit, AWiderCaptionOrEdgeControlGrowsTheGroupWithoutMovingItsLeftSide) {
    struct Case {
        int id;
        const wchar_t* text;
    } cases[] = {
        {kGroupA, L"A group caption far wider than the box the template drew for it"},
        {kEdgeCheck, L"An edge check box with a long text"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.id);
        Pair d;
        d.fitted.SetItemText(c.id, c.text);
        EXPECT_GT(GrowToFitTexts(d.fitted).width(), 0);
        EXPECT_TRUE(test::TextsThatDoNotFit(d.fitted).empty()) << test::Describe(test::TextsThatDoNotFit(d.fitted));
        for (int id : {kLongCheck, kNeighbour, kBelow, kInB}) EXPECT_EQ(d.Now(id), d.Was(id)) << id;
        EXPECT_GE(d.Now(kEdgeCheck).x(), d.Was(kEdgeCheck).x());
        EXPECT_TRUE(d.Now(kGroupA).contains(d.Now(kEdgeCheck)));
    }
}

// A report that wraps inside a group, with buttons below it in its column and a text
// beside it in another.
enum : int { kReportGroup = 200, kReport = 201, kUnder = 202, kLast = 203, kBeside = 204 };

constexpr std::array<DialogControl, 5> kColumnControls{{
    {kReportGroup, kButtonClass, kChild | BS_GROUPBOX, 0, {5, 2, 70, 34}, 0, L"Report", 0, XGB},
    {kReport, kStaticClass, kChild | SS_LEFT, 0, {10, 12, 60, 18}, 0, nullptr, 0, ControlBinding::ColorFontStatic},
    {kUnder, kButtonClass, kChild | BS_PUSHBUTTON, 0, {10, 40, 60, 14}, 0, L"Under", 0, P},
    {kLast, kButtonClass, kChild | BS_PUSHBUTTON, 0, {10, 60, 60, 14}, 0, L"Last", 0, P},
    {kBeside, kStaticClass, kChild | SS_LEFT, 0, {85, 12, 60, 60}, 0, L"Beside", 0, P},
}};

const DialogTemplate kColumnTemplate{
    901, WS_POPUP | WS_CAPTION | DS_SHELLFONT, 0, 150, 80, L"Column", L"MS Shell Dlg", 9, kColumnControls,
};

TEST(GrowToFit, AWrappedReportThatNeedsMoreLinesPushesItsColumnDownAndTheWindowGrowsTaller) {
    CDialog as{kColumnTemplate};
    CDialog fitted{kColumnTemplate};
    auto* report = dynamic_cast<CColorFontStatic*>(fitted.Item(kReport));
    ASSERT_NE(report, nullptr);
    report->SetWordWrap(true);
    report->SetText(L"Received command [Set Software Switch] refused\n\n[Command parameter error]\n\nPlease "
                    L"reset the logger and try again");
    const auto rooms = TextRooms(*report);
    ASSERT_EQ(rooms.size(), 1u);
    EXPECT_EQ(rooms[0].MissingWidth(), 0);  // it wraps: lines, not width
    ASSERT_GT(rooms[0].MissingHeight(), 0);

    const QSize grown = GrowToFitTexts(fitted);
    EXPECT_TRUE(test::TextsThatDoNotFit(fitted).empty()) << test::Describe(test::TextsThatDoNotFit(fitted));
    EXPECT_EQ(grown.width(), 0);
    EXPECT_GT(grown.height(), 0);
    EXPECT_EQ(fitted.size(), as.size() + grown);

    auto bottom = [](const QRect& r) { return r.y() + r.height(); };
    const QRect wasReport = as.ItemRect(kReport), nowReport = fitted.ItemRect(kReport);
    EXPECT_EQ(nowReport.topLeft(), wasReport.topLeft());
    EXPECT_EQ(nowReport.width(), wasReport.width());
    EXPECT_GT(nowReport.height(), wasReport.height());
    // The group holds it with the margin it had below it, from the same top.
    const QRect wasGroup = as.ItemRect(kReportGroup), nowGroup = fitted.ItemRect(kReportGroup);
    EXPECT_EQ(nowGroup.topLeft(), wasGroup.topLeft());
    EXPECT_EQ(bottom(nowGroup) - bottom(nowReport), bottom(wasGroup) - bottom(wasReport));
    // The buttons below keep their gaps and sizes; the text beside it does not move.
    for (auto [id, above] : {std::pair{kUnder, kReportGroup}, std::pair{kLast, kUnder}}) {
        EXPECT_EQ(fitted.ItemRect(id).y() - bottom(fitted.ItemRect(above)), as.ItemRect(id).y() - bottom(as.ItemRect(above)))
            << id;
        EXPECT_EQ(fitted.ItemRect(id).size(), as.ItemRect(id).size()) << id;
        EXPECT_EQ(fitted.ItemRect(id).x(), as.ItemRect(id).x()) << id;
    }
    EXPECT_EQ(fitted.ItemRect(kBeside), as.ItemRect(kBeside));
    // The window's bottom margin is the template's.
    EXPECT_EQ(fitted.height() - bottom(fitted.ItemRect(kLast)), as.height() - bottom(as.ItemRect(kLast)));
}

}  // namespace
}  // namespace wing
