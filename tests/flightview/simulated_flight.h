#pragma once
// A simulated race flight as the logger would hold it, archived, with the loft where it
// ends: the download the flight window opens in the tests.

#include <optional>

#include "archive/download_archive.h"
#include "flight/flight_analysis.h"
#include "logger-sim/flight_log.h"

namespace wing::test {

struct Flight {
    ArchivedDownload download;
    GeoPoint loft;
};

inline Flight SimulatedFlight(bool zeroFix = false) {
    sim::FlightSpec spec;
    spec.seed = 7;
    spec.distanceKm = 60;
    spec.zeroFix = zeroFix;
    Flight f;
    f.download.serial = L"WG1507A0042";
    f.download.firmware = L"V 1.2.3.4";
    f.download.downloadedUtc = 1430500000;
    for (const auto& slot : sim::GenerateFlightLog(spec)) f.download.rawSlots.push_back(slot);
    const CLogRecordList records = RecordsOf(f.download);
    for (auto it = records.rbegin(); it != records.rend(); ++it)
        if (it->kind == 0 && it->IsFix()) {
            f.loft = {it->LatitudeDegrees(), it->LongitudeDegrees()};
            break;
        }
    return f;
}

}  // namespace wing::test
