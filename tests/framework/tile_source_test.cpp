// The map's tiles from a server on loopback and from MBTiles files: what is asked, how
// often, with what, and what comes back where.

#include <gtest/gtest.h>

#include <QImage>
#include <QSignalSpy>

#include <filesystem>
#include <fstream>

#include "framework/map_view.h"
#include "framework/qt_test_env.h"
#include "framework/tile_source.h"
#include "map/mbtiles_fixture.h"
#include "map/web_mercator.h"
#include "support/tile_server.h"


namespace wing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::PumpUntil;
using test::TileRgb;
using test::TileServer;

// A 5 x 4 block of tiles around Taichung at zoom 10.
std::vector<TileId> Block(int z = 10, int columns = 5, int rows = 4) {
    const TileId corner = TileAt({24.15, 120.65}, z);
    std::vector<TileId> tiles;
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < columns; ++x) tiles.push_back({z, corner.x + x, corner.y + y});
    return tiles;
}

class MapTiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/wing-tiles-XXXXXX";
        m_dir = ::mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    TileSourceOptions Options(const QString& urlTemplate) const {
        TileSourceOptions options;
        options.map.tileUrl = urlTemplate.toStdString();
        options.map.offline = 0;
        options.cacheFolder = m_dir / "cache";
        return options;
    }
    // Asks for the tiles and waits until each has arrived or will not come.
    static bool Load(TileSource& source, const std::vector<TileId>& tiles) {
        source.Want(tiles);
        return PumpUntil([&] { return std::all_of(tiles.begin(), tiles.end(), [&](auto& t) { return source.Settled(t); }); },
                         20s);
    }
    // The colour of a tile (0 when it is not there).
    static QRgb Centre(const QImage* image) { return image ? image->pixel(image->width() / 4, image->height() / 2) : 0; }

    fs::path m_dir;
};

TEST_F(MapTiles, DownloadsNameTheProgramRunTwoAtATheMostAndLandWhereTheyBelong) {
    TileServer server;
    TileSource source(Options(server.UrlTemplate()));
    const auto tiles = Block();
    ASSERT_TRUE(Load(source, tiles));
    EXPECT_EQ(server.requests, static_cast<int>(tiles.size()));
    EXPECT_LE(server.maxUnderWay, 2);
    EXPECT_LE(server.maxOpen, 2);
    EXPECT_EQ(server.maxUnderWay, 2) << "the two downloads do run side by side";
    for (const std::string& agent : server.userAgents) EXPECT_EQ(agent, "wing-utility/" + std::string(WING_VERSION));
    for (const TileId& tile : tiles) {
        const QImage* image = source.Tile(tile);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(Centre(image), TileRgb(tile)) << tile.x << "/" << tile.y;
    }
    EXPECT_FALSE(source.Failed());
}

TEST_F(MapTiles, OnlyTheTilesStillWantedAreFetched) {
    TileServer server;
    server.delayMs = 50;
    TileSource source(Options(server.UrlTemplate()));
    source.Want(Block(10, 8, 8));
    // The view moves on at once: of the first 64 only those already under way are fetched.
    const auto now = Block(12, 2, 2);
    ASSERT_TRUE(Load(source, now));
    test::PumpFor(200ms);
    int old = 0;
    for (const TileId& t : server.asked) old += t.z == 10;
    EXPECT_LE(old, 2);
    EXPECT_EQ(server.requests, old + 4);
}

TEST_F(MapTiles, ASecondViewOfTheSameAreaComesFromTheDiskCacheWithNoRequest) {
    TileServer server;
    const auto tiles = Block();
    {
        TileSource first(Options(server.UrlTemplate()));
        ASSERT_TRUE(Load(first, tiles));
    }
    ASSERT_EQ(server.requests, static_cast<int>(tiles.size()));
    EXPECT_FALSE(fs::is_empty(m_dir / "cache"));
    TileSource second(Options(server.UrlTemplate()));
    ASSERT_TRUE(Load(second, tiles));
    EXPECT_EQ(server.requests, static_cast<int>(tiles.size()));
    for (const TileId& tile : tiles) EXPECT_EQ(Centre(second.Tile(tile)), TileRgb(tile));
}

