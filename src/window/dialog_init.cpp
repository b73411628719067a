// The main dialog coming into being: construction, the initialisation that runs once the
// window exists, the name tables, the control texts, the notes and the status lamp.

#include <QAbstractItemView>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QTimer>

#include <langinfo.h>

#include "export/export_job.h"
#include "framework/color_font_static.h"
#include "framework/grow_to_fit.h"
#include "framework/qt_text.h"
#include "flightview/flight_list.h"
#include "framework/xgroup_box.h"
#include "platform/locale.h"
#include "platform/message_box.h"
#include "platform/text.h"
#include "protocol/commands.h"
#include "resources/refusal_text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "serial/port_discovery.h"
#include "settings/language.h"
#include "settingsview/settings_window.h"
#include "ui/about_dlg.h"
#include "window/wing_utility_dlg.h"

namespace wing {
namespace {

// The port list 1034 as the port discovery fills it.
class PortListBox : public IPortComboBox {
public:
    PortListBox(CDialog& dialog, int id) : m_dialog(dialog), m_id(id) {}
    void AddString(const std::wstring& text) override { m_dialog.ComboAdd(m_id, text); }
    void SetCurSel(int index) override { m_dialog.ComboSetCurSel(m_id, index); }

private:
    CDialog& m_dialog;
    int m_id;
};

struct GroupCaption {
    int id;
    unsigned textId;
    QColor colour;
    bool bold;
};

struct ControlText {
    int id;
    unsigned textId;
};

const GroupCaption kGroupCaptions[] = {
    {IDC_GROUP_TIME, IDS_GROUP_TIME, QColor(0, 0, 127), true},
    {IDC_GROUP_LINK, IDS_GROUP_LINK, QColor(255, 0, 0), true},
    {IDC_GROUP_SETTING, IDS_GROUP_SETTING, QColor(0, 0, 255), true},
    {IDC_GROUP_DATA, IDS_GROUP_DATA, QColor(0, 0, 255), false},
};

const ControlText kControlTexts[] = {
    {IDC_LINK, IDS_LINK},
    {IDC_SETTING, IDS_SETTING},
    {IDC_READ_SAVE, IDS_READ_SAVE},
    {IDC_EXIT, IDS_EXIT},
    {IDC_OPEN_FOLDER, IDS_OPEN_FOLDER},
    {IDC_PORT_LABEL, IDS_PORT_NOTE},
    {IDC_START_NOW, IDS_START_NOW},
    {IDC_START_RESERVED, IDS_START_RESERVED},
    {IDC_MAP_NOTE, IDS_MAP_NOTE},
    {IDC_STATIC_1027, IDS_STATUS},
    {IDC_AUTO_READ, IDS_AUTO_READ},
    {IDC_AUTO_SET, IDS_AUTO_SET},
};

}  // namespace

CWingUtilityDlg::CWingUtilityDlg(QWidget* parent, std::wstring configPath)
    : CDialog(MainDialogTemplate(), parent), m_configPath(std::move(configPath)) {
    // The lamp starts in the button face: an empty circle until a status paints it.
    m_lampColor = palette().color(QPalette::Window);
    m_formatDate = [](const std::tm& t, std::wstring& text) { return FormatShortDate(t, text, 32); };
    m_formatTime = [](const std::tm& t, std::wstring& text) { return FormatTime24(t, text, 32); };
    MapMessages();
}

CWingUtilityDlg::~CWingUtilityDlg() {
    // The window's end (OnDestroy) if it has not run yet; then no clock thread may outlive us.
    DestroyWindow();
    if (m_clockThread.joinable()) StopClockThread();
}

std::wstring CWingUtilityDlg::Text(unsigned id) const {
    std::wstring text;
    LoadLanguageString(m_langId, id, text);
    return text;
}

bool CWingUtilityDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    // The framework writes the members into the controls first: the start kind's radio.
    SetChecked(m_startKind == 0 ? IDC_START_NOW : IDC_START_RESERVED, true);

