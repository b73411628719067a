#include "raceview/race_table.h"

#include <QBuffer>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSortFilterProxyModel>
#include <QStandardItemModel>
#include <QTextDocument>

#include <cmath>
#include <cstdio>
#include <functional>
#include <string>

#include "export/file_output.h"
#include "framework/qt_text.h"
#include "platform/text.h"
#include "race/result_sheet.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

// The key a column sorts by: a number for the sheet's figures, the text for the rest; an
// empty cell has none.
constexpr int kSortRole = Qt::UserRole + 1;

QString Text(unsigned langId, unsigned id) {
    std::wstring text;
    if (!LoadLanguageString(langId, id, text)) LoadLanguageString(LANG_EN_US, id, text);
    return ToQString(text);
}

// The value a figure of the sheet stands for: "h:mm:ss" in seconds, otherwise the number
// it starts with (a list of rests or turn-backs sorts by its first). The sheet writes a
// decimal point whatever the locale, so this reads one.
QVariant NumberKey(const std::string& cell) {
    if (cell.empty()) return {};
    long long h = 0, m = 0, s = 0;
    char sign = '+';
    int used = 0;
    const char* text = cell.c_str();
    if (*text == '-') sign = *text++;
    if (std::sscanf(text, "%lld:%lld:%lld%n", &h, &m, &s, &used) == 3 && text[used] == '\0') {
        const double seconds = static_cast<double>(h * 3600 + m * 60 + s);
        return sign == '-' ? -seconds : seconds;
    }
    bool ok = false;
    const QString lead = QString::fromStdString(cell).section(QRegularExpression("[;: ]"), 0, 0);
    const double value = lead.toDouble(&ok);  // QString reads "." whatever the locale
    return ok ? QVariant(value) : QVariant(QString::fromStdString(cell));
}

// Sorts by the key role; a bird with nothing in the column comes last whichever way the
// column is sorted (a velocity sorted fastest first shows the birds that arrived first).
class ResultsProxy : public QSortFilterProxyModel {
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;

protected:
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override {
        const bool ascending = sortOrder() == Qt::AscendingOrder;
        const QVariant l = left.data(kSortRole), r = right.data(kSortRole);
        int order = 0;
        if (!l.isValid() || !r.isValid()) {
            if (l.isValid() != r.isValid()) return ascending ? !r.isValid() : !l.isValid();
        } else if (l.typeId() == QMetaType::Double && r.typeId() == QMetaType::Double) {
            order = l.toDouble() < r.toDouble() ? -1 : r.toDouble() < l.toDouble() ? 1 : 0;
        } else {
            order = QString::localeAwareCompare(l.toString(), r.toString());
        }
        if (order != 0) return order < 0;
        // Equal keys keep the ranking's order either way.
        return ascending ? left.row() < right.row() : left.row() > right.row();
    }
};

// Enter or Return on a row opens it, as a double click does.
class EnterFilter : public QObject {
public:
    EnterFilter(RaceResultsTable* table, std::function<void()> open) : QObject(table), m_open(std::move(open)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::KeyPress) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Return || key == Qt::Key_Enter) {
                m_open();
                return true;
            }
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void()> m_open;
};

}  // namespace

struct RaceResultsTable::Parts {
    unsigned langId = LANG_EN_US;
    QStandardItemModel model;
    ResultsProxy proxy;
    bool selecting = false;  // a selection made by SelectBird, not the user: not announced
};

RaceResultsTable::RaceResultsTable(unsigned langId, QWidget* parent)
    : QTableView(parent), m_parts(std::make_unique<Parts>()) {
    m_parts->langId = langId;
    m_parts->proxy.setSourceModel(&m_parts->model);
    setModel(&m_parts->proxy);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setAlternatingRowColors(true);
    verticalHeader()->setVisible(false);
    // Unsorted to begin with: the judgement's own order, the ranking.
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    setSortingEnabled(true);
    setAccessibleName(Text(langId, IDS_RACE_RESULTS_NAME));
    setAccessibleDescription(Text(langId, IDS_RACE_RESULTS_HINT));
    setToolTip(accessibleDescription());

    auto birdAt = [this](const QModelIndex& index) -> std::optional<std::size_t> {
        if (!index.isValid()) return std::nullopt;
        return static_cast<std::size_t>(m_parts->proxy.mapToSource(index).row());
    };
    connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
        if (!m_parts->selecting) Q_EMIT BirdSelected(SelectedBird());
    });
    connect(this, &QAbstractItemView::doubleClicked, this, [this, birdAt](const QModelIndex& index) {
        if (auto bird = birdAt(index)) Q_EMIT BirdOpened(*bird);
    });
    installEventFilter(new EnterFilter(this, [this] {
        if (auto bird = SelectedBird()) Q_EMIT BirdOpened(*bird);
    }));
}

