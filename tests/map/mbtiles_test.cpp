#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "map/mbtiles.h"
#include "map/mbtiles_fixture.h"
#include "map/web_mercator.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

class MbTiles : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/wing-mbtiles-XXXXXX";
        m_dir = ::mkdtemp(tmpl);
    }
    void TearDown() override { fs::remove_all(m_dir); }

    std::unique_ptr<MbTilesFile> Open(const test::MbTilesFixture& fixture) {
        const fs::path path = m_dir / "f.mbtiles";
        fixture.Write(path);
        auto opened = MbTilesFile::Open(path);
        if (auto* problem = std::get_if<std::string>(&opened)) ADD_FAILURE() << *problem;
        return std::holds_alternative<std::string>(opened) ? nullptr : std::move(std::get<0>(opened));
    }
    std::string Problem(const test::MbTilesFixture& fixture) {
        const fs::path path = m_dir / "f.mbtiles";
        fixture.Write(path);
        auto opened = MbTilesFile::Open(path);
        return std::holds_alternative<std::string>(opened) ? std::get<std::string>(opened) : std::string();
    }

    fs::path m_dir;
};

TEST_F(MbTiles, TheTileOfAnXyzNumberIsTheOneStoredUnderItsTmsRow) {
    test::MbTilesFixture fixture;
    fixture.metadata = {{"format", "png"}, {"minzoom", "0"}, {"maxzoom", "7"}};
    // A tile and its mirror row hold different bytes, so a missing flip reads the wrong one.
    fixture.tiles = {{{7, 63, 42}, "london"}, {{7, 63, TmsRow({7, 63, 42})}, "mirror"}, {{0, 0, 0}, "world"}};
    auto file = Open(fixture);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Tile({7, 63, 42}), "london");
    EXPECT_EQ(file->Tile({7, 63, 85}), "mirror");
    EXPECT_EQ(file->Tile({0, 0, 0}), "world");
    EXPECT_EQ(file->Tile({7, 64, 42}), std::nullopt);
    EXPECT_EQ(file->Tile({7, 200, 42}), std::nullopt);
    EXPECT_EQ(file->Info().format, "png");
}

TEST_F(MbTiles, BoundsAndZoomRangeDecideWhatTheFileCovers) {
    test::MbTilesFixture fixture;
    // Around Taichung, z 8-12.
    fixture.metadata = {{"format", "jpg"}, {"bounds", "120.4,23.9,121.0,24.4"}, {"minzoom", "8"}, {"maxzoom", "12"}};
    auto file = Open(fixture);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->Info().minZoom, 8);
    EXPECT_EQ(file->Info().maxZoom, 12);
    EXPECT_DOUBLE_EQ(file->Info().bounds.west, 120.4);
    const GeoPoint inside{24.15, 120.65};
    EXPECT_TRUE(file->Covers(TileAt(inside, 8)));
    EXPECT_TRUE(file->Covers(TileAt(inside, 12)));
    EXPECT_FALSE(file->Covers(TileAt(inside, 7)));
    EXPECT_FALSE(file->Covers(TileAt(inside, 13)));
    EXPECT_FALSE(file->Covers(TileAt({25.1, 121.5}, 10))) << "Taipei lies north-east of the bounds";
    EXPECT_FALSE(file->Covers(TileAt({24.15, 119.9}, 12)));
    EXPECT_FALSE(file->Covers({8, 300, 900}));
}

TEST_F(MbTiles, FilesThatCannotServeRasterTilesAreRefusedWithTheirReason) {
    struct Case {
        std::map<std::string, std::string> metadata;
        bool tilesTable;
        const char* said;
    };
    for (const Case& c : {Case{{{"format", "pbf"}}, true, "pbf"},
                          Case{{{"bounds", "121,24,120,25"}}, true, "bounds"},
                          Case{{{"bounds", "120,24,121"}}, true, "bounds"},
                          Case{{{"bounds", "a,b,c,d"}}, true, "bounds"},
                          Case{{{"minzoom", "3.5"}}, true, "minzoom"},
                          Case{{{"maxzoom", "22"}}, true, "maxzoom"},
                          Case{{{"minzoom", "9"}, {"maxzoom", "4"}}, true, "minzoom"},
                          Case{{{"format", "png"}}, false, "tiles"}}) {
        test::MbTilesFixture fixture;
        fixture.metadata = c.metadata;
        fixture.withTilesTable = c.tilesTable;
        EXPECT_NE(Problem(fixture).find(c.said), std::string::npos) << c.said << ": " << Problem(fixture);
    }
    std::ofstream(m_dir / "text.mbtiles") << "not a database at all, just some text\n";
    auto notSqlite = MbTilesFile::Open(m_dir / "text.mbtiles");
    EXPECT_TRUE(std::holds_alternative<std::string>(notSqlite));
    // A name that is not there is said, and no empty database is left in its place.
    auto missing = MbTilesFile::Open(m_dir / "missing.mbtiles");
    EXPECT_TRUE(std::holds_alternative<std::string>(missing));
    EXPECT_FALSE(fs::exists(m_dir / "missing.mbtiles"));
}

TEST_F(MbTiles, ReadingLeavesTheFileAsItWas) {
    test::MbTilesFixture fixture;
    fixture.tiles = {{{3, 1, 2}, std::string("\x89PNG\0\x01", 6)}};
    const fs::path path = m_dir / "f.mbtiles";
    fixture.Write(path);
    auto bytes = [&] {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    };
    const std::string before = bytes();
    fs::permissions(path, fs::perms::owner_read | fs::perms::group_read);
    {
        auto opened = MbTilesFile::Open(path);
        ASSERT_FALSE(std::holds_alternative<std::string>(opened)) << std::get<std::string>(opened);
        auto& file = std::get<0>(opened);
        EXPECT_EQ(file->Tile({3, 1, 2}), std::string("\x89PNG\0\x01", 6)) << "binary bytes whole, NUL included";
        EXPECT_EQ(file->Info().format, "");
        EXPECT_EQ(file->Info().maxZoom, kMaxTileZoom);
    }
    EXPECT_EQ(bytes(), before);
    EXPECT_FALSE(fs::exists(m_dir / "f.mbtiles-journal"));
    EXPECT_FALSE(fs::exists(m_dir / "f.mbtiles-wal"));
}

}  // namespace
}  // namespace wing
