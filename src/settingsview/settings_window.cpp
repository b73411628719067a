#include "settingsview/settings_window.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QScreen>
#include <QScrollArea>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <cmath>
#include <fstream>

#include "flight/coordinates.h"
#include "framework/grow_to_fit.h"
#include "framework/qt_text.h"
#include "map/tile_url.h"
#include "platform/device_map.h"
#include "platform/paths.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "serial/port_discovery.h"
#include "settings/config_writer.h"

namespace wing {
namespace {

// LanguageByOS as the combo offers it: 1 the system's language, 0 Simplified Chinese,
// anything else English (2 when written).
enum LanguageChoice { kSystemLanguage = 1, kEnglish = 2, kSimplifiedChinese = 0 };

int LanguageMeaning(std::uint8_t languageByOS) {
    if (languageByOS == 1) return kSystemLanguage;
    if (languageByOS == 0) return kSimplifiedChinese;
    return kEnglish;
}

// The widest a threshold can be shown: the logger reports its battery in one byte of tenths.
constexpr double kMaxThresholdVolts = 25.5;

QString Path(const std::filesystem::path& path) { return QString::fromStdString(path.string()); }

// The message of a tile address the map cannot use.
unsigned TileUrlFaultText(TileUrlFault fault) {
    switch (fault) {
    case TileUrlFault::NotHttp: return IDS_SETTINGS_TILE_URL_NOT_HTTP;
    case TileUrlFault::Blank: return IDS_SETTINGS_TILE_URL_BLANK;
    case TileUrlFault::OtherBraces: return IDS_SETTINGS_TILE_URL_BRACES;
    case TileUrlFault::Placeholders: return IDS_SETTINGS_TILE_URL_PLACEHOLDERS;
    case TileUrlFault::None: break;
    }
    return 0;
}

// The message for an offline map file that cannot be used; 0 when it can. Only a regular
// file is opened: a FIFO there would keep the window waiting.
unsigned MapFileFaultText(const std::filesystem::path& file) {
    if (!file.is_absolute()) return IDS_SETTINGS_MAP_FILE_NOT_FULL;
    std::error_code ec;
    if (!std::filesystem::is_regular_file(file, ec) || !std::ifstream(file, std::ios::binary).is_open())
        return IDS_SETTINGS_MAP_FILE_UNREADABLE;
    return 0;
}

}  // namespace

SettingsWindow::SettingsWindow(const Config& inForce, std::filesystem::path source, std::filesystem::path target,
                               unsigned langId, QWidget* parent)
    : QDialog(parent), m_langId(langId), m_inForce(inForce), m_saved(inForce), m_source(std::move(source)),
      m_target(std::move(target)) {
    setWindowTitle(Text(IDS_SETTINGS_TITLE));

    auto* columns = new QHBoxLayout();
    auto* left = new QVBoxLayout();
    left->addWidget(BuildGeneral());
    left->addWidget(BuildClock());
    left->addWidget(BuildConnection());
    left->addWidget(BuildMap());
    left->addStretch(1);
    auto* right = new QVBoxLayout();
    right->addWidget(BuildFiles());
    right->addWidget(BuildFlight(), 1);
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);

    auto* nextStart = new QLabel(Text(IDS_SETTINGS_NEXT_START), this);
    nextStart->setWordWrap(true);

    // Where the values come from and where OK puts them; the tooltip names every place
    // looked in, in order.
    QString places;
    for (const auto& c : ConfigCandidates()) places += (places.isEmpty() ? "" : "\n") + Path(c.path);
    auto* origin = new QLabel(Text(IDS_SETTINGS_IN_FORCE) + " " + Path(m_source) + "\n" + Text(IDS_SETTINGS_SAVED_TO) +
                                  " " + Path(m_target),
                              this);
    origin->setObjectName(QStringLiteral("source"));
    origin->setTextInteractionFlags(Qt::TextSelectableByMouse);
    origin->setToolTip(places);
    origin->setWordWrap(true);

