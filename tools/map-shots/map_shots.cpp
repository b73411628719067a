// wing-map-shots OUTDIR: pictures of the flight window and of the race window (seven minutes
// into the replay, the second bird chosen) over map tiles served on loopback, in the three
// languages, at the scale factor QT_SCALE_FACTOR gives (flight-<lang>@<scale>x.png,
// race-<lang>@<scale>x.png), and the flight once with a server that refuses
// (flight-en-offline@<scale>x.png).
// The tiles are drawn here: land, water, woods and a road grid, the same at every level,
// so the pictures show a map under the track without any request leaving the machine.

#include <QApplication>
#include <QBuffer>
#include <QElapsedTimer>
#include <QPainter>
#include <QThread>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "flightview/flight_window.h"
#include "flightview/simulated_flight.h"
#include "map/web_mercator.h"
#include "raceview/race_map.h"
#include "raceview/race_parts_fixture.h"
#include "raceview/race_window.h"
#include "resources/string_table.h"
#include "support/tile_server.h"

namespace fs = std::filesystem;
using namespace wing;

namespace {

bool Pump(const std::function<bool()>& done, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > ms) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(5);
    }
    return true;
}

// Smooth made-up terrain over longitude and latitude.
double Terrain(double lat, double lon) {
    return std::sin(lon * 6.1) + std::sin(lat * 7.3 + lon * 2.2) + 0.5 * std::sin(lon * 23.0 + lat * 19.0) +
           0.25 * std::sin(lon * 61.0 - lat * 53.0);
}

QByteArray MapTile(const TileId& tile) {
    QImage image(kTilePixels, kTilePixels, QImage::Format_RGB32);
    const double n = 1 << tile.z;
    for (int py = 0; py < kTilePixels; ++py) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(py));
        for (int px = 0; px < kTilePixels; ++px) {
            const GeoPoint p = FromWorld({(tile.x + (px + 0.5) / kTilePixels) / n, (tile.y + (py + 0.5) / kTilePixels) / n});
            const double t = Terrain(p.lat, p.lon);
            line[px] = t < -1.3 ? qRgb(170, 211, 223) : t > 1.2 ? qRgb(205, 230, 180) : qRgb(242, 239, 233);
        }
    }
    // Roads every 0.1 degree, from level 9 on.
    if (tile.z >= 9) {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        const GeoPoint nw = FromWorld({tile.x / n, tile.y / n}), se = FromWorld({(tile.x + 1) / n, (tile.y + 1) / n});
        auto at = [&](double lat, double lon) {
            const WorldPoint w = ToWorld({lat, lon});
            return QPointF((w.x * n - tile.x) * kTilePixels, (w.y * n - tile.y) * kTilePixels);
        };
        for (int pass = 0; pass < 2; ++pass) {
            painter.setPen(QPen(pass == 0 ? QColor(200, 190, 170) : QColor(255, 255, 255), pass == 0 ? 4 : 2.5));
            for (double lat = std::floor(se.lat * 10) / 10; lat <= nw.lat + 0.1; lat += 0.1)
                painter.drawLine(at(lat, nw.lon - 0.1), at(lat, se.lon + 0.1));
            for (double lon = std::floor(nw.lon * 10) / 10; lon <= se.lon + 0.1; lon += 0.1)
                painter.drawLine(at(nw.lat + 0.1, lon), at(se.lat - 0.1, lon));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

int main(int argc, char** argv) {
    const fs::path out = fs::absolute(argc > 1 ? fs::path(argv[1]) : fs::path("screenshots"));
    fs::create_directories(out);
    // The race window keeps its tiles where the user's cache is: here, beside the pictures.
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((out / "tile-cache").string()));
    QApplication app(argc, argv);
    test::TileServer server;
    server.delayMs = 0;
    server.render = MapTile;
    const test::Flight flight = test::SimulatedFlight();
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", "1");
    int failures = 0;
    TileSourceOptions tiles;
    tiles.map.tileUrl = server.UrlTemplate().toStdString();
    tiles.map.attribution = "Map tiles made on loopback for this picture";
    tiles.map.offline = 0;
    tiles.cacheFolder = out / "tile-cache";
    const test::TempFolder raceFolder;
    const test::PartsRace race = test::MakePartsRace(raceFolder);
    for (const auto& [lang, name] : {std::pair{LANG_EN_US, "en"}, std::pair{LANG_ZH_CN, "zh_CN"}, std::pair{LANG_ZH_TW, "zh_TW"}}) {
        FlightWindow window(flight.download, LoftSetting{"Home", flight.loft, 100}, lang, tiles);
        window.resize(1200, 760);
        window.show();
        const bool complete = Pump([&] { return window.Map().Complete(); }, 20000);
        failures += !complete;
        const fs::path file = out / ("flight-" + std::string(name) + "@" + scale.toStdString() + "x.png");
        window.grab().save(QString::fromStdString(file.string()));
        std::printf("%s%s\n", file.c_str(), complete ? "" : " (map not complete)");

        Config config;
        config.map = tiles.map;
        RaceWindow raceWindow(race.race, raceFolder.Path(), config, lang);
        raceWindow.resize(1400, 850);
        raceWindow.show();
        raceWindow.SetReplayTime(raceWindow.Replay().Start() + 7 * 60);
        raceWindow.SelectBird(1);
        const bool raceComplete = Pump([&] { return raceWindow.Map().Complete(); }, 20000);
        failures += !raceComplete;
        const fs::path raceFile = out / ("race-" + std::string(name) + "@" + scale.toStdString() + "x.png");
        raceWindow.grab().save(QString::fromStdString(raceFile.string()));
        std::printf("%s%s\n", raceFile.c_str(), raceComplete ? "" : " (map not complete)");
    }
    {
        // And how a server that cannot be reached looks: the track on the plain background.
        tiles.map.tileUrl = test::TileServer::RefusingTemplate().toStdString();
        FlightWindow window(flight.download, LoftSetting{"Home", flight.loft, 100}, LANG_EN_US, tiles);
        window.resize(1200, 760);
        window.show();
        failures += !Pump([&] { return window.Map().SaysOffline(); }, 20000);
        const fs::path file = out / ("flight-en-offline@" + scale.toStdString() + "x.png");
        window.grab().save(QString::fromStdString(file.string()));
        std::printf("%s\n", file.c_str());
    }
    fs::remove_all(out / "tile-cache");
    std::printf("%d tiles served on 127.0.0.1\n", server.requests);
    return failures == 0 ? 0 : 1;
}
