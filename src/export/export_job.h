#pragma once
// What the export run and its writers read: the downloaded records and the
// texts of the logger they came from.

#include <string>

#include "log/log_record.h"

namespace wing {

struct CExportJob {
    const CLogRecordList& records;
    std::wstring snText;  // serial number; empty when none was read
    std::wstring versionText;  // firmware version ("V 1.0.2.3"); empty when none was read
    unsigned langId = 0;  // interface language: 2052 writes points scripts, others KML
};

}  // namespace wing
