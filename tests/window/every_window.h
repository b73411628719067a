#pragma once
// Every window of the tool as a person sees it, in each interface language: the main
// window in station mode (so every control shows) in its racing and training
// configurations, the About box, the flight window of a simulated race and the list of
// archived flights with its race buttons, the questions of a new race and of the station's
// day, the race window mid-replay. The text-fit test walks them and the screenshot test photographs
// them, at whatever scale factor the run was started with.

#include <QGuiApplication>
#include <QLineEdit>
#include <QScreen>

#include <chrono>
#include <memory>
#include <string>

#include "flightview/flight_list.h"
#include "flightview/flight_window.h"
#include "flightview/race_new_dialog.h"
#include "flightview/simulated_flight.h"
#include "raceview/race_parts_fixture.h"
#include "raceview/race_table.h"
#include "raceview/race_window.h"
#include "ui/about_dlg.h"
#include "settingsview/settings_window.h"
#include "window/controller_fixture.h"

namespace wing::test {

struct Language {
    const char* tag;     // in file names
    int languageByOS;    // Wing.ini's value that chooses it
    const char* locale;  // the user's locale for the run
    unsigned langId;
};

inline constexpr Language kEveryLanguage[] = {
    {"en", 2, "en_US.UTF-8", LANG_EN_US},
    {"zh-tw", 1, "zh_TW.UTF-8", LANG_ZH_TW},
    {"zh-cn", 0, "en_US.UTF-8", LANG_ZH_CN},
};

// The main window's configurations whose texts differ: racing shows one record mode and
// the racing label, training the three intervals and the training label. Simplified
// Chinese always trains.
struct MainWindowCase {
    Language language;
    int competition;
    std::string name;  // e.g. "main-en", "main-en-training"
};

inline std::vector<MainWindowCase> EveryMainWindowCase() {
    std::vector<MainWindowCase> cases;
    for (const Language& l : kEveryLanguage) {
        cases.push_back({l, 1, std::string("main-") + l.tag});
        if (l.langId != LANG_ZH_CN) cases.push_back({l, 0, std::string("main-") + l.tag + "-training"});
    }
    return cases;
}

// "1x", "1.5x", "2x": the scale factor the run was started with (QT_SCALE_FACTOR).
inline std::string ScaleTag() {
    const QScreen* screen = QGuiApplication::primaryScreen();
    const qreal ratio = screen ? screen->devicePixelRatio() : 1.0;
    return QString::number(ratio).toStdString() + "x";
}

class EveryWindowFixture : public MainDialogFixture {
protected:
    // The main window once the clock has shown its first texts and LINK is released.
    CWingUtilityDlg& OpenMain(const MainWindowCase& c) {
        IniValues v;
        v.languageByOS = c.language.languageByOS;
        v.competition = c.competition;
        v.enable = 0;  // station mode: the day's race has its button
        auto& d = Open(v, c.language.locale);
        EXPECT_TRUE(PumpUntil([&] { return d.IsItemEnabled(IDC_LINK) && !d.ItemText(IDC_TIME_TEXT).empty(); },
                              std::chrono::milliseconds(4000)));
        PumpFor(std::chrono::milliseconds(100));
        return d;
    }

    static std::unique_ptr<CAboutDlg> OpenAbout(const Language& l) {
        ScopedLocaleName locale(l.locale);
        auto about = std::make_unique<CAboutDlg>(nullptr, l.langId);
        about->Create();
        PumpFor(std::chrono::milliseconds(50));
        return about;
    }

    // With the loft the window shows the velocity; without it, a note on how to set one.
    static std::unique_ptr<FlightWindow> OpenFlight(const Language& l, bool withLoft) {
        const Flight f = SimulatedFlight(true);
        LoftSetting loft{"Home", std::nullopt, 100};
        if (withLoft) loft.position = f.loft;
        auto window = std::make_unique<FlightWindow>(f.download, loft, l.langId);
        window->show();
        PumpFor(std::chrono::milliseconds(200));
        return window;
    }

    // Two flights and a damaged file, which the list names below itself.
    static std::unique_ptr<FlightList> OpenFlightList(const Language& l) {
        ArchiveListing listing;
        listing.entries.push_back({"/nonexistent/WG1507A0042/20150502T000000Z.wing", L"WG1507A0042", 1430524800, 2048});
        listing.entries.push_back({"/nonexistent/WG1507A0042/20150501T000000Z.wing", L"WG1507A0042", 1430438400, 917});
        listing.problems.push_back({"/nonexistent/WG1507A0042/cut.wing", "the file ends inside its header"});
        auto list = std::make_unique<FlightList>(listing, l.langId, [](const std::filesystem::path&) {});
        list->SetRaceActions([](std::vector<ArchiveEntry>) {}, [] {});
        list->show();
        PumpFor(std::chrono::milliseconds(50));
        return list;
    }

    // Five birds, one of them missing, seven minutes after the release with a bird chosen;
    // the map offline (its background and its note).
    static std::unique_ptr<RaceWindow> OpenRace(const Language& l, const TempFolder& folder) {
        const PartsRace parts = MakePartsRace(folder);
        Config config;
        config.map.offline = 1;
        auto window = std::make_unique<RaceWindow>(parts.race, folder.Path(), config, l.langId);
        window->resize(1400, 850);
        window->show();
        window->SetReplayTime(window->Replay().Start() + 7 * 60);
        window->SelectBird(1);
        PumpFor(std::chrono::milliseconds(200));
        return window;
    }

    // A race of the two flights of the list, or (station) the release of the day's race,
    // every field filled.
    static std::unique_ptr<RaceReleaseDialog> OpenRaceRelease(const Language& l, bool station) {
        Config config;
        config.lofts = {{"Home", "24.123456, 120.654321"}, {"Club loft", "N24 07.407 E120 39.260"}};
        std::vector<ArchiveEntry> birds{{"/nonexistent/WG1507A0042/20150502T000000Z.wing", L"WG1507A0042", 1430524800, 2048},
                                        {"/nonexistent/WG1507A0043/20150502T000100Z.wing", L"WG1507A0043", 1430524860, 917}};
        auto dialog = station ? std::make_unique<RaceReleaseDialog>("/nonexistent/races/station-2015-05-02.json", birds,
                                                                    config, l.langId)
                              : std::make_unique<RaceReleaseDialog>(birds, config, l.langId);
        dialog->NameEdit().setText(QStringLiteral("Spring national"));
        dialog->ReleasePointEdit().setText(QStringLiteral("24.0, 120.5"));
        dialog->show();
        PumpFor(std::chrono::milliseconds(50));
        return dialog;
    }

    // Two lofts, station mode on a port that is not plugged in, two offline map files: every
    // field has a text.
    static std::unique_ptr<SettingsWindow> OpenSettings(const Language& l) {
        Config config;
        config.personal = 0;
        config.comNumber = 9;
        config.threshold = 40;
        config.gpx = 1;
        config.lofts = {{"Home", "24.123456, 120.654321"}, {"Club loft", "N24 07.407 E120 39.260"}};
        config.map.offline = 1;
        config.map.mbtiles = {"/home/fancier/maps/taiwan.mbtiles", "/home/fancier/maps/world.mbtiles"};
        auto window = std::make_unique<SettingsWindow>(config, "/nonexistent/Wing.ini", "/nonexistent/user/Wing.ini",
                                                       l.langId);
        window->show();
        PumpFor(std::chrono::milliseconds(50));
        return window;
    }
};

}  // namespace wing::test
