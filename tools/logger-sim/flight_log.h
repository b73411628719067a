#pragma once
// The logger's stored track: 16-byte slots (position and satellite slots) generated
// as a realistic race flight from a seed.

#include <array>
#include <cstdint>
#include <vector>

namespace wing::sim {

constexpr int kLogCapacity = 2048;  // slots of flash
using LogSlot = std::array<std::uint8_t, 16>;

struct FlightSpec {
    std::uint32_t seed = 1;
    int recordMode = -1;         // 0-3: chooses the interval (RecordIntervalSeconds);
                                 // -1: the simulated device's record mode
    std::uint32_t startTime = 0; // release, seconds since 1970 UTC; 0: 07:00 local time
                                 // (22:00 with crossMidnight) on a day in 2015 picked by the seed
    double distanceKm = 300;     // release point to loft
    int slots = 0;               // exactly this many slots (the bird sits in the loft after
                                 // arriving); 0: the flight and ten slots in the loft
    int satelliteEvery = 4;      // a satellite slot after every N position slots; 0: none
    double nonFixPercent = 3;    // position slots without a fix (status byte not 0)
    bool crossMidnight = false;  // release late in the evening, so the track spans two local days
    bool zeroFix = false;        // one fix at latitude 0, longitude 0, a third into the flight
};

// Seconds between position slots: mode 0 every 30 s, mode 1 every 3 minutes, mode 2
// every 30 s for the first hour and every 3 minutes after it, mode 3 (racing) every 10 s;
// any other value as mode 0.
int RecordIntervalSeconds(int recordMode, std::uint32_t secondsSinceStart);

// Degrees to the packed form degrees x 1,000,000 + minutes x 10,000 and back.
std::int32_t PackCoordinate(double degrees);
double UnpackCoordinate(std::int32_t packed);

// At most kLogCapacity slots, in time order.
std::vector<LogSlot> GenerateFlightLog(const FlightSpec& spec);

// Fields of a position slot, for building explicit logs.
LogSlot PositionSlot(std::uint32_t time, double latitude, double longitude, std::uint8_t speedKmh,
                     std::uint8_t status, std::uint16_t altitude);
// A satellite slot: twelve 6-bit signal values (CN10 doubles as the status byte).
LogSlot SatelliteSlot(std::uint32_t time, const std::array<std::uint8_t, 12>& cn);

}  // namespace wing::sim
