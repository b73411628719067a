// The [Map] section: read with a default for every value that cannot be used, the offline
// map files as a numbered list, and written back as the other keys are.

#include <gtest/gtest.h>

#include "platform/profile.h"
#include "settings/config_writer.h"
#include "settings/settings_test_env.h"

namespace fs = std::filesystem;

namespace wing {
namespace {

using testing_ui::ScopedEnv;

MapConfig ParsedMap(const std::string& text) {
    ProfileFile profile;
    profile.Parse(text);
    return ConfigFromProfile(profile).map;
}

MapConfig With(std::function<void(MapConfig&)> change) {
    MapConfig map;
    change(map);
    return map;
}

TEST(MapSettings, EachKeyGivesItsValueOrFallsBackToItsDefault) {
    ScopedEnv home("HOME", "/home/fancier");
    struct Case {
        const char* what;
        const char* text;
        MapConfig expected;
    };
    const Case cases[] = {
        {"no section", "[Export]\nGPX=1\n", MapConfig{}},
        {"every key",
         "[Map]\nTileUrl=http://127.0.0.1:8080/{z}/{x}/{y}.png\nAttribution=Club maps\nMaxZoom=12\nCacheMiB=64\n"
         "Offline=1\nMBTiles=/srv/maps/taiwan.mbtiles\n",
         With([](MapConfig& m) {
             m.tileUrl = "http://127.0.0.1:8080/{z}/{x}/{y}.png";
             m.attribution = "Club maps";
             m.maxZoom = 12;
             m.cacheMiB = 64;
             m.offline = 1;
             m.mbtiles = {"/srv/maps/taiwan.mbtiles"};
         })},
        {"names in any case", "[map]\ntileurl = https://t.example.org/{z}/{x}/{y}.png\nMAXZOOM=3\n",
         With([](MapConfig& m) {
             m.tileUrl = "https://t.example.org/{z}/{x}/{y}.png";
             m.maxZoom = 3;
         })},
        {"the ends of the ranges", "[Map]\nMaxZoom=0\nCacheMiB=4096\n", With([](MapConfig& m) {
             m.maxZoom = 0;
             m.cacheMiB = 4096;
         })},
        {"empty texts", "[Map]\nTileUrl=\nAttribution=\n", MapConfig{}},
        {"zoom beyond the tiles", "[Map]\nMaxZoom=20\n", MapConfig{}},
        {"negative zoom", "[Map]\nMaxZoom=-1\n", MapConfig{}},
        // The profile reader would take "abc" as 0, the whole world, and "12abc" as 12.
        {"zoom that is no number", "[Map]\nMaxZoom=abc\n", MapConfig{}},
        {"zoom with text after it", "[Map]\nMaxZoom=12abc\n", MapConfig{}},
        {"no cache", "[Map]\nCacheMiB=0\n", MapConfig{}},
        {"a cache past the limit", "[Map]\nCacheMiB=4097\n", MapConfig{}},
        {"a cache of a huge number", "[Map]\nCacheMiB=99999999999999999999\n", MapConfig{}},
        {"any non-zero number is offline", "[Map]\nOffline=2\n", With([](MapConfig& m) { m.offline = 2; })},
        // The switch that keeps every request off the network reads the words people write
        // for "on" as on; read as numbers they would have been 0, online.
        {"yes is offline", "[Map]\nOffline=yes\n", With([](MapConfig& m) { m.offline = 1; })},
        {"True is offline", "[Map]\nOffline=True\n", With([](MapConfig& m) { m.offline = 1; })},
        {"on is offline", "[Map]\nOffline= on \n", With([](MapConfig& m) { m.offline = 1; })},
        {"no is online", "[Map]\nOffline=no\n", MapConfig{}},
        {"off is online", "[Map]\nOffline=OFF\n", MapConfig{}},
        // The settings window and the map name the fault of a template; nothing is lost here.
        {"a template the map cannot use is kept as written", "[Map]\nTileUrl=ftp://t.example.org/{z}.png\n",
         With([](MapConfig& m) { m.tileUrl = "ftp://t.example.org/{z}.png"; })},
    };
    for (const Case& c : cases) EXPECT_EQ(ParsedMap(c.text), c.expected) << c.what;
}

TEST(MapSettings, TheOfflineFilesAreANumberedListInTheOrderOfTheirNumbers) {
    ScopedEnv home("HOME", "/home/fancier");
    struct Case {
        const char* what;
        const char* text;
        std::vector<fs::path> expected;
    };
    const Case cases[] = {
        {"one file", "MBTiles=/srv/a.mbtiles\n", {"/srv/a.mbtiles"}},
        {"numbered ones in the order of their numbers", "MBTiles10=/c\nmbtiles2=/b\nMBTiles=/a\n", {"/a", "/b", "/c"}},
        {"a gap or an empty value loses nothing", "MBTiles=\nMBTiles3=/c\nMBTiles4=/d\n", {"/c", "/d"}},
        {"~/ is the home folder", "MBTiles=~/maps/taiwan.mbtiles\n", {"/home/fancier/maps/taiwan.mbtiles"}},
        {"a relative path is kept for the window to refuse", "MBTiles=maps/a.mbtiles\n", {"maps/a.mbtiles"}},
        {"of a repeated key the first line counts", "MBTiles2=/b\nMBTILES2=/x\nMBTiles=/a\n", {"/a", "/b"}},
        {"keys that only look like files", "MBTiles1=/x\nMBTilesX=/x\nMBTiles02=/b\n", {"/b"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParsedMap(std::string("[Map]\n") + c.text).mbtiles, c.expected) << c.what;
}

TEST(MapSettings, ChangedValuesAreWrittenAndTheFilesRenumbered) {
    const std::string base =
        "[Map]\n; mine\nTileUrl = http://127.0.0.1:8080/{z}/{x}/{y}.png ; the club's server\nMBTiles=/a\n"
        "MBTiles2=/b\n; old\nMBTiles3=/c\nMBTilesNote=kept\n";
    Config c = [&] {
        ProfileFile profile;
        profile.Parse(base);
        return ConfigFromProfile(profile);
    }();
    EXPECT_EQ(ConfigText(base, c), base);  // nothing changed, nothing written

    struct Case {
        const char* what;
        std::function<void(MapConfig&)> change;
        std::string expected;
    };
    const std::string url = "TileUrl = http://127.0.0.1:8080/{z}/{x}/{y}.png ; the club's server\n";
    const Case cases[] = {
        {"the address changed in place", [](MapConfig& m) { m.tileUrl = "https://{s}.t.example.org/{z}/{x}/{y}.png"; },
         "[Map]\n; mine\nTileUrl = https://{s}.t.example.org/{z}/{x}/{y}.png ; the club's server\nMBTiles=/a\n"
         "MBTiles2=/b\n; old\nMBTiles3=/c\nMBTilesNote=kept\n"},
        {"numbers and the switch after the section's last key",
         [](MapConfig& m) {
             m.maxZoom = 15;
             m.cacheMiB = 32;
             m.offline = 1;
         },
         "[Map]\n; mine\n" + url + "MBTiles=/a\nMBTiles2=/b\n; old\nMBTiles3=/c\nMBTilesNote=kept\nMaxZoom=15\n"
         "CacheMiB=32\nOffline=1\n"},
        {"the middle file removed", [](MapConfig& m) { m.mbtiles = {"/a", "/c"}; },
         "[Map]\n; mine\n" + url + "MBTiles=/a\nMBTiles2=/c\n; old\nMBTilesNote=kept\n"},
        {"every file removed", [](MapConfig& m) { m.mbtiles.clear(); },
         "[Map]\n; mine\n" + url + "; old\nMBTilesNote=kept\n"},
        {"one file more, after the section's last key", [](MapConfig& m) { m.mbtiles.push_back("/d e/f.mbtiles"); },
         "[Map]\n; mine\n" + url + "MBTiles=/a\nMBTiles2=/b\n; old\nMBTiles3=/c\nMBTilesNote=kept\n"
         "MBTiles4=/d e/f.mbtiles\n"},
    };
    for (const Case& k : cases) {
        Config changed = c;
        k.change(changed.map);
        const std::string text = ConfigText(base, changed);
        EXPECT_EQ(text, k.expected) << k.what;
        EXPECT_EQ(ParsedMap(text), changed.map) << k.what;
    }
}

TEST(MapSettings, AFileTheListStillNamesKeepsItsSpelling) {
    ScopedEnv home("HOME", "/home/fancier");
    const std::string base = "[Map]\nMBTiles = ~/maps/taiwan.mbtiles ; the island\nMBTiles2=/srv/world.mbtiles\n";
    ProfileFile profile;
    profile.Parse(base);
    Config c = ConfigFromProfile(profile);
    c.map.mbtiles = {"/home/fancier/maps/taiwan.mbtiles", "/srv/europe.mbtiles", "/srv/world.mbtiles"};
    EXPECT_EQ(ConfigText(base, c),
              "[Map]\nMBTiles = ~/maps/taiwan.mbtiles ; the island\nMBTiles2=/srv/europe.mbtiles\n"
              "MBTiles3=/srv/world.mbtiles\n");
}

TEST(MapSettings, AValueTheFileCannotHoldIsNamedAndNotSaved) {
    struct Case {
        std::function<void(MapConfig&)> change;
        const char* name;
    };
    const Case cases[] = {
        {[](MapConfig& m) { m.tileUrl = "https://t.example.org/{z}/{x}/{y}.png ;x"; }, "[Map] TileUrl"},
        {[](MapConfig& m) { m.attribution = "\"quoted\""; }, "[Map] Attribution"},
        {[](MapConfig& m) { m.mbtiles = {"/a", "/two\nlines"}; }, "[Map] MBTiles2"},
        {[](MapConfig& m) { m.mbtiles = {"/" + std::string(300, 'a')}; }, "[Map] MBTiles"},
    };
    testing_ui::ScratchDir dir;
    for (const Case& k : cases) {
        Config c;
        k.change(c.map);
        EXPECT_EQ(UnstorableValue(c), k.name);
        std::string why;
        EXPECT_FALSE(SaveUserConfig(c, dir.path / "none.ini", &why, dir.path / "Wing.ini"));
        EXPECT_NE(why.find(k.name), std::string::npos) << why;
        EXPECT_FALSE(fs::exists(dir.path / "Wing.ini")) << k.name;
    }
}

}  // namespace
}  // namespace wing
