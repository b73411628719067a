#include <gtest/gtest.h>

#include <string>

#include "flight/coordinates.h"

namespace wing {
namespace {

struct Accepted {
    const char* text;
    double lat;
    double lon;
};

// 24°07'24.4" = 24 + 7/60 + 24.4/3600, 120°39'15.6" = 120 + 39/60 + 15.6/3600,
// 07.407' = 7.407/60, 39.260' = 39.26/60.
constexpr double kDmsLat = 24.123444444444445;
constexpr double kDmsLon = 120.65433333333333;
constexpr double kDmLat = 24.12345;
constexpr double kDmLon = 120.65433333333333;

TEST(ParseCoordinates, ReadsEveryWayAPositionIsWritten) {
    const Accepted cases[] = {
        {"24.123456, 120.654321", 24.123456, 120.654321},
        {"-33.9 151.2", -33.9, 151.2},
        {"  24.5 ;\t120.5  ", 24.5, 120.5},
        {"+24.5 -120.5", 24.5, -120.5},
        {"24°07'24.4\"N 120°39'15.6\"E", kDmsLat, kDmsLon},
        {"24°07′24.4″N 120°39′15.6″E", kDmsLat, kDmsLon},
        {"24º07'24.4''N, 120º39'15.6''E", kDmsLat, kDmsLon},
        {"24d7m24.4sN 120d39m15.6sE", kDmsLat, kDmsLon},
        {"24 7 24.4 N 120 39 15.6 E", kDmsLat, kDmsLon},
        {"24°07'24.4\" 120°39'15.6\"", kDmsLat, kDmsLon},
        {"N24 07.407 E120 39.260", kDmLat, kDmLon},
        {"24°07.407'N, 120°39.260'E", kDmLat, kDmLon},
        {"24 07.407, 120 39.260", kDmLat, kDmLon},
        {"33°54'S 151°12'E", -33.9, 151.2},
        {"S33 54 W151 12", -33.9, -151.2},
        {"33.9 s 151.2 w", -33.9, -151.2},  // 's' after a blank is south
        {"E120.5 N24.25", 24.25, 120.5},    // the letters say which is which
        {"-0 30, 10", -0.5, 10},            // the sign of a zero degree still counts
        {"90, 180", 90, 180},
        {"-90 -180", -90, -180},
    };
    for (const Accepted& c : cases) {
        SCOPED_TRACE(c.text);
        const std::optional<GeoPoint> p = ParseCoordinates(c.text);
        ASSERT_TRUE(p.has_value());
        EXPECT_NEAR(p->lat, c.lat, 1e-12);
        EXPECT_NEAR(p->lon, c.lon, 1e-12);
    }
}

TEST(ParseCoordinates, RefusesWhatIsNotOnePosition) {
    const char* cases[] = {
        "",
        "   ",
        "loft",
        "24.5",                         // one number
        "24.5 120.5 3",                 // odd count of bare numbers
        "24.5, 120.5, 3",               // two separators
        "24,5 120,5",                   // decimal commas
        "24.5.1 120",
        ". 120",
        "91, 0",
        "0, 180.5",
        "90 30 N 0 0 E",                // past the pole
        "24 60 0 N 120 0 0 E",          // minutes of 60
        "24 7 60 N 120 0 0 E",          // seconds of 60
        "24 7.5 24 N 120 0 0 E",        // a fraction before the last number
        "24.5 7 N 120 1 E",
        "24 -7 120 7",                  // signed minutes
        "-24.5N 120.5E",                // a sign and a letter
        "24.5N 120.5N",                 // two latitudes
        "24.5N 120.5",                  // a letter on one side only
        "N24.5 120.5 E",                // letters on different sides
        "24'07 120'39",                 // marks out of order
        "24°07°N 120°39'E",
        "°24 120",
        "1e5 2",
        "24.5 120.5 x",
        "24.5\xC2 120.5",               // a broken UTF-8 sequence
        "24 7 24 1 N 120 39 15 E",      // four numbers in one coordinate
    };
    for (const char* c : cases) {
        SCOPED_TRACE(c);
        EXPECT_FALSE(ParseCoordinates(c).has_value());
    }
}

TEST(FormatCoordinates, SixPlacesThatReadBack) {
    EXPECT_EQ(FormatCoordinates({24.1234564, 120.6543216}), "24.123456, 120.654322");
    EXPECT_EQ(FormatCoordinates({-33.9, -151.2}), "-33.900000, -151.200000");
    EXPECT_EQ(FormatCoordinates({-0.0000001, 0}), "0.000000, 0.000000");

    const GeoPoint p{-12.3456789, 178.9876543};
    const std::optional<GeoPoint> back = ParseCoordinates(FormatCoordinates(p));
    ASSERT_TRUE(back.has_value());
    EXPECT_NEAR(back->lat, p.lat, 5e-7);
    EXPECT_NEAR(back->lon, p.lon, 5e-7);
}

}  // namespace
}  // namespace wing