TEST_F(MapTiles, StaleTilesAreRevalidatedA304KeepsTheCachedOneANewVersionReplacesIt) {
    TileServer server;
    server.cacheControl = "no-cache";
    const auto tiles = Block(10, 2, 2);
    {
        TileSource first(Options(server.UrlTemplate()));
        ASSERT_TRUE(Load(first, tiles));
    }
    {
        TileSource again(Options(server.UrlTemplate()));
        ASSERT_TRUE(Load(again, tiles));
        EXPECT_EQ(server.requests, 8);
        EXPECT_EQ(server.notModified, 4);
        for (const TileId& tile : tiles) EXPECT_EQ(Centre(again.Tile(tile)), TileRgb(tile));
    }
    server.version = 1;
    TileSource changed(Options(server.UrlTemplate()));
    ASSERT_TRUE(Load(changed, tiles));
    EXPECT_EQ(server.notModified, 4);
    for (const TileId& tile : tiles) EXPECT_EQ(Centre(changed.Tile(tile)), TileRgb(tile, 1));
}

TEST_F(MapTiles, TheDiskCacheKeepsToItsCapDroppingTheOldestFirst) {
    TileServer server;
    server.noisy = true;  // about 190 kB a tile
    auto options = Options(server.UrlTemplate());
    options.map.cacheMiB = 1;
    const auto tiles = Block(10, 5, 4);
    {
        TileSource source(options);
        // One at a time, so "oldest" is well defined.
        for (const TileId& tile : tiles) ASSERT_TRUE(Load(source, {tile}));
    }
    std::uintmax_t bytes = 0;
    for (const auto& entry : fs::recursive_directory_iterator(m_dir / "cache"))
        if (entry.is_regular_file()) bytes += entry.file_size();
    EXPECT_LE(bytes, 1u << 20);
    EXPECT_GT(bytes, 1u << 19) << "what fits is kept";
    const int before = server.requests;
    TileSource again(options);
    ASSERT_TRUE(Load(again, {tiles.back()}));
    EXPECT_EQ(server.requests, before) << "the newest tile is still on disk";
    ASSERT_TRUE(Load(again, {tiles.front()}));
    EXPECT_EQ(server.requests, before + 1) << "the oldest was dropped";
}

TEST_F(MapTiles, TheMemoryCacheKeepsToItsCap) {
    TileServer server;
    auto options = Options(server.UrlTemplate());
    options.memoryBytes = 8 * kTilePixels * kTilePixels * 4;
    TileSource source(options);
    const auto tiles = Block(10, 6, 5);
    for (std::size_t i = 0; i < tiles.size(); i += 3) {
        ASSERT_TRUE(Load(source, {tiles.begin() + i, tiles.begin() + i + 3}));
        EXPECT_LE(source.MemoryBytes(), options.memoryBytes);
    }
    EXPECT_NE(source.Tile(tiles.back()), nullptr);
}

TEST_F(MapTiles, ARefusingOrHangingServerIsSaidOnce) {
    for (bool hang : {false, true}) {
        TileServer server;
        server.mode = TileServer::Mode::Hang;
        auto options = Options(hang ? server.UrlTemplate() : TileServer::RefusingTemplate());
        options.transferTimeoutMs = 300;
        TileSource source(options);
        QSignalSpy failed(&source, &TileSource::SourceFailed);
        const auto tiles = Block(10, 3, 2);
        ASSERT_TRUE(Load(source, tiles)) << hang;
        test::PumpFor(50ms);
        EXPECT_TRUE(source.Failed());
        EXPECT_EQ(failed.count(), 1) << "said once for six tiles";
        for (const TileId& tile : tiles) EXPECT_EQ(source.Tile(tile), nullptr);
        // A failed tile is not asked for again at every repaint.
        const int asked = server.requests;
        source.Want(tiles);
        test::PumpFor(100ms);
        EXPECT_EQ(server.requests, asked);
    }
}