    m_problem = new QLabel(this);
    m_problem->setObjectName(QStringLiteral("problem"));
    m_problem->setWordWrap(true);
    m_problem->setStyleSheet(QStringLiteral("color: #7f0000"));
    m_problem->hide();

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok = buttons->addButton(Text(IDS_SETTINGS_OK), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("ok"));
    ok->setDefault(true);
    QPushButton* cancel = buttons->addButton(Text(IDS_SETTINGS_CANCEL), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel"));
    connect(buttons, &QDialogButtonBox::accepted, this, &SettingsWindow::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &SettingsWindow::reject);

    // The fields scroll when the screen is smaller than they need (a small laptop at 150 %
    // or 200 %): squeezed, their texts would be cut and OK could fall off the screen.
    auto* fields = new QWidget(this);
    fields->setLayout(columns);
    columns->setContentsMargins(0, 0, 0, 0);
    auto* scroll = new QScrollArea(this);
    scroll->setObjectName(QStringLiteral("fields"));
    scroll->setAccessibleName(Text(IDS_SETTINGS_TITLE));
    scroll->setWidget(fields);
    scroll->setWidgetResizable(true);
    scroll->setFrameShape(QFrame::NoFrame);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll, 1);
    layout->addWidget(nextStart);
    layout->addWidget(origin);
    layout->addWidget(m_problem);
    layout->addWidget(buttons);
    // As large as the fields want, without scroll bars, where the screen has the room.
    QSize want = layout->sizeHint();
    want += (fields->sizeHint() - scroll->sizeHint()).expandedTo(QSize(0, 0));
    if (const QScreen* screen = this->screen()) want = want.boundedTo(screen->availableGeometry().size());
    resize(want);
}

QString SettingsWindow::Text(unsigned id) const {
    std::wstring text;
    LoadLanguageString(m_langId, id, text);
    return ToQString(text);
}

QLabel* SettingsWindow::Labelled(unsigned labelId, QWidget* field) {
    auto* label = new QLabel(Text(labelId), this);
    label->setBuddy(field);
    // Assistive technology reads the label's text as the field's name.
    field->setAccessibleName(label->text());
    return label;
}

QLabel* SettingsWindow::AddRow(QGridLayout* grid, unsigned labelId, QWidget* field, QWidget* extra) {
    const int row = grid->rowCount();
    QLabel* label = Labelled(labelId, field);
    grid->addWidget(label, row, 0);
    if (extra) {
        auto* pair = new QHBoxLayout();
        pair->addWidget(field, 1);
        pair->addWidget(extra);
        grid->addLayout(pair, row, 1);
    } else {
        grid->addWidget(field, row, 1);
    }
    return label;
}

QWidget* SettingsWindow::BuildGeneral() {
    auto* box = new QGroupBox(Text(IDS_SETTINGS_GROUP_GENERAL), this);
    auto* grid = new QGridLayout(box);

    m_language = new QComboBox(box);
    m_language->setObjectName(QStringLiteral("language"));
    m_language->addItem(Text(IDS_SETTINGS_LANGUAGE_SYSTEM), kSystemLanguage);
    m_language->addItem(Text(IDS_SETTINGS_LANGUAGE_ENGLISH), kEnglish);
    m_language->addItem(Text(IDS_SETTINGS_LANGUAGE_ZH_CN), kSimplifiedChinese);
    m_language->setCurrentIndex(m_language->findData(LanguageMeaning(m_inForce.languageByOS)));
    AddRow(grid, IDS_SETTINGS_LANGUAGE, m_language);

    m_recording = new QComboBox(box);
    m_recording->setObjectName(QStringLiteral("recording"));
    m_recording->addItem(Text(IDS_RACING_MODE), 1);
    m_recording->addItem(Text(IDS_TRAINING_MODE), 0);
    m_recording->setCurrentIndex(m_inForce.competition != 0 ? 0 : 1);
    AddRow(grid, IDS_SETTINGS_RECORDING, m_recording);

    // Shown in volts, kept in tenths as the logger reports its battery.
    m_threshold = new QDoubleSpinBox(box);
    m_threshold->setObjectName(QStringLiteral("threshold"));
    m_threshold->setDecimals(1);
    m_threshold->setSingleStep(0.1);
    m_threshold->setRange(0.0, kMaxThresholdVolts);
    m_threshold->setSuffix(QStringLiteral(" V"));
    m_threshold->setValue(std::min(m_inForce.threshold, 255u) / 10.0);
    m_shownThreshold = m_threshold->value();
    AddRow(grid, IDS_SETTINGS_THRESHOLD, m_threshold);
    return box;
}

