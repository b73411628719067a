// The settings window as a user works it: fields changed, OK pressed, the user's file
// read back; Cancel and refused input write nothing; every control is named for
// assistive technology.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollArea>
#include <QSpinBox>
#include <QTableWidget>

#include <sys/stat.h>

#include <fstream>

#include "framework/qt_test_env.h"
#include "platform/paths.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"
#include "settings/config_writer.h"
#include "settings/settings_test_env.h"
#include "settingsview/settings_window.h"
#include "support/accessibility.h"
#include "support/files.h"
#include "support/modal.h"
#include "support/temp_config.h"

WING_QT_TEST_ENVIRONMENT();

namespace fs = std::filesystem;

namespace wing {
namespace {

// A settings file as the package ships one, with a line of the user's own.
constexpr const char* kSystemIni =
    "; the club's defaults\n"
    "[Mode]\nCompetition=1\n"
    "[Power]\n; tenths of a volt\nThreshold=40\n"
    "[Language]\nLanguageByOS=1\n"
    "[NTP]\nNTP=0\n;Server=pool.ntp.org\n"
    "[Personal]\nENABLE=1\nCOM=0\n"
    "[Flight]\nLoft=24.123456, 120.654321\nLoftName=Home\nArrivalRadius=100\n"
    "[Club]\nMember=1234\n";

QString Str(unsigned id, unsigned lang = LANG_EN_US) {
    std::wstring text;
    LoadLanguageString(lang, id, text);
    return QString::fromStdWString(text);
}

// The user's folder, the system's file and a port the tool sees (COM7), in a temporary
// folder of their own.
class SettingsWindowTest : public ::testing::Test {
protected:
    SettingsWindowTest() {
        system = fs::path(config.Root()) / "etc" / "Wing.ini";
        fs::create_directories(system.parent_path());
        std::ofstream(system) << kSystemIni;
        const fs::path node = fs::path(config.Root()) / "dev" / "ttyUSB7";
        std::ofstream(node) << "";
        fs::create_directories(config.ConfigDir());
        std::ofstream(fs::path(config.ConfigDir()) / "device-map.ini") << "[ports]\nCOM7 = " << node.string() << "\n";
    }

    std::unique_ptr<SettingsWindow> Open(unsigned lang = LANG_EN_US) {
        inForce = LoadConfig(lang, system);
        auto w = std::make_unique<SettingsWindow>(inForce, system, UserConfigPath(), lang);
        w->show();
        return w;
    }
    template <class T>
    static T* Field(SettingsWindow& w, const char* name) {
        T* field = w.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(field, nullptr) << name;
        return field;
    }
    static void Press(SettingsWindow& w, const char* button) { Field<QPushButton>(w, button)->click(); }
    static void SetCell(SettingsWindow& w, int row, int column, const QString& text) {
        auto* table = Field<QTableWidget>(w, "lofts");
        table->item(row, column)->setText(text);
    }
    static void SelectData(QComboBox* combo, int value) { combo->setCurrentIndex(combo->findData(value)); }
    // An offline map file (any bytes: the window checks only that it can be read).
    fs::path MapFile(const char* name) const {
        const fs::path file = fs::path(config.Root()) / "maps" / name;
        fs::create_directories(file.parent_path());
        std::ofstream(file) << "SQLite format 3";
        return file;
    }
    // Add Files... with `names` typed into the file dialog in `folder` ("a" "b" for two);
    // empty names cancel it.
    static void ChooseMapFiles(SettingsWindow& w, const fs::path& folder, const QString& names) {
        const bool shown = test::WhileModal<QFileDialog>([&] { Press(w, "addMapFile"); },
                                                         [&](QFileDialog& d) {
                                                             d.setDirectory(QString::fromStdString(folder.string()));
                                                             if (names.isEmpty()) return d.reject();
                                                             d.findChild<QLineEdit*>("fileNameEdit")->setText(names);
                                                             static_cast<QDialog&>(d).accept();  // checks the names
                                                         });
        EXPECT_TRUE(shown);
    }
    static QStringList MapFilesShown(SettingsWindow& w) {
        QStringList out;
        auto* list = Field<QListWidget>(w, "mapFiles");
        for (int row = 0; row < list->count(); ++row) out << list->item(row)->text();
        return out;
    }

