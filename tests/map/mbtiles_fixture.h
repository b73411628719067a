#pragma once
// Writes an MBTiles file with SQLite for the tests: any metadata, and tiles given by their
// XYZ numbers (stored under the TMS row, as the format wants).

#include <sqlite3.h>

#include <filesystem>
#include <map>
#include <stdexcept>
#include <string>

#include "map/tiles.h"

namespace wing::test {

struct MbTilesFixture {
    std::map<std::string, std::string> metadata;
    std::map<TileId, std::string> tiles;  // XYZ numbering
    bool withTilesTable = true;

    void Write(const std::filesystem::path& path) const {
        std::filesystem::remove(path);
        sqlite3* db = nullptr;
        if (sqlite3_open(path.c_str(), &db) != SQLITE_OK) throw std::runtime_error("open " + path.string());
        auto exec = [db](const char* sql) {
            if (sqlite3_exec(db, sql, nullptr, nullptr, nullptr) != SQLITE_OK) throw std::runtime_error(sqlite3_errmsg(db));
        };
        exec("CREATE TABLE metadata (name TEXT, value TEXT)");
        if (withTilesTable)
            exec("CREATE TABLE tiles (zoom_level INTEGER, tile_column INTEGER, tile_row INTEGER, tile_data BLOB)");
        sqlite3_stmt* put = nullptr;
        sqlite3_prepare_v2(db, "INSERT INTO metadata VALUES (?1, ?2)", -1, &put, nullptr);
        for (const auto& [name, value] : metadata) {
            sqlite3_bind_text(put, 1, name.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_text(put, 2, value.c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_step(put);
            sqlite3_reset(put);
        }
        sqlite3_finalize(put);
        if (withTilesTable) {
            sqlite3_prepare_v2(db, "INSERT INTO tiles VALUES (?1, ?2, ?3, ?4)", -1, &put, nullptr);
            for (const auto& [tile, data] : tiles) {
                sqlite3_bind_int(put, 1, tile.z);
                sqlite3_bind_int(put, 2, tile.x);
                sqlite3_bind_int(put, 3, TmsRow(tile));
                sqlite3_bind_blob(put, 4, data.data(), static_cast<int>(data.size()), SQLITE_TRANSIENT);
                sqlite3_step(put);
                sqlite3_reset(put);
            }
            sqlite3_finalize(put);
        }
        sqlite3_close(db);
    }
};

}  // namespace wing::test