QWidget* SettingsWindow::BuildClock() {
    auto* box = new QGroupBox(Text(IDS_SETTINGS_GROUP_CLOCK), this);
    auto* grid = new QGridLayout(box);
    m_ntp = new QCheckBox(Text(IDS_SETTINGS_NTP), box);
    m_ntp->setObjectName(QStringLiteral("ntp"));
    m_ntp->setChecked(m_inForce.ntpEnable != 0);
    grid->addWidget(m_ntp, 0, 0, 1, 2);
    m_ntpServer = new QLineEdit(QString::fromStdString(m_inForce.ntpServer), box);
    m_ntpServer->setObjectName(QStringLiteral("ntpServer"));
    m_ntpServer->setPlaceholderText(QString::fromLatin1(kDefaultNtpServer));
    AddRow(grid, IDS_SETTINGS_NTP_SERVER, m_ntpServer);
    return box;
}

QWidget* SettingsWindow::BuildConnection() {
    auto* box = new QGroupBox(Text(IDS_SETTINGS_GROUP_CONNECTION), this);
    auto* grid = new QGridLayout(box);
    m_mode = new QComboBox(box);
    m_mode->setObjectName(QStringLiteral("mode"));
    m_mode->addItem(Text(IDS_SETTINGS_PERSONAL), 1);
    m_mode->addItem(Text(IDS_SETTINGS_STATION), 0);
    m_mode->setCurrentIndex(m_inForce.personal != 0 ? 0 : 1);
    AddRow(grid, IDS_SETTINGS_MODE, m_mode);

    m_port = new QComboBox(box);
    m_port->setObjectName(QStringLiteral("port"));
    FillPorts();
    AddRow(grid, IDS_SETTINGS_PORT, m_port);
    // Only a station uses the fixed port; personal mode finds the adapter by itself.
    auto follow = [this] { m_port->setEnabled(m_mode->currentData().toInt() == 0); };
    connect(m_mode, &QComboBox::currentIndexChanged, this, follow);
    follow();
    return box;
}

void SettingsWindow::FillPorts() {
    // The ports the tool sees, with the device behind each, as LINK would find them.
    int selected = -1;
    for (const auto& entry : ReadSerialDeviceMap()) {
        const int number = PortNumberFromName(entry.comName);
        if (number <= 0) continue;
        QString label = ToQString(entry.comName);
        if (!entry.node.empty()) label += "   " + QString::fromStdString(entry.node);
        if (number == m_inForce.comNumber) selected = m_port->count();
        m_port->addItem(label, number);
    }
    if (selected < 0) {
        // The configured port is kept on offer even while its adapter is unplugged.
        const QString name = QStringLiteral("COM%1").arg(m_inForce.comNumber);
        selected = m_port->count();
        m_port->addItem(m_inForce.comNumber > 0 ? name + "   (" + Text(IDS_SETTINGS_NOT_CONNECTED) + ")" : name,
                        m_inForce.comNumber);
    }
    m_port->setCurrentIndex(selected);
}

