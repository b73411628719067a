#pragma once
// A position as the fancier types it (the loft, a release point), and back to text.

#include <optional>
#include <string>
#include <string_view>

namespace wing {

// Decimal degrees on WGS84, north and east positive.
struct GeoPoint {
    double lat = 0;
    double lon = 0;
    bool operator==(const GeoPoint&) const = default;
};

// True when the latitude lies in [-90, 90] and the longitude in [-180, 180].
bool IsValidPoint(const GeoPoint& point);

// Reads one position typed in any of the ways fanciers write it:
//   decimal degrees            "24.123456, 120.654321", "-33.9 151.2"
//   degrees, minutes, seconds  "24°07'24.4\"N 120°39'15.6\"E", "24d7m24.4sN 120d39m15.6sE",
//                              "24 7 24.4 N 120 39 15.6 E"
//   degrees, decimal minutes   "N24 07.407 E120 39.260", "24°07.407'N, 120°39.260'E"
// Latitude comes first unless the hemisphere letters say otherwise; a sign and a
// hemisphere letter together are refused, as are minutes or seconds of 60 or more and
// anything outside the globe. A lower-case 's' right after a number marks seconds;
// anywhere else it is south.
std::optional<GeoPoint> ParseCoordinates(std::string_view text);

// "lat, lon" in decimal degrees with six places (about 0.1 m), which ParseCoordinates
// reads back.
std::string FormatCoordinates(const GeoPoint& point);

}  // namespace wing