    EnableCloseItem(false);
    std::wstring aboutItem;
    LoadLanguageString(DefaultResourceLanguage(), IDS_ABOUT_ITEM, aboutItem);
    if (!aboutItem.empty()) AddSystemMenuItem(kAboutCommand, aboutItem);
    // The window icon (resource 128) is set by the framework for every dialog.

    m_langId = SelectLanguage(m_languageByOS);

    CentreOnScreen();

    m_settingsPath = m_configPath.empty() ? ConfigFilePath() : std::filesystem::path(m_configPath);
    const Config config = LoadConfig(m_langId, m_settingsPath);
    // Read once, for the whole run.
    m_competition = config.competition;
    m_languageByOS = config.languageByOS;
    m_ntpEnable = config.ntpEnable;
    m_personal = config.personal;
    m_comNumber = config.comNumber;
    ApplySettings(config);

    m_langId = SelectLanguage(m_languageByOS);
    FillNameTables();
    ApplyControlTexts();
    AddSystemMenuItem(kSettingsCommand, Text(IDS_SETTINGS_ITEM));
    AddSystemMenuItem(kFlightsCommand, Text(IDS_FLIGHTS_ITEM));

    ShowItem(IDC_AUTO_READ, m_personal != 1);
    ShowItem(IDC_AUTO_SET, m_personal != 1);

    for (int& v : m_shownDate) v = 0;
    for (int& v : m_shownTime) v = 0;

    // Starting: nothing may link or leave until the clock thread reports ready.
    EnableItem(IDC_LINK, false);
    EnableItem(IDC_EXIT, false);
    EnableCloseItem(false);
    StartClockThread();

    if (auto* s = ColorStatic(IDC_MAP_NOTE)) s->SetPointSize(12).SetTextColor(QColor(0, 127, 127));
    if (auto* s = ColorStatic(IDC_MODE_LABEL)) s->SetTextColor(QColor(255, 0, 0)).SetPointSize(16);

    ComboReset(IDC_RECORD_MODE);
    if (m_competition != 0 && m_langId != LANG_ZH_CN) {
        const std::wstring racing = m_recordModeNames.empty() ? std::wstring() : m_recordModeNames.back();
        ComboAdd(IDC_RECORD_MODE, L"(1) " + racing);
        SetItemText(IDC_MODE_LABEL, Text(IDS_RACING_MODE));
    } else {
        for (std::size_t i = 1; i < m_recordModeNames.size(); ++i)
            ComboAdd(IDC_RECORD_MODE, L"(" + std::to_wstring(i) + L") " + m_recordModeNames[i - 1]);
        SetItemText(IDC_MODE_LABEL, Text(IDS_TRAINING_MODE));
    }
    if (auto* s = ColorStatic(IDC_MODE_LABEL)) s->SetPointSize(12);
    ComboSetCurSel(IDC_RECORD_MODE, 0);

    SetItemText(IDC_TITLE, Text(IDS_PRODUCT_LINE));
    if (auto* s = ColorStatic(IDC_TITLE)) s->SetPointSize(16);

    SetProgressRange(IDC_LINK_PROGRESS, 0, 100);
    SetProgressRange(IDC_READ_PROGRESS, 0, 100);

    m_startKind = RadioGroupValue(IDC_START_NOW);

    EnableItem(IDC_READ_SAVE, false);
    EnableItem(IDC_AUTO_READ, false);
    EnableItem(IDC_SETTING, false);
    EnableItem(IDC_AUTO_SET, false);

    // The session reports on its own threads; the window shows each event on its own.
    m_session = std::make_unique<LoggerSession>([this](const SessionEvent& e) { PostSessionEvent(e); }, m_langId);
    m_session->SetExportFormats(FormatsForLanguage(m_langId, m_gpx));

    PortListBox ports(*this, IDC_PORT_LIST);
    FillPortList(ports);

    setWindowTitle(ToQString(Text(IDS_PRODUCT_LINE) + L"     " + VersionText(BuildFileVersion()) + L"     COM" +
                             std::to_wstring(m_comNumber) + L" "));
    ShowItem(IDC_PORT_LIST, false);
    ResetNotes();