QWidget* SettingsWindow::BuildFiles() {
    auto* box = new QGroupBox(Text(IDS_SETTINGS_GROUP_FILES), this);
    auto* grid = new QGridLayout(box);
    m_logFolder = new QLineEdit(QString::fromStdString(m_inForce.logFolder), box);
    m_logFolder->setObjectName(QStringLiteral("logFolder"));
    m_logFolder->setPlaceholderText(Path(DefaultLogFolder()));
    FitLineEditToText(*m_logFolder);
    auto* browse = new QPushButton(Text(IDS_SETTINGS_BROWSE), box);
    browse->setObjectName(QStringLiteral("browse"));
    connect(browse, &QPushButton::clicked, this, [this] {
        const auto shown = LogFolderFromSetting(m_logFolder->text().toStdString());
        const QString start = shown && !shown->empty() ? Path(*shown) : Path(DefaultLogFolder());
        const QString folder = QFileDialog::getExistingDirectory(this, Text(IDS_SETTINGS_LOG_FOLDER), start);
        if (!folder.isEmpty()) m_logFolder->setText(folder);
    });
    AddRow(grid, IDS_SETTINGS_LOG_FOLDER, m_logFolder, browse);
    m_gpx = new QCheckBox(Text(IDS_SETTINGS_GPX), box);
    m_gpx->setObjectName(QStringLiteral("gpx"));
    m_gpx->setChecked(m_inForce.gpx != 0);
    grid->addWidget(m_gpx, grid->rowCount(), 0, 1, 2);
    return box;
}

QWidget* SettingsWindow::BuildFlight() {
    auto* box = new QGroupBox(Text(IDS_SETTINGS_GROUP_FLIGHT), this);
    auto* layout = new QVBoxLayout(box);
    auto* title = new QLabel(Text(IDS_SETTINGS_LOFTS), box);
    m_lofts = new QTableWidget(0, 2, box);
    m_lofts->setObjectName(QStringLiteral("lofts"));
    m_lofts->setHorizontalHeaderLabels({Text(IDS_SETTINGS_LOFT_NAME), Text(IDS_SETTINGS_LOFT_POSITION)});
    m_lofts->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_lofts->horizontalHeader()->setStretchLastSection(true);
    m_lofts->verticalHeader()->hide();
    m_lofts->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_lofts->setToolTip(QStringLiteral("24.123456, 120.654321\n24°07'24.4\"N 120°39'15.6\"E\nN24 07.407 E120 39.260"));
    title->setBuddy(m_lofts);
    m_lofts->setAccessibleName(title->text());
    for (const LoftEntry& loft : m_inForce.lofts) AddLoftRow(loft);

    auto* add = new QPushButton(Text(IDS_SETTINGS_ADD_LOFT), box);
    add->setObjectName(QStringLiteral("addLoft"));
    connect(add, &QPushButton::clicked, this, [this] {
        AddLoftRow(LoftEntry{DefaultLoftName(static_cast<std::size_t>(m_lofts->rowCount())), ""});
        const int row = m_lofts->rowCount() - 1;
        m_lofts->setCurrentCell(row, 1);
        m_lofts->editItem(m_lofts->item(row, 1));
    });
    auto* remove = new QPushButton(Text(IDS_SETTINGS_REMOVE_LOFT), box);
    remove->setObjectName(QStringLiteral("removeLoft"));
    connect(remove, &QPushButton::clicked, this, [this] {
        if (m_lofts->currentRow() >= 0) m_lofts->removeRow(m_lofts->currentRow());
    });
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);

    auto* grid = new QGridLayout();
    m_arrivalRadius = new QSpinBox(box);
    m_arrivalRadius->setObjectName(QStringLiteral("arrivalRadius"));
    m_arrivalRadius->setRange(1, 100000);
    m_arrivalRadius->setSuffix(QStringLiteral(" m"));
    m_arrivalRadius->setValue(m_inForce.arrivalRadius);
    AddRow(grid, IDS_SETTINGS_ARRIVAL_RADIUS, m_arrivalRadius);
    m_openAfterSave = new QCheckBox(Text(IDS_SETTINGS_OPEN_AFTER_SAVE), box);
    m_openAfterSave->setObjectName(QStringLiteral("openAfterSave"));
    m_openAfterSave->setChecked(m_inForce.openFlightAfterSave != 0);
    grid->addWidget(m_openAfterSave, grid->rowCount(), 0, 1, 2);

    layout->addWidget(title);
    layout->addWidget(m_lofts, 1);
    layout->addLayout(buttons);
    layout->addLayout(grid);
    return box;
}

