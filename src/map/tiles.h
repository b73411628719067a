#pragma once
// Tile addressing: z/x/y as XYZ servers number tiles (row 0 at the north), the TMS row
// order of MBTiles files (row 0 at the south), and a tile's URL from its source's template.

#include <compare>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace wing {

inline constexpr int kMaxTileZoom = 19;
inline constexpr int kTilePixels = 256;

struct TileId {
    int z = 0;
    int x = 0;
    int y = 0;
    auto operator<=>(const TileId&) const = default;
};

// True when the tile exists: z in 0..kMaxTileZoom, x and y in 0..2^z-1.
bool IsValidTile(const TileId& tile);

// The row as TMS counts it (from the south), which is also the way back.
int TmsRow(const TileId& tile);

// The tile `levels` zoom levels up that holds this one (levels <= z).
TileId Ancestor(const TileId& tile, int levels);

// One number per tile, for hash keys.
std::uint64_t TileKey(const TileId& tile);

// The tile's URL: {z}, {x}, {y} replaced by its numbers, {s} by one of the subdomains a, b,
// c (always the same one for a tile, so a cached tile is found under the same URL).
std::string ExpandTileUrl(std::string_view urlTemplate, const TileId& tile);

}  // namespace wing
