#pragma once
// A made-up track as the simulated logger holds it: one position slot per record, with
// a fixed speed, altitude and satellite count, so a race test can fly it and read it back.

#include <vector>

#include "log/log_record.h"
#include "logger-sim/logger_sim.h"

namespace wing::test {

inline std::vector<sim::LogSlot> SlotsOf(const CLogRecordList& records) {
    std::vector<sim::LogSlot> slots;
    slots.reserve(records.size());
    for (const CLogRecord& r : records)
        slots.push_back(sim::PositionSlot(r.time, r.LatitudeDegrees(), r.LongitudeDegrees(), 70, 0, 150));
    return slots;
}

}  // namespace wing::test
