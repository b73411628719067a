#pragma once
// The comma-separated file of a whole download: every record, in list order.

#include <string>

#include "export/file_output.h"
#include "export/export_job.h"

namespace wing {

// The Windows name of the file: C:\GPSLog\[SN_]<first stamp>_<last stamp>.csv,
// stamps from the first and last fix before the final record.
std::wstring CsvFileName(const CExportJob& job);

// The file's bytes (8-bit text in the locale's code set, CR LF line ends).
std::string CsvContent(const CExportJob& job);

// Writes the file, replacing an earlier one of the same name; the failure when it
// could not be written. An empty list writes nothing.
std::optional<ExportFailure> WriteCsvFile(const CExportJob& job);

}  // namespace wing
