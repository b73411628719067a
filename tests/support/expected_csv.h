#pragma once
// What a download must save, computed from the simulator's own log, record by record.

#include <array>
#include <string>
#include <vector>

#include "export/csv_writer.h"
#include "log/log_record.h"
#include "logger-sim/logger_sim.h"

namespace wing::test {

// The records a download of `slots` (the logger's whole log, its count the number of
// slots) must give: the pages decoded as the logger holds them.
inline CLogRecordList ExpectedRecords(const std::vector<sim::LogSlot>& slots) {
    CLogRecordList records;
    for (std::size_t first = 0; first < slots.size(); first += 8) {
        std::array<std::uint8_t, LOG_PAGE_SIZE> page;
        page.fill(0xFF);  // past the stored slots the flash reads erased
        for (std::size_t k = 0; k < 8 && first + k < slots.size(); ++k)
            std::copy(slots[first + k].begin(), slots[first + k].end(), page.begin() + k * 16);
        DecodeLogPage(page, first, records, slots.size());
    }
    return records;
}

// The CSV such a download must produce, record for record.
inline std::string ExpectedCsv(const std::vector<sim::LogSlot>& slots, const std::wstring& sn,
                               const std::wstring& version, unsigned langId) {
    const CLogRecordList records = ExpectedRecords(slots);
    return CsvContent(CExportJob{records, sn, version, langId});
}

}  // namespace wing::test
