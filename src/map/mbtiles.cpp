#include "map/mbtiles.h"

#include <sqlite3.h>

#include <charconv>
#include <map>
#include <sstream>

#include "map/web_mercator.h"

namespace wing {
namespace {

std::string Trim(std::string text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

std::optional<double> Number(const std::string& text) {
    const std::string t = Trim(text);
    double value = 0;
    const auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), value);
    if (ec != std::errc() || end != t.data() + t.size() || t.empty()) return std::nullopt;
    return value;
}

// "west,south,east,north" in degrees, west below east and south below north.
std::optional<MbTilesBounds> ParseBounds(const std::string& text) {
    std::stringstream in(text);
    std::string part;
    double v[4];
    int n = 0;
    while (std::getline(in, part, ',')) {
        if (n == 4) return std::nullopt;
        const auto value = Number(part);
        if (!value) return std::nullopt;
        v[n++] = *value;
    }
    if (n != 4 || v[0] < -180 || v[2] > 180 || v[1] < -90 || v[3] > 90 || v[0] >= v[2] || v[1] >= v[3])
        return std::nullopt;
    return MbTilesBounds{v[0], v[1], v[2], v[3]};
}

std::optional<int> Zoom(const std::string& text) {
    const auto value = Number(text);
    if (!value || *value != static_cast<int>(*value) || *value < 0 || *value > kMaxTileZoom) return std::nullopt;
    return static_cast<int>(*value);
}

std::string Text(sqlite3_stmt* statement, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(statement, column));
    return text ? std::string(text, sqlite3_column_bytes(statement, column)) : std::string();
}

}  // namespace

std::variant<std::unique_ptr<MbTilesFile>, std::string> MbTilesFile::Open(const std::filesystem::path& path) {
    std::unique_ptr<MbTilesFile> file(new MbTilesFile);
    file->m_path = path;
    // Read-only, and never created: a missing file is an error, not an empty database.
    if (sqlite3_open_v2(path.c_str(), &file->m_db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK)
        return std::string(file->m_db ? sqlite3_errmsg(file->m_db) : "cannot be opened");
    if (sqlite3_prepare_v2(file->m_db,
                           "SELECT tile_data FROM tiles WHERE zoom_level = ?1 AND tile_column = ?2 AND tile_row = ?3",
                           -1, &file->m_tile, nullptr) != SQLITE_OK)
        return "no tiles table: " + std::string(sqlite3_errmsg(file->m_db));

    std::map<std::string, std::string> metadata;
    sqlite3_stmt* read = nullptr;
    if (sqlite3_prepare_v2(file->m_db, "SELECT name, value FROM metadata", -1, &read, nullptr) == SQLITE_OK) {
        while (sqlite3_step(read) == SQLITE_ROW) metadata[Text(read, 0)] = Text(read, 1);
    }
    sqlite3_finalize(read);

    MbTilesInfo& info = file->m_info;
    info.format = Trim(metadata["format"]);
    if (info.format == "jpeg") info.format = "jpg";
    if (!info.format.empty() && info.format != "png" && info.format != "jpg" && info.format != "webp")
        return "format " + info.format + " is not a raster image (png or jpg)";
    if (metadata.contains("bounds")) {
        const auto bounds = ParseBounds(metadata["bounds"]);
        if (!bounds) return "bounds \"" + metadata["bounds"] + "\" is not west,south,east,north";
        info.bounds = *bounds;
    }
    for (auto [key, target] : {std::pair{"minzoom", &info.minZoom}, std::pair{"maxzoom", &info.maxZoom}}) {
        if (!metadata.contains(key)) continue;
        const auto zoom = Zoom(metadata[key]);
        if (!zoom) return std::string(key) + " \"" + metadata[key] + "\" is not a zoom level 0-19";
        *target = *zoom;
    }
    if (info.minZoom > info.maxZoom) return "minzoom is above maxzoom";
    return file;
}

MbTilesFile::~MbTilesFile() {
    sqlite3_finalize(m_tile);
    sqlite3_close(m_db);
}

bool MbTilesFile::Covers(const TileId& tile) const {
    if (!IsValidTile(tile) || tile.z < m_info.minZoom || tile.z > m_info.maxZoom) return false;
    const double n = 1 << tile.z;
    const GeoPoint northWest = FromWorld({tile.x / n, tile.y / n});
    const GeoPoint southEast = FromWorld({(tile.x + 1) / n, (tile.y + 1) / n});
    const MbTilesBounds& b = m_info.bounds;
    return southEast.lon > b.west && northWest.lon < b.east && northWest.lat > b.south && southEast.lat < b.north;
}

std::optional<std::string> MbTilesFile::Tile(const TileId& tile) {
    if (!IsValidTile(tile)) return std::nullopt;
    sqlite3_reset(m_tile);
    sqlite3_bind_int(m_tile, 1, tile.z);
    sqlite3_bind_int(m_tile, 2, tile.x);
    sqlite3_bind_int(m_tile, 3, TmsRow(tile));
    if (sqlite3_step(m_tile) != SQLITE_ROW) return std::nullopt;
    const auto* bytes = static_cast<const char*>(sqlite3_column_blob(m_tile, 0));
    const int size = sqlite3_column_bytes(m_tile, 0);
    std::optional<std::string> data;
    if (bytes != nullptr && size > 0) data.emplace(bytes, size);
    sqlite3_reset(m_tile);
    return data;
}

}  // namespace wing
