#include "map/tiles.h"

namespace wing {

bool IsValidTile(const TileId& tile) {
    if (tile.z < 0 || tile.z > kMaxTileZoom) return false;
    const int n = 1 << tile.z;
    return tile.x >= 0 && tile.x < n && tile.y >= 0 && tile.y < n;
}

int TmsRow(const TileId& tile) { return (1 << tile.z) - 1 - tile.y; }

TileId Ancestor(const TileId& tile, int levels) {
    return {tile.z - levels, tile.x >> levels, tile.y >> levels};
}

std::uint64_t TileKey(const TileId& tile) {
    return (static_cast<std::uint64_t>(tile.z) << 48) | (static_cast<std::uint64_t>(tile.x) << 24) |
           static_cast<std::uint64_t>(tile.y);
}

std::string ExpandTileUrl(std::string_view urlTemplate, const TileId& tile) {
    static constexpr const char* kSubdomains[] = {"a", "b", "c"};
    std::string url;
    url.reserve(urlTemplate.size() + 16);
    for (std::size_t i = 0; i < urlTemplate.size();) {
        const std::string_view rest = urlTemplate.substr(i);
        auto take = [&](std::string_view name, const std::string& value) {
            if (!rest.starts_with(name)) return false;
            url += value;
            i += name.size();
            return true;
        };
        if (take("{z}", std::to_string(tile.z)) || take("{x}", std::to_string(tile.x)) ||
            take("{y}", std::to_string(tile.y)) || take("{s}", kSubdomains[(tile.x + tile.y) % 3]))
            continue;
        url += urlTemplate[i++];
    }
    return url;
}

}  // namespace wing
