#pragma once
// An MBTiles file (SQLite, MBTiles 1.3): raster tiles in the `tiles` table, rows in TMS
// order, and the `metadata` table's bounds, zoom range and format. Opened read-only; one
// thread at a time uses an open file.

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <variant>

#include "map/tiles.h"

struct sqlite3;
struct sqlite3_stmt;

namespace wing {

struct MbTilesBounds {
    double west = -180;
    double south = -85.05112877980659;
    double east = 180;
    double north = 85.05112877980659;
};

struct MbTilesInfo {
    std::string format;  // png, jpg, or empty when the file does not say
    int minZoom = 0;
    int maxZoom = kMaxTileZoom;
    MbTilesBounds bounds;
};

class MbTilesFile {
public:
    // The file, or one line saying why it cannot serve tiles (not SQLite, no tiles table,
    // a vector format, a bounds or zoom value that does not read).
    static std::variant<std::unique_ptr<MbTilesFile>, std::string> Open(const std::filesystem::path& path);
    ~MbTilesFile();
    MbTilesFile(const MbTilesFile&) = delete;
    MbTilesFile& operator=(const MbTilesFile&) = delete;

    const MbTilesInfo& Info() const { return m_info; }
    const std::filesystem::path& Path() const { return m_path; }
    // True when the tile lies within the file's zoom range and touches its bounds.
    bool Covers(const TileId& tile) const;
    // The tile's image bytes (z/x/y numbered as XYZ servers do); nothing when the file does
    // not hold it or cannot be read.
    std::optional<std::string> Tile(const TileId& tile);

private:
    MbTilesFile() = default;
    std::filesystem::path m_path;
    MbTilesInfo m_info;
    sqlite3* m_db = nullptr;
    sqlite3_stmt* m_tile = nullptr;
};

}  // namespace wing