QWidget* SettingsWindow::BuildMap() {
    const MapConfig& map = m_inForce.map;
    auto* box = new QGroupBox(Text(IDS_SETTINGS_GROUP_MAP), this);
    auto* grid = new QGridLayout(box);
    grid->setColumnStretch(3, 1);

    m_tileUrl = new QLineEdit(QString::fromStdString(map.tileUrl), box);
    m_tileUrl->setObjectName(QStringLiteral("tileUrl"));
    m_tileUrl->setPlaceholderText(QString::fromLatin1(kDefaultTileUrl));
    m_tileUrl->setToolTip(QStringLiteral("https://tile.example.org/{z}/{x}/{y}.png\nhttps://{s}.tile.example.org/{z}/{x}/{y}.png"));
    FitLineEditToText(*m_tileUrl);
    grid->addWidget(Labelled(IDS_SETTINGS_TILE_URL, m_tileUrl), 0, 0);
    grid->addWidget(m_tileUrl, 0, 1, 1, 3);

    m_attribution = new QLineEdit(QString::fromStdString(map.attribution), box);
    m_attribution->setObjectName(QStringLiteral("attribution"));
    m_attribution->setPlaceholderText(QString::fromUtf8(kDefaultTileAttribution));
    FitLineEditToText(*m_attribution);
    grid->addWidget(Labelled(IDS_SETTINGS_ATTRIBUTION, m_attribution), 1, 0);
    grid->addWidget(m_attribution, 1, 1, 1, 3);

    m_maxZoom = new QSpinBox(box);
    m_maxZoom->setObjectName(QStringLiteral("maxZoom"));
    m_maxZoom->setRange(0, kMaxMapZoom);
    m_maxZoom->setValue(map.maxZoom);
    grid->addWidget(Labelled(IDS_SETTINGS_MAX_ZOOM, m_maxZoom), 2, 0);
    grid->addWidget(m_maxZoom, 2, 1);
    m_cacheMiB = new QSpinBox(box);
    m_cacheMiB->setObjectName(QStringLiteral("cacheMiB"));
    m_cacheMiB->setRange(1, kMaxMapCacheMiB);
    m_cacheMiB->setSuffix(QStringLiteral(" MiB"));
    m_cacheMiB->setValue(map.cacheMiB);
    grid->addWidget(Labelled(IDS_SETTINGS_TILE_CACHE, m_cacheMiB), 2, 2);
    grid->addWidget(m_cacheMiB, 2, 3, Qt::AlignLeft);

    m_offline = new QCheckBox(Text(IDS_SETTINGS_OFFLINE), box);
    m_offline->setObjectName(QStringLiteral("offline"));
    m_offline->setChecked(map.offline != 0);
    grid->addWidget(m_offline, 3, 0, 1, 4);
    AddMapFiles(grid, box);
    return box;
}

