// The results table and the sheet's files: every cell as the result sheet has it, sorted
// as numbers where the sheet holds numbers, selection and opening by the judgement's
// bird, and the PDF and HTML sheets whole or the failure said.

#include <QHeaderView>
#include <QSignalSpy>
#include <QTest>

#include <fstream>
#include <iterator>

#include "framework/qt_test_env.h"
#include "race/result_sheet.h"
#include "raceview/race_parts_fixture.h"
#include "raceview/race_table.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "support/accessibility.h"
#include "support/decimal_comma.h"

namespace wing {
namespace {

WING_QT_TEST_ENVIRONMENT();

using test::MakePartsRace;
using test::TempFolder;

RaceJudgement Judged(const TempFolder& folder) {
    const test::PartsRace p = MakePartsRace(folder);
    return JudgeRace(p.race, {}, folder.Path());
}

std::vector<QColor> Colours(std::size_t n) {
    std::vector<QColor> out;
    for (std::size_t i = 0; i < n; ++i) out.push_back(QColor::fromHsv(static_cast<int>(i * 360 / n), 200, 200));
    return out;
}

std::string ReadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int ColumnTitled(const RaceResultsTable& table, unsigned langId, unsigned id) {
    std::wstring title;
    LoadLanguageString(langId, id, title);
    for (int c = 0; c < table.model()->columnCount(); ++c)
        if (table.model()->headerData(c, Qt::Horizontal).toString().startsWith(QString::fromStdWString(title))) return c;
    return -1;
}

// The rings from the top row down, as shown.
std::vector<std::string> RingsShown(const RaceResultsTable& table, int ringColumn) {
    std::vector<std::string> rings;
    for (int r = 0; r < table.model()->rowCount(); ++r)
        rings.push_back(table.model()->index(r, ringColumn).data().toString().toStdString());
    return rings;
}

TEST(RaceResultsTable, ShowsTheSheetsCellsInTheJudgementsOrderWithTheMissingTrackNamed) {
    TempFolder folder;
    const RaceJudgement j = Judged(folder);
    ASSERT_EQ(j.birds.size(), 5u);
    // The CSV is written with a decimal point in any locale; the table, built where the user's
    // numbers take a comma, must show the same figures.
    const auto csv = test::ParseCsv(RaceResultCsv(j, LANG_EN_US));
    test::ScopedDecimalComma comma;
    if (!comma.Active()) GTEST_SKIP() << "no locale with a decimal comma could be had";
    RaceResultsTable table(LANG_EN_US);
    table.SetJudgement(j, Colours(j.birds.size()));

    // The sheet's columns: the CSV's but the track's.
    std::vector<std::size_t> sheetColumns;
    for (std::size_t c = 0; c < csv[0].size(); ++c)
        if (csv[0][c] != RaceResultColumns(j, LANG_EN_US)[5].title) sheetColumns.push_back(c);
    ASSERT_EQ(table.model()->columnCount(), static_cast<int>(sheetColumns.size()));
    ASSERT_EQ(table.model()->rowCount(), 5);
    for (int c = 0; c < table.model()->columnCount(); ++c)
        EXPECT_EQ(table.model()->headerData(c, Qt::Horizontal).toString().toStdString(), csv[0][sheetColumns[c]]);
    for (std::size_t b = 0; b < j.birds.size(); ++b) {
        for (int c = 0; c < table.model()->columnCount(); ++c) {
            EXPECT_EQ(table.CellText(b, c).toStdString(), csv[b + 1][sheetColumns[c]]) << "bird " << b << " column " << c;
            // Unsorted, the rows are the judgement's: the ranking.
            EXPECT_EQ(table.model()->index(static_cast<int>(b), c).data().toString(), table.CellText(b, c));
        }
    }
    const int velocity = ColumnTitled(table, LANG_EN_US, IDS_RACE_COL_VELOCITY);
    ASSERT_GE(velocity, 0);
    EXPECT_NE(table.CellText(0, velocity).indexOf('.'), -1) << table.CellText(0, velocity).toStdString();

    // The bird that could not be judged is in the table, its problem naming its file; the
    // others are judged.
    const int problem = ColumnTitled(table, LANG_EN_US, IDS_RACE_COL_PROBLEM);
    ASSERT_GE(problem, 0);
    EXPECT_TRUE(table.CellText(4, problem).contains("gone.gpx")) << table.CellText(4, problem).toStdString();
    for (std::size_t b = 0; b < 4; ++b) EXPECT_TRUE(table.CellText(b, problem).isEmpty()) << b;
    // Each bird's colour beside it, as the map and the chart draw it.
    EXPECT_EQ(table.model()->index(2, 0).data(Qt::DecorationRole).value<QColor>(), Colours(5)[2]);
}

TEST(RaceResultsTable, SortsFiguresAsNumbersWithEmptyCellsLastEitherWay) {
    TempFolder folder;
    const RaceJudgement j = Judged(folder);
    RaceResultsTable table(LANG_EN_US);
    table.SetJudgement(j, Colours(j.birds.size()));
    const int ring = ColumnTitled(table, LANG_EN_US, IDS_RACE_COL_RING);
    ASSERT_GE(ring, 0);
    EXPECT_EQ(RingsShown(table, ring), (std::vector<std::string>{"FAST", "EAST", "SLOW", "SHORT", "GONE"}));

    struct Case {
        unsigned column;
        Qt::SortOrder order;
        std::vector<std::string> rings;
    };
    const Case cases[] = {
        // 1200 before 900 m/min (text would put "900" first), the unarrived and the unjudged last.
        {IDS_RACE_COL_VELOCITY, Qt::DescendingOrder, {"FAST", "EAST", "SLOW", "SHORT", "GONE"}},
        {IDS_RACE_COL_VELOCITY, Qt::AscendingOrder, {"SLOW", "EAST", "FAST", "SHORT", "GONE"}},
        // 9 km before 12 (text would put "12.000" first); ties keep the ranking's order.
        {IDS_RACE_COL_DISTANCE, Qt::AscendingOrder, {"EAST", "FAST", "SLOW", "SHORT", "GONE"}},
        {IDS_RACE_COL_DISTANCE, Qt::DescendingOrder, {"FAST", "SLOW", "SHORT", "EAST", "GONE"}},
        {IDS_RACE_COL_RANK, Qt::DescendingOrder, {"SLOW", "EAST", "FAST", "SHORT", "GONE"}},
        // Durations as h:mm:ss: the rest makes SLOW's the longest.
        {IDS_RACE_COL_FLYING, Qt::DescendingOrder, {"SLOW", "SHORT", "FAST", "EAST", "GONE"}},
        {IDS_RACE_COL_RING, Qt::AscendingOrder, {"EAST", "FAST", "GONE", "SHORT", "SLOW"}},
    };
    for (const Case& c : cases) {
        const int column = ColumnTitled(table, LANG_EN_US, c.column);
        ASSERT_GE(column, 0) << c.column;
        table.sortByColumn(column, c.order);
        EXPECT_EQ(RingsShown(table, ring), c.rings) << "column " << c.column << " order " << c.order;
    }
}

TEST(RaceResultsTable, SelectionAndOpeningNameTheJudgementsBirdWhateverTheSort) {
    TempFolder folder;
    const RaceJudgement j = Judged(folder);
    RaceResultsTable table(LANG_EN_US);
    table.SetJudgement(j, Colours(j.birds.size()));
    table.resize(900, 300);
    table.show();
    QSignalSpy selected(&table, &RaceResultsTable::BirdSelected);
    QSignalSpy opened(&table, &RaceResultsTable::BirdOpened);
    // Slowest first: the top row is SLOW, the judgement's third bird.
    table.sortByColumn(ColumnTitled(table, LANG_EN_US, IDS_RACE_COL_VELOCITY), Qt::AscendingOrder);
    const QRect top = table.visualRect(table.model()->index(0, 1));
    QTest::mouseClick(table.viewport(), Qt::LeftButton, {}, top.center());
    ASSERT_EQ(selected.count(), 1);
    EXPECT_EQ(selected.at(0).at(0).value<std::optional<std::size_t>>(), std::optional<std::size_t>(2));
    EXPECT_EQ(table.SelectedBird(), std::optional<std::size_t>(2));
    QTest::mouseDClick(table.viewport(), Qt::LeftButton, {}, top.center());
    ASSERT_EQ(opened.count(), 1);
    EXPECT_EQ(opened.at(0).at(0).value<std::size_t>(), 2u);

    // Chosen from elsewhere (the map, the chart): shown, not announced back.
    selected.clear();
    table.SelectBird(4);
    EXPECT_EQ(table.SelectedBird(), std::optional<std::size_t>(4));
    EXPECT_EQ(selected.count(), 0);
    QTest::keyClick(&table, Qt::Key_Return);
    ASSERT_EQ(opened.count(), 2);
    EXPECT_EQ(opened.at(1).at(0).value<std::size_t>(), 4u);
    table.SelectBird(std::nullopt);
    EXPECT_FALSE(table.SelectedBird());
    table.SelectBird(99);  // no such bird: nothing selected rather than a wrong one
    EXPECT_FALSE(table.SelectedBird());
    EXPECT_EQ(selected.count(), 0);

    int checked = 0;
    EXPECT_TRUE(test::EveryControlIsNamed(&table, &checked));
}

TEST(ResultSheetFiles, PdfIsAWholeA4SheetAndHtmlIsTheJudgementsSheet) {
    TempFolder folder;
    const RaceJudgement j = Judged(folder);
    for (unsigned lang : {LANG_EN_US, LANG_ZH_TW, LANG_ZH_CN}) {
        const auto pdf = folder.Path() / ("sheet-" + std::to_string(lang) + ".pdf");
        const auto failure = SaveResultSheetPdf(j, lang, pdf);
        ASSERT_FALSE(failure) << std::string(failure->reason.begin(), failure->reason.end());
        const std::string bytes = ReadFile(pdf);
        ASSERT_GT(bytes.size(), 1000u);
        EXPECT_EQ(bytes.rfind("%PDF-", 0), 0u);
        EXPECT_NE(bytes.find("%%EOF", bytes.size() - 16), std::string::npos) << "not whole";
        // A4 across: 297 x 210 mm in points, on every page.
        std::size_t at = 0;
        int pages = 0;
        while ((at = bytes.find("/MediaBox [", at)) != std::string::npos) {
            double x0 = -1, y0 = -1, x1 = 0, y1 = 0;
            at += 11;
            ASSERT_EQ(std::sscanf(bytes.c_str() + at, "%lf %lf %lf %lf", &x0, &y0, &x1, &y1), 4);
            EXPECT_NEAR(x1 - x0, 841.89, 0.5);
            EXPECT_NEAR(y1 - y0, 595.28, 0.5);
            ++pages;
        }
        EXPECT_GE(pages, 1);
    }
    const auto html = folder.Path() / "sheet.html";
    ASSERT_FALSE(SaveResultSheetHtml(j, LANG_ZH_TW, html));
    EXPECT_EQ(ReadFile(html), RaceResultHtml(j, LANG_ZH_TW));

    // Where nothing can be written the failure names the file and no file is left.
    const auto nowhere = folder.Path() / "missing" / "sheet";
    for (const auto& f : {SaveResultSheetPdf(j, LANG_EN_US, nowhere.string() + ".pdf"),
                          SaveResultSheetHtml(j, LANG_EN_US, nowhere.string() + ".html")}) {
        ASSERT_TRUE(f);
        EXPECT_NE(f->path.find(L"missing"), std::wstring::npos);
        EXPECT_FALSE(f->reason.empty());
    }
    EXPECT_FALSE(std::filesystem::exists(folder.Path() / "missing"));
}

}  // namespace
}  // namespace wing