    const char* dateFormat = nl_langinfo(D_FMT);
    if (dateFormat && *dateFormat) {
        const QString format = StrftimeToQtFormat(dateFormat);
        if (auto* picker = Picker(IDC_DATE_PICKER); picker && !format.isEmpty()) picker->setDisplayFormat(format);
    }
    const char* timeFormat = nl_langinfo(T_FMT);
    FitComboDropWidth(IDC_RECORD_MODE);
    if (timeFormat && *timeFormat) {
        const QString format = StrftimeToQtFormat(timeFormat);
        if (auto* picker = Picker(IDC_TIME_PICKER); picker && !format.isEmpty()) picker->setDisplayFormat(format);
    }
    // The refusal report runs to five lines and more: it wraps within its column, which
    // grows down where the language needs more lines.
    if (CColorFontStatic* report = ColorStatic(IDC_ERROR_LINE)) report->SetWordWrap(true);
    // The template's widths were made for other fonts: where a text of this language does
    // not fit, its control and what lies right of it move over and the window widens.
    ShowWidestLaterTexts();
    if (!GrowToFitTexts(*this).isNull()) CentreOnScreen();
    if (m_personal == 0) AddStationRaceButton();
    ClearStatic(IDC_READ_MESSAGE);
    ClearStatic(IDC_SERIAL);
    ClearStatic(IDC_ERROR_LINE);
    return true;
}

std::vector<CWingUtilityDlg::LaterText> CWingUtilityDlg::LaterTexts(int id) const {
    std::vector<LaterText> texts;
    auto add = [&texts](std::wstring text, int points = 0) { texts.push_back({std::move(text), points}); };
    if (id == IDC_READ_MESSAGE) {
        for (unsigned textId : {IDS_NOT_ALL_SAVED, IDS_NO_LOG_DATA, IDS_READ_ERROR, IDS_RACE_NOT_STARTED,
                                IDS_DOWNLOADING, IDS_GENERATING_FILES, IDS_READING_COUNT})
            add(Text(textId));
        add(Text(IDS_READ_SAVE_DONE) + L"  999.9");
        add(Text(IDS_RACE_TIME) + L" " + FormatDeviceTime(0x7FFFFFFF));
    } else if (id == IDC_SERIAL) {
        for (std::wstring text : {Text(IDS_INSERT_BOARD), Text(IDS_OLD_FIRMWARE), Text(IDS_NO_SERIAL),
                                  std::wstring(L"WG1507A0042")})
            add(std::move(text), 14);
    } else if (id == IDC_ERROR_LINE) {
        add(Text(IDS_SWITCH_TO_OFF), kSwitchNotePoints);
        add(Text(IDS_SWITCH_TO_ON), kSwitchNotePoints);
        for (const std::wstring& command : CommandDisplayNames()) {
            add(NoAnswerText(command), Template().fontPointSize);
            // Every code the table names, and one it does not (shown with its number).
            for (unsigned code = 0; code <= kStatusCodeTextCount; ++code)
                add(ComposeRefusalText(m_langId, m_nackTexts, command, code < kStatusCodeTextCount ? code : 255),
                    Template().fontPointSize);
        }
    }
    return texts;
}

std::optional<TextRoom> CWingUtilityDlg::MeasureLaterText(int id, const LaterText& later) {
    CColorFontStatic* s = ColorStatic(id);
    if (s == nullptr) return std::nullopt;
    if (later.points > 0) s->SetPointSize(later.points);
    return MeasureText(*s, ToQString(later.text));
}

std::optional<CWingUtilityDlg::LaterText> CWingUtilityDlg::LargestLaterText(int id) {
    // Wrapped reports need lines, the others width: the most lines first, then the widest.
    std::optional<LaterText> largest;
    std::pair<int, int> largestNeed{-1, -1};
    for (const LaterText& later : LaterTexts(id)) {
        const auto room = MeasureLaterText(id, later);
        if (room && std::pair(room->need.height(), room->need.width()) > largestNeed) {
            largestNeed = {room->need.height(), room->need.width()};
            largest = later;
        }
    }
    return largest;
}

