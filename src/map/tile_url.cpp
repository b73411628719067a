#include "map/tile_url.h"

#include <array>
#include <cctype>

namespace wing {
namespace {

constexpr std::array<std::string_view, 4> kPlaceholders = {"{z}", "{x}", "{y}", "{s}"};

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(text[i])) != prefix[i]) return false;
    return true;
}

// The part after "http://" or "https://"; nothing for any other scheme.
std::optional<std::string_view> AfterScheme(std::string_view url) {
    for (std::string_view scheme : {"http://", "https://"})
        if (StartsWithIgnoringCase(url, scheme)) return url.substr(scheme.size());
    return std::nullopt;
}

// How often each placeholder occurs, and whether any brace lies outside them.
struct Braces {
    std::array<int, kPlaceholders.size()> counts{};
    bool stray = false;
};

Braces CountBraces(std::string_view url) {
    Braces out;
    for (std::size_t i = 0; i < url.size(); ++i) {
        if (url[i] == '}') {
            out.stray = true;
        } else if (url[i] == '{') {
            std::size_t k = 0;
            while (k < kPlaceholders.size() && url.substr(i, 3) != kPlaceholders[k]) ++k;
            if (k == kPlaceholders.size()) {
                out.stray = true;
            } else {
                ++out.counts[k];
                i += 2;
            }
        }
    }
    return out;
}

}  // namespace

TileUrlFault FindTileUrlFault(std::string_view url) {
    const auto rest = AfterScheme(url);
    if (!rest || rest->empty() || rest->front() == '/' || rest->front() == '?' || rest->front() == '#')
        return TileUrlFault::NotHttp;
    for (char c : url)
        if (static_cast<unsigned char>(c) <= ' ' || c == '\x7f') return TileUrlFault::Blank;
    // A misspelt placeholder ({zoom}) is named as such rather than as a missing {z}.
    const Braces braces = CountBraces(url);
    if (braces.stray) return TileUrlFault::OtherBraces;
    for (std::size_t k = 0; k < 3; ++k)
        if (braces.counts[k] != 1) return TileUrlFault::Placeholders;
    if (braces.counts[3] > 1) return TileUrlFault::Placeholders;
    return TileUrlFault::None;
}

std::string TileUrlProblem(std::string_view url) {
    switch (FindTileUrlFault(url)) {
    case TileUrlFault::None:
        return {};
    case TileUrlFault::NotHttp:
        return "the tile address must start with http:// or https:// and a server name";
    case TileUrlFault::Blank:
        return "the tile address holds a blank or a control character";
    case TileUrlFault::OtherBraces:
        return "the tile address holds braces other than {z}, {x}, {y} and {s}";
    case TileUrlFault::Placeholders:
        break;
    }
    const Braces braces = CountBraces(url);
    std::size_t k = 0;
    while (k < 3 && braces.counts[k] == 1) ++k;
    const std::string name(kPlaceholders[k]);  // {s} when {z} {x} {y} are each there once
    return braces.counts[k] == 0 ? "the tile address lacks " + name : "the tile address holds " + name + " more than once";
}

}  // namespace wing