RaceResultsTable::~RaceResultsTable() = default;

void RaceResultsTable::SetJudgement(const RaceJudgement& judgement, const std::vector<QColor>& colours) {
    // The figures as the sheet has them: a decimal point whatever the user's locale.
    ScopedCNumeric numeric;
    const std::vector<RaceResultColumn> columns = RaceResultColumns(judgement, m_parts->langId);
    QStandardItemModel& model = m_parts->model;
    model.clear();
    QStringList titles;
    std::vector<const RaceResultColumn*> shown;
    for (const RaceResultColumn& c : columns) {
        if (!c.onSheet) continue;
        shown.push_back(&c);
        titles << QString::fromStdString(c.title);
    }
    model.setColumnCount(static_cast<int>(shown.size()));
    model.setHorizontalHeaderLabels(titles);
    for (std::size_t b = 0; b < judgement.birds.size(); ++b) {
        QList<QStandardItem*> row;
        for (const RaceResultColumn* c : shown) {
            const std::string cell = c->cell(judgement.birds[b]);
            auto* item = new QStandardItem(QString::fromStdString(cell));
            if (c->number) {
                item->setData(NumberKey(cell), kSortRole);
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            } else if (!cell.empty()) {
                item->setData(QString::fromStdString(cell), kSortRole);
            }
            row << item;
        }
        // The bird's colour on the map and in the chart beside its first column.
        if (b < colours.size() && !row.isEmpty()) row.front()->setData(colours[b], Qt::DecorationRole);
        model.appendRow(row);
    }
    horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    m_parts->proxy.sort(-1);
    resizeColumnsToContents();
}

void RaceResultsTable::SelectBird(std::optional<std::size_t> bird) {
    m_parts->selecting = true;
    if (bird && *bird < static_cast<std::size_t>(m_parts->model.rowCount())) {
        const QModelIndex at = m_parts->proxy.mapFromSource(m_parts->model.index(static_cast<int>(*bird), 0));
        selectionModel()->setCurrentIndex(at, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        scrollTo(at);
    } else {
        selectionModel()->clearSelection();
    }
    m_parts->selecting = false;
}

std::optional<std::size_t> RaceResultsTable::SelectedBird() const {
    const QModelIndexList rows = selectionModel()->selectedRows();
    if (rows.isEmpty()) return std::nullopt;
    return static_cast<std::size_t>(m_parts->proxy.mapToSource(rows.front()).row());
}

QString RaceResultsTable::CellText(std::size_t bird, int column) const {
    return m_parts->model.data(m_parts->model.index(static_cast<int>(bird), column)).toString();
}

std::optional<ExportFailure> SaveResultSheetPdf(const RaceJudgement& judgement, unsigned langId,
                                                const std::filesystem::path& path) {
    QByteArray bytes;
    {
        QBuffer buffer(&bytes);
        buffer.open(QIODevice::WriteOnly);
        QPdfWriter writer(&buffer);
        // Across an A4 sheet, as the HTML sheet asks of a browser: every column fits.
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(10, 10, 10, 10),
                                         QPageLayout::Millimeter));
        writer.setTitle(QString::fromStdString(judgement.race.name));
        writer.setCreator(QStringLiteral("wing-utility"));
        QTextDocument document;
        document.setHtml(QString::fromStdString(RaceResultHtml(judgement, langId)));
        document.print(&writer);
    }
    if (bytes.isEmpty()) return ExportFailure{FromLocale8(path.string()), L"nothing was drawn"};
    return WriteResultFile(path, std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size())));
}

std::optional<ExportFailure> SaveResultSheetHtml(const RaceJudgement& judgement, unsigned langId,
                                                 const std::filesystem::path& path) {
    return WriteResultFile(path, RaceResultHtml(judgement, langId));
}

}  // namespace wing