void CWingUtilityDlg::ShowWidestLaterTexts() {
    // Some places show longer texts later (a save that was not whole, a missing board, a
    // refusal) than at the start: the layout makes room for the largest of them now, as
    // they are drawn, so none is cut when it comes.
    for (int id : {IDC_READ_MESSAGE, IDC_SERIAL, IDC_ERROR_LINE}) {
        if (const auto largest = LargestLaterText(id)) {
            MeasureLaterText(id, *largest);
            ColorStatic(id)->SetText(largest->text);
        }
    }
}

void CWingUtilityDlg::CentreOnScreen() {
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect s = screen->geometry();
        move(s.x() + s.width() / 2 - width() / 2, s.y() + s.height() / 2 - height() / 2);
    }
}

void CWingUtilityDlg::FillNameTables() {
    auto fill = [this](std::vector<std::wstring>& table, std::initializer_list<unsigned> ids) {
        for (unsigned id : ids) table.push_back(Text(id));
    };
    for (unsigned day = 0; day < 7; ++day) m_weekdayNames.push_back(Text(IDS_SUNDAY + day));
    fill(m_startKindNames, {IDS_START_NOW, IDS_START_RESERVED});
    fill(m_recordModeNames, {IDS_RECORD_MODE_30S, IDS_RECORD_MODE_3MIN, IDS_RECORD_MODE_AFTER_HOUR, IDS_RACING_MODE});
    m_nackTexts = LoadStatusCodeTexts(m_langId);
}

void CWingUtilityDlg::ApplyControlTexts() {
    for (const GroupCaption& g : kGroupCaptions) {
        if (CXGroupBox* box = GroupBox(g.id)) {
            box->SetCaption(Text(g.textId));
            box->m_textColor = g.colour;
        }
    }
    for (const ControlText& c : kControlTexts) SetItemText(c.id, Text(c.textId));
    // Bold first, then the caption face, which brings every caption back to normal weight.
    for (const GroupCaption& g : kGroupCaptions) {
        if (CXGroupBox* box = GroupBox(g.id)) {
            box->SetBold(g.bold);
            box->SetCaptionFont();
            box->update();
        }
    }
}

void CWingUtilityDlg::FitComboDropWidth(int comboId) {
    auto* combo = ItemAs<QComboBox>(comboId);
    if (!combo || combo->count() == 0) return;
    QFontMetrics fm(combo->font());
    int widest = 0;
    for (int i = 0; i < combo->count(); ++i) widest = std::max(widest, fm.horizontalAdvance(combo->itemText(i)));
    if (widest > 0)
        combo->view()->setMinimumWidth(widest + 2 * combo->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
}

void CWingUtilityDlg::ResetNotes() {
    ListReset(IDC_STATUS_LIST);
    ListAdd(IDC_STATUS_LIST, Text(IDS_NOTE_1));
    ListAdd(IDC_STATUS_LIST, Text(IDS_NOTE_2));
}

void CWingUtilityDlg::DrawStatusLamp(QPainter& painter, const QColor& colour) {
    const QRect button = ItemRect(IDC_SETTING);
    if (button.isNull()) return;
    const int top = button.y();
    const int bottom = button.y() + button.height();
    const int right = button.x() + button.width();
    const int y = top + (bottom - top) / 4;
    m_lampRect = QRect(right + 35, y, 30, 30);

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(palette().color(QPalette::WindowText), 1));
    painter.setBrush(colour);
    // The ellipse inside the square, its outline included, as the platform draws one.
    painter.drawEllipse(QRectF(m_lampRect).adjusted(0.5, 0.5, -0.5, -0.5));
    painter.restore();
}

void CWingUtilityDlg::RepaintLamp() {
    if (m_lampRect.isEmpty())
        update();
    else
        update(m_lampRect.adjusted(-2, -2, 2, 2));
}

void CWingUtilityDlg::OnPaintDialog(QPainter& painter) { DrawStatusLamp(painter, m_lampColor); }