    test::TempConfig config;
    fs::path system;
    Config inForce;
};

TEST_F(SettingsWindowTest, OkWritesEveryChangedFieldToTheUsersFileAndKeepsTheRest) {
    auto w = Open();
    SelectData(Field<QComboBox>(*w, "language"), 0);   // Simplified Chinese
    SelectData(Field<QComboBox>(*w, "recording"), 0);  // training
    Field<QDoubleSpinBox>(*w, "threshold")->setValue(3.8);
    Field<QCheckBox>(*w, "ntp")->setChecked(true);
    Field<QLineEdit>(*w, "ntpServer")->setText(" time.example.org ");
    SelectData(Field<QComboBox>(*w, "mode"), 0);       // station
    SelectData(Field<QComboBox>(*w, "port"), 7);
    Field<QLineEdit>(*w, "logFolder")->setText("~/Pigeons");
    Field<QCheckBox>(*w, "gpx")->setChecked(true);
    Press(*w, "addLoft");
    SetCell(*w, 1, 0, "Club");
    SetCell(*w, 1, 1, "N24 07.407 E120 39.260");
    Field<QSpinBox>(*w, "arrivalRadius")->setValue(60);
    Field<QCheckBox>(*w, "openAfterSave")->setChecked(false);
    Field<QLineEdit>(*w, "tileUrl")->setText(" http://127.0.0.1:8080/{z}/{x}/{y}.png ");
    Field<QLineEdit>(*w, "attribution")->setText("Club maps");
    Field<QSpinBox>(*w, "maxZoom")->setValue(14);
    Field<QSpinBox>(*w, "cacheMiB")->setValue(64);
    Field<QCheckBox>(*w, "offline")->setChecked(true);
    const fs::path mapFile = MapFile("taiwan.mbtiles");
    ChooseMapFiles(*w, mapFile.parent_path(), "\"taiwan.mbtiles\"");
    Press(*w, "ok");

    EXPECT_EQ(w->result(), QDialog::Accepted) << w->Problem().toStdString();
    ASSERT_TRUE(fs::exists(UserConfigPath()));
    const Config back = LoadConfig(LANG_EN_US, UserConfigPath());
    EXPECT_EQ(back.languageByOS, 0);
    EXPECT_EQ(back.competition, 0);
    EXPECT_EQ(back.threshold, 38u);
    EXPECT_EQ(back.ntpEnable, 1);
    EXPECT_EQ(back.ntpServer, "time.example.org");
    EXPECT_EQ(back.personal, 0);
    EXPECT_EQ(back.comNumber, 7);
    EXPECT_EQ(back.logFolder, "~/Pigeons");
    EXPECT_EQ(back.gpx, 1);
    EXPECT_EQ(back.lofts, (std::vector<LoftEntry>{{"Home", "24.123456, 120.654321"}, {"Club", "N24 07.407 E120 39.260"}}));
    EXPECT_EQ(back.arrivalRadius, 60);
    EXPECT_EQ(back.openFlightAfterSave, 0);
    EXPECT_EQ(back.map.tileUrl, "http://127.0.0.1:8080/{z}/{x}/{y}.png");
    EXPECT_EQ(back.map.attribution, "Club maps");
    EXPECT_EQ(back.map.maxZoom, 14);
    EXPECT_EQ(back.map.cacheMiB, 64);
    EXPECT_EQ(back.map.offline, 1);
    EXPECT_EQ(back.map.mbtiles, std::vector<fs::path>{mapFile});
    EXPECT_EQ(w->Saved().lofts, back.lofts);
    EXPECT_EQ(w->Saved().map, back.map);

    // Comments and keys the window does not know are carried over; the system's file stays.
    const std::string text = test::ReadWhole(UserConfigPath());
    for (const char* kept : {"; the club's defaults\n", "; tenths of a volt\n", "[Club]\nMember=1234\n",
                             ";Server=pool.ntp.org\nServer=time.example.org\n"})
        EXPECT_NE(text.find(kept), std::string::npos) << kept << "\n" << text;
    EXPECT_EQ(test::ReadWhole(system), kSystemIni);
}

TEST_F(SettingsWindowTest, CancelAndAnUnchangedOkWriteNothing) {
    auto w = Open();
    Field<QDoubleSpinBox>(*w, "threshold")->setValue(3.1);
    Press(*w, "cancel");
    EXPECT_EQ(w->result(), QDialog::Rejected);
    EXPECT_FALSE(fs::exists(UserConfigPath()));

    w = Open();
    Press(*w, "ok");
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_FALSE(fs::exists(UserConfigPath()));  // the file in force already says it all
}

TEST_F(SettingsWindowTest, InputThatCannotBeUsedIsRefusedWithItsMessageAndNothingIsWritten) {
    // A FIFO where a map file should be: opened, it would hold the window until a writer came.
    const fs::path fifo = fs::path(config.Root()) / "maps.fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
    auto tileUrl = [](const char* url) {
        return [url](SettingsWindow& w) { Field<QLineEdit>(w, "tileUrl")->setText(url); };
    };
    auto mapFile = [](const std::string& path) {
        return [path](SettingsWindow& w) { Field<QListWidget>(w, "mapFiles")->addItem(QString::fromStdString(path)); };
    };
    struct Case {
        const char* what;
        std::function<void(SettingsWindow&)> edit;
        QString message;
    };
    const Case cases[] = {
        {"a loft position that is no position", [](SettingsWindow& w) { SetCell(w, 0, 1, "24.5 north-ish"); },
         Str(IDS_FLIGHT_BAD_POSITION) + " 24.5 north-ish"},
        {"a loft off the globe", [](SettingsWindow& w) { SetCell(w, 0, 1, "95, 120"); },
         Str(IDS_FLIGHT_BAD_POSITION) + " 95, 120"},
        {"a loft without a position",
         [](SettingsWindow& w) {
             Press(w, "addLoft");
             SetCell(w, 1, 0, "Club");
         },
         Str(IDS_SETTINGS_LOFT_MISSING) + " Club"},
        {"two lofts of one name",
         [](SettingsWindow& w) {
             Press(w, "addLoft");
             SetCell(w, 1, 0, "home");
             SetCell(w, 1, 1, "25, 121");
         },
         Str(IDS_SETTINGS_SAME_LOFT_NAME) + " home"},
        {"a log folder that is not a full path",
         [](SettingsWindow& w) { Field<QLineEdit>(w, "logFolder")->setText("Pigeons"); },
         Str(IDS_SETTINGS_FOLDER_NOT_FULL) + " Pigeons"},
        {"a time server with a blank", [](SettingsWindow& w) { Field<QLineEdit>(w, "ntpServer")->setText("a b"); },
         Str(IDS_SETTINGS_BAD_SERVER) + " a b"},
        {"a loft name the file cannot hold", [](SettingsWindow& w) { SetCell(w, 0, 0, "Home ; old"); },
         Str(IDS_SETTINGS_CANNOT_STORE) + " [Flight] LoftName"},
        {"a tile address of another scheme", tileUrl("ftp://t.example.org/{z}/{x}/{y}.png"),
         Str(IDS_SETTINGS_TILE_URL_NOT_HTTP) + " ftp://t.example.org/{z}/{x}/{y}.png"},
        {"a tile address with a blank", tileUrl("https://t.example.org/{z}/{x}/{y} .png"),
         Str(IDS_SETTINGS_TILE_URL_BLANK) + " https://t.example.org/{z}/{x}/{y} .png"},
        {"a tile address without {y}", tileUrl("https://t.example.org/{z}/{x}.png"),
         Str(IDS_SETTINGS_TILE_URL_PLACEHOLDERS) + " https://t.example.org/{z}/{x}.png"},
        {"a tile address with a brace of its own", tileUrl("https://t.example.org/{zoom}/{x}/{y}.png"),
         Str(IDS_SETTINGS_TILE_URL_BRACES) + " https://t.example.org/{zoom}/{x}/{y}.png"},
        {"an attribution the file cannot hold",
         [](SettingsWindow& w) { Field<QLineEdit>(w, "attribution")->setText("\"Club\""); },
         Str(IDS_SETTINGS_CANNOT_STORE) + " [Map] Attribution"},
        {"a map file that is not there", mapFile("/nonexistent/taiwan.mbtiles"),
         Str(IDS_SETTINGS_MAP_FILE_UNREADABLE) + " /nonexistent/taiwan.mbtiles"},
        {"a map file by a relative path", mapFile("maps/taiwan.mbtiles"),
         Str(IDS_SETTINGS_MAP_FILE_NOT_FULL) + " maps/taiwan.mbtiles"},
        {"a folder as a map file", mapFile(config.Root()),
         Str(IDS_SETTINGS_MAP_FILE_UNREADABLE) + " " + QString::fromStdString(config.Root())},
        {"a FIFO as a map file", mapFile(fifo.string()),
         Str(IDS_SETTINGS_MAP_FILE_UNREADABLE) + " " + QString::fromStdString(fifo.string())},
    };
    for (const auto& c : cases) {
        auto w = Open();
        Field<QDoubleSpinBox>(*w, "threshold")->setValue(3.5);  // a change that would be written
        c.edit(*w);
        Press(*w, "ok");
        EXPECT_TRUE(w->isVisible()) << c.what;
        EXPECT_EQ(w->Problem(), c.message) << c.what;
        EXPECT_TRUE(Field<QLabel>(*w, "problem")->isVisible()) << c.what;
        EXPECT_FALSE(fs::exists(UserConfigPath())) << c.what;
    }

    // Mended, the same window saves.
    auto w = Open();
    SetCell(*w, 0, 1, "24.5 north-ish");
    Press(*w, "ok");
    ASSERT_TRUE(w->isVisible());
    SetCell(*w, 0, 1, "24°07'24.4\"N 120°39'15.6\"E");
    Press(*w, "ok");
    EXPECT_EQ(w->result(), QDialog::Accepted);
    EXPECT_TRUE(w->Problem().isEmpty());
    EXPECT_EQ(LoadConfig(LANG_EN_US, UserConfigPath()).lofts.at(0).position, "24°07'24.4\"N 120°39'15.6\"E");
}

TEST_F(SettingsWindowTest, MapFilesAreChosenInTheFileDialogAndKeptInTheirOrder) {
    const fs::path a = MapFile("a.mbtiles"), b = MapFile("b.mbtiles"), c = MapFile("c.mbtiles");
    std::ofstream(system, std::ios::app) << "[Map]\nMBTiles=" << a.string() << "\nMBTiles2=" << b.string()
                                         << "\nTileUrl=http://127.0.0.1:8080/{z}/{x}/{y}.png\nAttribution=Club maps\n";
    auto w = Open();
    const QString qa = QString::fromStdString(a.string()), qb = QString::fromStdString(b.string()),
                  qc = QString::fromStdString(c.string());
    ASSERT_EQ(MapFilesShown(*w), (QStringList{qa, qb}));
    ChooseMapFiles(*w, a.parent_path(), "");  // cancelled: nothing added
    EXPECT_EQ(MapFilesShown(*w), (QStringList{qa, qb}));
    ChooseMapFiles(*w, a.parent_path(), "\"c.mbtiles\" \"a.mbtiles\"");  // a is there already
    EXPECT_EQ(MapFilesShown(*w), (QStringList{qa, qb, qc}));
    Field<QListWidget>(*w, "mapFiles")->setCurrentRow(1);
    Press(*w, "removeMapFile");
    // Emptied, the texts are the defaults again, as an empty key in the file is.
    Field<QLineEdit>(*w, "tileUrl")->setText("");
    Field<QLineEdit>(*w, "attribution")->setText(" ");
    Press(*w, "ok");
    ASSERT_EQ(w->result(), QDialog::Accepted) << w->Problem().toStdString();
    const MapConfig back = LoadConfig(LANG_EN_US, UserConfigPath()).map;
    EXPECT_EQ(back.mbtiles, (std::vector<fs::path>{a, c}));
    EXPECT_EQ(back.tileUrl, kDefaultTileUrl);
    EXPECT_EQ(back.attribution, kDefaultTileAttribution);
}

TEST_F(SettingsWindowTest, AFileThatCannotBeWrittenIsReportedAndTheWindowStays) {
    // A file stands where the user's folder would be made.
    fs::remove_all(config.ConfigDir());
    std::ofstream(config.ConfigDir()) << "not a folder";
    auto w = Open();
    Field<QDoubleSpinBox>(*w, "threshold")->setValue(3.5);
    Press(*w, "ok");
    EXPECT_TRUE(w->isVisible());
    EXPECT_TRUE(w->Problem().startsWith(Str(IDS_SETTINGS_NOT_SAVED) + " ")) << w->Problem().toStdString();
    EXPECT_EQ(test::ReadWhole(config.ConfigDir()), "not a folder");
}

TEST_F(SettingsWindowTest, ThePortsAreTheOnesTheToolSeesAndOnlyAStationUsesOne) {
    // COM12 is configured but not plugged in: it stays on offer, marked.
    std::ofstream(system) << "[Personal]\nENABLE=0\nCOM=12\n";
    auto w = Open();
    auto* port = Field<QComboBox>(*w, "port");
    ASSERT_EQ(port->count(), 2);
    EXPECT_TRUE(port->itemText(0).startsWith("COM7")) << port->itemText(0).toStdString();
    EXPECT_TRUE(port->itemText(0).endsWith("ttyUSB7"));
    EXPECT_EQ(port->itemText(1), "COM12   (" + Str(IDS_SETTINGS_NOT_CONNECTED) + ")");
    EXPECT_EQ(port->currentData().toInt(), 12);
    EXPECT_TRUE(port->isEnabled());
    SelectData(Field<QComboBox>(*w, "mode"), 1);
    EXPECT_FALSE(port->isEnabled());

    // The line naming the file in force and the file OK writes, with every place in its tooltip.
    auto* source = Field<QLabel>(*w, "source");
    EXPECT_TRUE(source->text().contains(QString::fromStdString(system.string())));
    EXPECT_TRUE(source->text().contains(QString::fromStdString(UserConfigPath().string())));
    for (const auto& c : ConfigCandidates())
        EXPECT_TRUE(source->toolTip().contains(QString::fromStdString(c.path.string())));
}

TEST_F(SettingsWindowTest, NumbersTheUserLeftAloneKeepTheirSpelling) {
    // Competition=2 is racing as much as 1, ENABLE=2 personal mode with the automatic boxes
    // shown, LanguageByOS=4 English: changing something else must not rewrite them.
    const std::string odd = "[Mode]\nCompetition=2\n[Personal]\nENABLE=2\n[Language]\nLanguageByOS=4\n[Power]\nThreshold=-5\n"
                            "[Map]\nOffline=2\n";
    std::ofstream(system) << odd;
    auto w = Open();
    Field<QCheckBox>(*w, "gpx")->setChecked(true);
    Press(*w, "ok");
    ASSERT_EQ(w->result(), QDialog::Accepted);
    EXPECT_EQ(test::ReadWhole(UserConfigPath()), odd + "[Export]\nGPX=1\n");
}

TEST_F(SettingsWindowTest, EveryControlHasARoleAndANameInEachLanguage) {
    for (unsigned lang : {LANG_EN_US, LANG_ZH_TW, LANG_ZH_CN}) {
        auto w = Open(lang);
        int checked = 0;
        EXPECT_TRUE(test::EveryControlIsNamed(w.get(), &checked)) << lang;
        EXPECT_GE(checked, 15) << lang;  // every field, button and box of the window
        EXPECT_EQ(w->windowTitle(), Str(IDS_SETTINGS_TITLE, lang));
    }
}

TEST_F(SettingsWindowTest, ScreenshotsInEachLanguage) {
    // A club station as the README shows it: the paths a fancier's machine has, the
    // station's port on the machine's first serial port when there is one.
    const QString dir = QStringLiteral(WING_BINARY_DIR "/screenshots");
    ASSERT_TRUE(QDir().mkpath(dir));
    std::string station = kSystemIni;
    station.replace(station.find("ENABLE=1\nCOM=0"), 14, "ENABLE=0\nCOM=3");
    station.insert(station.find("ArrivalRadius"), "Loft2=N24 07.407 E120 39.260\nLoftName2=Club\n");
    station += "[Map]\nMBTiles=~/maps/taiwan.mbtiles\nMBTiles2=~/maps/world.mbtiles\n";
    std::ofstream(system) << station;
    if (fs::exists("/dev/ttyS0"))
        std::ofstream(fs::path(config.ConfigDir()) / "device-map.ini") << "[ports]\nCOM3 = /dev/ttyS0\n";
    testing_ui::ScopedEnv home("HOME", "/home/fancier");
    for (auto [lang, file] : {std::pair{LANG_EN_US, "settings-en.png"}, std::pair{LANG_ZH_TW, "settings-zh-tw.png"},
                              std::pair{LANG_ZH_CN, "settings-zh-cn.png"}}) {
        SettingsWindow w(LoadConfig(lang, system), "/etc/xdg/wing-utility/Wing.ini",
                         "/home/fancier/.config/wing-utility/Wing.ini", lang);
        w.show();
        // The whole form, as a screen with room for it shows it: no scroll bars.
        const auto* scroll = Field<QScrollArea>(w, "fields");
        const QSize whole = w.sizeHint() + (scroll->widget()->sizeHint() - scroll->sizeHint()).expandedTo(QSize(0, 0));
        w.resize(whole.expandedTo(QSize(860, 520)));
        test::PumpFor(std::chrono::milliseconds(100));
        const QImage image = w.grab().toImage();
        EXPECT_FALSE(image.isNull());
        EXPECT_TRUE(image.save(dir + "/" + file)) << file;
    }
}

}  // namespace
}  // namespace wing
