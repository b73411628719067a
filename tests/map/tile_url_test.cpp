// Tile URL templates: which the map can use, and the reason it gives for one it cannot.

#include <gtest/gtest.h>

#include "map/tile_url.h"
#include "settings/config.h"

namespace wing {
namespace {

TEST(TileUrl, UsableTemplatesHaveNoProblem) {
    for (const char* url : {
             kDefaultTileUrl,
             "http://127.0.0.1:8080/{z}/{x}/{y}.png",
             "HTTPS://{s}.tile.example.org/{z}/{x}/{y}.png",
             "https://tiles.example.org/{x}/{y}/{z}?key=abc&style=topo",  // any order, a query
             "https://tiles.example.org/{z}-{x}-{y}",                     // placeholders side by side
         }) {
        EXPECT_EQ(FindTileUrlFault(url), TileUrlFault::None) << url;
        EXPECT_EQ(TileUrlProblem(url), "") << url;
    }
}

TEST(TileUrl, EachUnusableTemplateIsNamedWithItsFault) {
    struct Case {
        const char* url;
        TileUrlFault fault;
        const char* problem;
    };
    const Case cases[] = {
        {"", TileUrlFault::NotHttp, "the tile address must start with http:// or https:// and a server name"},
        {"ftp://tiles.example.org/{z}/{x}/{y}.png", TileUrlFault::NotHttp, nullptr},
        {"file:///home/fancier/{z}/{x}/{y}.png", TileUrlFault::NotHttp, nullptr},
        {"tile.openstreetmap.org/{z}/{x}/{y}.png", TileUrlFault::NotHttp, nullptr},
        {"https:///{z}/{x}/{y}.png", TileUrlFault::NotHttp, nullptr},  // no server
        {"https://", TileUrlFault::NotHttp, nullptr},
        {"https://tiles.example.org/{z}/{x}/{y} .png", TileUrlFault::Blank,
         "the tile address holds a blank or a control character"},
        {"https://tiles.example.org/{z}/{x}/{y}\t.png", TileUrlFault::Blank, nullptr},
        {"https://tiles.example.org/{z}/{x}.png", TileUrlFault::Placeholders, "the tile address lacks {y}"},
        {"https://tiles.example.org/{x}/{y}.png", TileUrlFault::Placeholders, "the tile address lacks {z}"},
        {"https://tiles.example.org/{z}/{x}/{y}/{x}.png", TileUrlFault::Placeholders,
         "the tile address holds {x} more than once"},
        {"https://{s}.tiles.example.org/{z}/{x}/{y}/{s}.png", TileUrlFault::Placeholders,
         "the tile address holds {s} more than once"},
        {"https://tiles.example.org/{zoom}/{x}/{y}.png", TileUrlFault::OtherBraces,
         "the tile address holds braces other than {z}, {x}, {y} and {s}"},
        {"https://tiles.example.org/{Z}/{x}/{y}.png", TileUrlFault::OtherBraces, nullptr},
        {"https://tiles.example.org/{z}/{x}/{y}.png?v={", TileUrlFault::OtherBraces, nullptr},
        {"https://tiles.example.org/{z}/{x}/{y}}.png", TileUrlFault::OtherBraces, nullptr},
        {"https://tiles.example.org/{z}/{x}/{-y}.png", TileUrlFault::OtherBraces, nullptr},
        {"https://tiles.example.org/{{z}}/{x}/{y}.png", TileUrlFault::OtherBraces, nullptr},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FindTileUrlFault(c.url), c.fault) << c.url;
        const std::string problem = TileUrlProblem(c.url);
        EXPECT_FALSE(problem.empty()) << c.url;
        EXPECT_EQ(problem.find('\n'), std::string::npos) << c.url;  // one line
        if (c.problem) {
            EXPECT_EQ(problem, c.problem) << c.url;
        }
    }
}

}  // namespace
}  // namespace wing