void CWingUtilityDlg::OnSysCommand(int command) {
    if ((command & 0xFFF0) == kAboutCommand) {
        CAboutDlg about(this, 0, m_settingsPath);
        about.DoModal();
        return;
    }
    if ((command & 0xFFF0) == kSettingsCommand) {
        ShowSettings();
        return;
    }
    if ((command & 0xFFF0) == kFlightsCommand) {
        ShowFlightList();
        return;
    }
    if ((command & 0xFFF0) == kStationReleaseCommand) {
        AskStationRelease();
        return;
    }
    CDialog::OnSysCommand(command);
}

void CWingUtilityDlg::OpenFlight(const std::filesystem::path& archive) {
    auto read = ReadArchive(archive);
    // The flight's times are the download's local times: a zone this system does not know is no flight to show.
    if (const auto* download = std::get_if<ArchivedDownload>(&read))
        if (auto zone = ArchiveZone(*download); std::holds_alternative<std::string>(zone)) read = std::get<std::string>(zone);
    if (auto* problem = std::get_if<std::string>(&read)) {
        ShowMessageBox(FromLocale8(archive.string()) + L"\n" + FromLocale8(*problem), kApplicationName,
                       MB_OK | MB_ICONWARNING);
        return;
    }
    // The map from the settings in force ([Map]).
    TileSourceOptions tiles;
    tiles.map = m_config.map;
    m_flightWindow = std::make_unique<FlightWindow>(std::get<ArchivedDownload>(read), m_lofts, m_langId, std::move(tiles));
    m_flightWindow->show();
}

void CWingUtilityDlg::ShowFlightList() {
    FlightList list(ListArchives(ArchiveRoot()), m_langId, [this](const std::filesystem::path& p) { Defer([this, p] { OpenFlight(p); }); },
                    this);
    list.SetRaceActions([this](std::vector<ArchiveEntry> birds) { Defer([this, birds] { NewRace(birds); }); },
                        [this] { Defer([this] { ChooseRace(); }); });
    list.exec();
}

void CWingUtilityDlg::ShowSettings() {
    SettingsWindow window(m_config, m_settingsPath, UserConfigPath(), m_langId, this);
    if (window.exec() != QDialog::Accepted) return;
    // The user's file is in force from now on, once there is one.
    std::error_code ec;
    if (std::filesystem::exists(UserConfigPath(), ec)) m_settingsPath = UserConfigPath();
    ApplySettings(window.Saved());
}

void CWingUtilityDlg::ApplySettings(const Config& config) {
    m_config = config;
    m_threshold = config.threshold;
    m_ntpServer = config.ntpServer;
    m_openFlightAfterSave = config.openFlightAfterSave != 0;
    m_gpx = config.gpx != 0;
    // The next download writes the files chosen now (its save takes its own copy).
    if (m_session) m_session->SetExportFormats(FormatsForLanguage(m_langId, m_gpx));
    m_lofts.clear();
    for (const LoftEntry& loft : config.lofts)
        m_lofts.push_back(LoftSetting{loft.name, ParseCoordinates(loft.position), static_cast<double>(config.arrivalRadius)});
    m_logFolderPending = true;
    ApplyLogFolderWhenIdle();
}

void CWingUtilityDlg::ApplyLogFolderWhenIdle() {
    if (!m_logFolderPending) return;
    // A save writes its files, and archives the download, all in one folder.
    if (m_session && m_session->ReadUnderWay()) {
        QTimer::singleShot(200, this, [this] { ApplyLogFolderWhenIdle(); });
        return;
    }
    m_logFolderPending = false;
    ApplyLogFolder(m_config);
}

void CWingUtilityDlg::SetStatic(int id, const std::wstring& text, const QColor& colour, int pointSize) {
    CColorFontStatic* s = ColorStatic(id);
    if (!s) return;
    s->SetText(text);
    if (colour.isValid()) s->SetTextColor(colour);
    if (pointSize > 0) s->SetPointSize(pointSize);
}

void CWingUtilityDlg::ClearStatic(int id) {
    if (CColorFontStatic* s = ColorStatic(id)) s->SetText(L"");
}

}  // namespace wing