void SettingsWindow::AddMapFiles(QGridLayout* grid, QWidget* box) {
    // The files in the order they are tried; dragging an entry changes it.
    m_mapFiles = new QListWidget(box);
    m_mapFiles->setObjectName(QStringLiteral("mapFiles"));
    m_mapFiles->setDragDropMode(QAbstractItemView::InternalMove);
    for (const auto& file : m_inForce.map.mbtiles) m_mapFiles->addItem(Path(file));
    // A few lines are enough: the list scrolls.
    m_mapFiles->setMaximumHeight(m_mapFiles->fontMetrics().lineSpacing() * 4 + 2 * m_mapFiles->frameWidth());
    const int row = grid->rowCount();
    grid->addWidget(Labelled(IDS_SETTINGS_MAP_FILES, m_mapFiles), row, 0, 1, 4);
    grid->addWidget(m_mapFiles, row + 1, 0, 1, 4);

    auto* add = new QPushButton(Text(IDS_SETTINGS_ADD_MAP_FILE), box);
    add->setObjectName(QStringLiteral("addMapFile"));
    connect(add, &QPushButton::clicked, this, &SettingsWindow::ChooseMapFiles);
    auto* remove = new QPushButton(Text(IDS_SETTINGS_REMOVE_MAP_FILE), box);
    remove->setObjectName(QStringLiteral("removeMapFile"));
    connect(remove, &QPushButton::clicked, this, [this] { delete m_mapFiles->currentItem(); });
    auto* buttons = new QHBoxLayout();
    buttons->addWidget(add);
    buttons->addWidget(remove);
    buttons->addStretch(1);
    grid->addLayout(buttons, row + 2, 0, 1, 4);
}

void SettingsWindow::ChooseMapFiles() {
    // Start where the last file lies, else in the home folder.
    const int count = m_mapFiles->count();
    const QString start = count > 0 ? Path(std::filesystem::path(m_mapFiles->item(count - 1)->text().toStdString()).parent_path())
                                     : QDir::homePath();
    const QString filter = Text(IDS_SETTINGS_MAP_FILE_TYPE) + QStringLiteral(" (*.mbtiles);;") +
                           Text(IDS_SETTINGS_ALL_FILES) + QStringLiteral(" (*)");
    for (const QString& file : QFileDialog::getOpenFileNames(this, Text(IDS_SETTINGS_CHOOSE_MAP_FILES), start, filter))
        if (m_mapFiles->findItems(file, Qt::MatchExactly).isEmpty()) m_mapFiles->addItem(file);
}

void SettingsWindow::AddLoftRow(const LoftEntry& loft) {
    const int row = m_lofts->rowCount();
    m_lofts->insertRow(row);
    m_lofts->setItem(row, 0, new QTableWidgetItem(QString::fromStdString(loft.name)));
    m_lofts->setItem(row, 1, new QTableWidgetItem(QString::fromStdString(loft.position)));
}