// A template typed into the file by hand that the settings window would refuse asks the
// server for nothing: {z} twice would name a tile the server never meant.
TEST_F(MapTiles, ATemplateThatCannotNameATileAsksNothingAndIsSaid) {
    TileServer server;
    QString bad = server.UrlTemplate();
    bad.replace(QStringLiteral("{z}"), QStringLiteral("{z}/{z}"));
    TileSource source(Options(bad));
    QSignalSpy failed(&source, &TileSource::SourceFailed);
    const auto tiles = Block(10, 2, 2);
    ASSERT_TRUE(Load(source, tiles));
    test::PumpFor(50ms);
    EXPECT_TRUE(source.Failed());
    EXPECT_EQ(failed.count(), 1);
    EXPECT_EQ(server.requests, 0);
}

TEST_F(MapTiles, MbTilesFilesComeFirstAndOfflineOnlyMakesNoRequest) {
    TileServer server;
    const auto tiles = Block(10, 3, 3);
    // The first file holds the top row, the second the middle one with the top row in
    // another colour (the first file wins); nothing holds the bottom row.
    test::MbTilesFixture first, second;
    first.metadata = {{"format", "png"}, {"minzoom", "10"}, {"maxzoom", "10"}};
    second.metadata = first.metadata;
    for (int i = 0; i < 3; ++i) {
        first.tiles[tiles[i]] = test::TilePng(tiles[i]).toStdString();
        second.tiles[tiles[i]] = test::TilePng(tiles[i], 2).toStdString();
        second.tiles[tiles[3 + i]] = test::TilePng(tiles[3 + i], 1).toStdString();
    }
    first.Write(m_dir / "first.mbtiles");
    second.Write(m_dir / "second.mbtiles");
    for (int offline : {1, 0}) {
        fs::remove_all(m_dir / "cache");
        server.requests = 0;
        auto options = Options(server.UrlTemplate());
        options.map.offline = offline;
        options.map.mbtiles = {m_dir / "first.mbtiles", m_dir / "second.mbtiles"};
        TileSource source(options);
        ASSERT_TRUE(Load(source, tiles));
        for (int i = 0; i < 3; ++i) {
            ASSERT_NE(source.Tile(tiles[i]), nullptr);
            EXPECT_EQ(Centre(source.Tile(tiles[i])), TileRgb(tiles[i]));
            ASSERT_NE(source.Tile(tiles[3 + i]), nullptr);
            EXPECT_EQ(Centre(source.Tile(tiles[3 + i])), TileRgb(tiles[3 + i], 1));
            const QImage* bottom = source.Tile(tiles[6 + i]);
            EXPECT_EQ(bottom != nullptr, offline == 0) << "only the network holds the bottom row";
            if (bottom != nullptr) {
                EXPECT_EQ(Centre(bottom), TileRgb(tiles[6 + i]));
            }
        }
        EXPECT_EQ(server.requests, offline ? 0 : 3) << offline;
        EXPECT_FALSE(source.Failed());
    }
}

TEST_F(MapTiles, AFileThatCannotServeTilesIsSaidAndTheOthersStillServe) {
    test::MbTilesFixture good;
    const auto tiles = Block(10, 1, 1);
    good.tiles[tiles[0]] = test::TilePng(tiles[0]).toStdString();
    good.Write(m_dir / "good.mbtiles");
    std::ofstream(m_dir / "bad.mbtiles") << "text";
    TileSourceOptions options;
    options.map.mbtiles = {m_dir / "missing.mbtiles", m_dir / "bad.mbtiles", m_dir / "good.mbtiles"};
    TileSource source(options);
    ASSERT_TRUE(Load(source, tiles));
    EXPECT_NE(source.Tile(tiles[0]), nullptr);
    ASSERT_TRUE(PumpUntil([&] { return source.Failed(); }, 5s));
    EXPECT_TRUE(source.Failure().contains("missing.mbtiles")) << source.Failure().toStdString();
}

}  // namespace
}  // namespace wing
