#include <gtest/gtest.h>

#include "map/tiles.h"

namespace wing {
namespace {

TEST(Tiles, TmsRowsCountFromTheSouth) {
    struct Case {
        TileId tile;
        int tms;
    };
    for (const Case& c : {Case{{0, 0, 0}, 0}, Case{{1, 0, 0}, 1}, Case{{1, 1, 1}, 0}, Case{{7, 63, 42}, 85},
                          Case{{19, 5, 0}, (1 << 19) - 1}})
        EXPECT_EQ(TmsRow(c.tile), c.tms);
    EXPECT_EQ(TmsRow({7, 63, TmsRow({7, 63, 42})}), 42) << "the flip is its own inverse";
}

TEST(Tiles, ValidTilesAndAncestors) {
    EXPECT_TRUE(IsValidTile({0, 0, 0}));
    EXPECT_TRUE(IsValidTile({19, (1 << 19) - 1, 0}));
    for (TileId bad : {TileId{-1, 0, 0}, TileId{20, 0, 0}, TileId{2, 4, 0}, TileId{2, 0, -1}})
        EXPECT_FALSE(IsValidTile(bad)) << bad.z << "/" << bad.x << "/" << bad.y;
    EXPECT_EQ(Ancestor({12, 2047, 1362}, 5), (TileId{7, 63, 42}));
    EXPECT_NE(TileKey({3, 1, 2}), TileKey({3, 2, 1}));
    EXPECT_NE(TileKey({19, 0, 1}), TileKey({18, 0, 1}));
}

TEST(Tiles, UrlTemplatesExpand) {
    struct Case {
        const char* tmpl;
        TileId tile;
        const char* url;
    };
    for (const Case& c : {
             Case{"https://tile.example.org/{z}/{x}/{y}.png", {7, 63, 42}, "https://tile.example.org/7/63/42.png"},
             Case{"http://127.0.0.1:8080/t?x={x}&y={y}&z={z}", {19, 524287, 3}, "http://127.0.0.1:8080/t?x=524287&y=3&z=19"},
             Case{"https://{s}.tiles.example/{z}/{x}/{y}.png", {2, 1, 1}, "https://c.tiles.example/2/1/1.png"},
             Case{"https://{s}.tiles.example/{z}/{x}/{y}.png", {2, 1, 2}, "https://a.tiles.example/2/1/2.png"},
             Case{"https://x/{z}/{x}/{y}{q}", {1, 0, 1}, "https://x/1/0/1{q}"},  // unknown names stay
         })
        EXPECT_EQ(ExpandTileUrl(c.tmpl, c.tile), c.url);
}

}  // namespace
}  // namespace wing
