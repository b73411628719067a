#include "flightview/flight_list.h"

#include <QDateTime>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "framework/qt_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {
namespace {

QString Text(unsigned langId, unsigned id) {
    std::wstring text;
    LoadLanguageString(langId, id, text);
    return ToQString(text);
}

}  // namespace

FlightList::FlightList(const ArchiveListing& listing, unsigned langId,
                       std::function<void(const std::filesystem::path&)> open, QWidget* parent)
    : QDialog(parent), m_entries(listing.entries), m_langId(langId) {
    setWindowTitle(Text(langId, IDS_FLIGHTS_TITLE));
    m_list = new QListWidget(this);
    m_list->setAccessibleName(Text(langId, IDS_FLIGHTS_TITLE));
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    for (std::size_t i = 0; i < listing.entries.size(); ++i) {
        const ArchiveEntry& entry = listing.entries[i];
        const QString when =
            QDateTime::fromSecsSinceEpoch(entry.downloadedUtc).toString(QStringLiteral("yyyy-MM-dd HH:mm"));
        auto* item = new QListWidgetItem(ToQString(entry.serial.empty() ? L"-" : entry.serial) + "   " + when + "   " +
                                         QString::number(entry.count));
        item->setData(Qt::UserRole, static_cast<qulonglong>(i));
        m_list->addItem(item);
    }
    if (m_list->count() > 0) m_list->setCurrentRow(0);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_list, 1);
    if (!listing.problems.empty()) {
        QString damaged = Text(langId, IDS_FLIGHT_DAMAGED);
        for (const auto& p : listing.problems)
            damaged += "\n" + QString::fromStdString(p.path.filename().string() + ": " + p.reason);
        auto* note = new QLabel(damaged, this);
        note->setWordWrap(true);
        layout->addWidget(note);
    }
    auto* buttons = new QDialogButtonBox(this);
    QPushButton* openButton = buttons->addButton(Text(langId, IDS_FLIGHT_OPEN), QDialogButtonBox::AcceptRole);
    buttons->addButton(Text(langId, IDS_FLIGHT_CLOSE), QDialogButtonBox::RejectRole);
    openButton->setEnabled(m_list->count() > 0);
    layout->addWidget(buttons);
    auto pick = [this, open] {
        if (auto* item = m_list->currentItem()) {
            open(m_entries.at(item->data(Qt::UserRole).toULongLong()).path);
            accept();
        }
    };
    connect(buttons, &QDialogButtonBox::accepted, this, pick);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(m_list, &QListWidget::itemDoubleClicked, this, pick);
    resize(460, 360);
}

void FlightList::SetRaceActions(std::function<void(std::vector<ArchiveEntry>)> race, std::function<void()> openRace) {
    auto* buttons = findChild<QDialogButtonBox*>();
    m_raceButton = buttons->addButton(Text(m_langId, IDS_RACEOPEN_RACE), QDialogButtonBox::ActionRole);
    m_openRaceButton = buttons->addButton(Text(m_langId, IDS_RACEOPEN_OPEN), QDialogButtonBox::ActionRole);
    // A race is of birds: one flight at least.
    auto enable = [this] { m_raceButton->setEnabled(!m_list->selectedItems().isEmpty()); };
    enable();
    connect(m_list, &QListWidget::itemSelectionChanged, this, enable);
    connect(m_raceButton, &QPushButton::clicked, this, [this, race] {
        const auto chosen = Chosen();
        if (chosen.empty()) return;
        accept();
        race(chosen);
    });
    connect(m_openRaceButton, &QPushButton::clicked, this, [this, openRace] {
        accept();
        openRace();
    });
}

std::vector<ArchiveEntry> FlightList::Chosen() const {
    std::vector<ArchiveEntry> out;
    for (int row = 0; row < m_list->count(); ++row)
        if (m_list->item(row)->isSelected()) out.push_back(m_entries.at(m_list->item(row)->data(Qt::UserRole).toULongLong()));
    return out;
}

int FlightList::Count() const { return m_list->count(); }

}  // namespace wing