std::variant<Config, QString> SettingsWindow::Collect() const {
    Config c = m_inForce;
    // A choice the user left as it was keeps the file's own number.
    const int language = m_language->currentData().toInt();
    if (language != LanguageMeaning(m_inForce.languageByOS)) c.languageByOS = static_cast<std::uint8_t>(language);
    const int racing = m_recording->currentData().toInt();
    if (racing != (m_inForce.competition != 0 ? 1 : 0)) c.competition = racing;
    if (m_threshold->value() != m_shownThreshold)
        c.threshold = static_cast<std::uint32_t>(std::lround(m_threshold->value() * 10));
    if (m_ntp->isChecked() != (m_inForce.ntpEnable != 0)) c.ntpEnable = m_ntp->isChecked() ? 1 : 0;
    const int personal = m_mode->currentData().toInt();
    if (personal != (m_inForce.personal != 0 ? 1 : 0)) c.personal = personal;
    c.comNumber = m_port->currentData().toInt();
    if (m_gpx->isChecked() != (m_inForce.gpx != 0)) c.gpx = m_gpx->isChecked() ? 1 : 0;
    if (m_openAfterSave->isChecked() != (m_inForce.openFlightAfterSave != 0))
        c.openFlightAfterSave = m_openAfterSave->isChecked() ? 1 : 0;
    c.arrivalRadius = m_arrivalRadius->value();

    const QString server = m_ntpServer->text().trimmed();
    if (server.contains(QRegularExpression(QStringLiteral("\\s")))) return Text(IDS_SETTINGS_BAD_SERVER) + " " + server;
    c.ntpServer = server.isEmpty() ? std::string(kDefaultNtpServer) : server.toStdString();

    const QString folder = m_logFolder->text().trimmed();
    if (!LogFolderFromSetting(folder.toStdString())) return Text(IDS_SETTINGS_FOLDER_NOT_FULL) + " " + folder;
    c.logFolder = folder.toStdString();

    c.lofts.clear();
    for (int row = 0; row < m_lofts->rowCount(); ++row) {
        auto cell = [&](int column) {
            const QTableWidgetItem* item = m_lofts->item(row, column);
            return item ? item->text().trimmed() : QString();
        };
        QString name = cell(0);
        const QString position = cell(1);
        if (name.isEmpty() && position.isEmpty()) continue;  // a row left empty is no loft
        if (name.isEmpty()) name = QString::fromStdString(DefaultLoftName(c.lofts.size()));
        if (position.isEmpty()) return Text(IDS_SETTINGS_LOFT_MISSING) + " " + name;
        if (!ParseCoordinates(position.toStdString())) return Text(IDS_FLIGHT_BAD_POSITION) + " " + position;
        if (FindLoft(c, name.toStdString())) return Text(IDS_SETTINGS_SAME_LOFT_NAME) + " " + name;
        c.lofts.push_back(LoftEntry{name.toStdString(), position.toStdString()});
    }

    if (QString problem = MapProblem(c.map); !problem.isEmpty()) return problem;

    if (auto bad = UnstorableValue(c)) return Text(IDS_SETTINGS_CANNOT_STORE) + " " + QString::fromStdString(*bad);
    return c;
}

QString SettingsWindow::MapProblem(MapConfig& map) const {
    // An empty text is the default, as the file reads it.
    const QString url = m_tileUrl->text().trimmed();
    map.tileUrl = url.isEmpty() ? std::string(kDefaultTileUrl) : url.toStdString();
    if (const unsigned id = TileUrlFaultText(FindTileUrlFault(map.tileUrl))) return Text(id) + " " + url;
    const QString attribution = m_attribution->text().trimmed();
    map.attribution = attribution.isEmpty() ? std::string(kDefaultTileAttribution) : attribution.toStdString();
    map.maxZoom = m_maxZoom->value();
    map.cacheMiB = m_cacheMiB->value();
    if (m_offline->isChecked() != (m_inForce.map.offline != 0)) map.offline = m_offline->isChecked() ? 1 : 0;
    map.mbtiles.clear();
    for (int row = 0; row < m_mapFiles->count(); ++row) {
        const QString file = m_mapFiles->item(row)->text();
        map.mbtiles.emplace_back(file.toStdString());
        if (const unsigned id = MapFileFaultText(map.mbtiles.back())) return Text(id) + " " + file;
    }
    return {};
}

QString SettingsWindow::Problem() const { return m_problem->isHidden() ? QString() : m_problem->text(); }

void SettingsWindow::ShowProblem(const QString& text) {
    m_problem->setText(text);
    m_problem->setVisible(!text.isEmpty());
}

void SettingsWindow::accept() {
    auto collected = Collect();
    if (auto* problem = std::get_if<QString>(&collected)) {
        ShowProblem(*problem);
        return;
    }
    const Config& config = std::get<Config>(collected);
    std::string why;
    if (!SaveUserConfig(config, m_source, &why, m_target)) {
        ShowProblem(Text(IDS_SETTINGS_NOT_SAVED) + " " + QString::fromStdString(why));
        return;
    }
    ShowProblem({});
    m_saved = config;
    QDialog::accept();
}

}  // namespace wing
