#pragma once
// Every download as it came from the logger, kept before any export is written, so the
// files can be made again and a flight looked at later.
//
// One file per download: <log folder>/archive/<serial>/<UTC time>.wing. A text header
// of "key: value" lines ends with an empty line; the 16-byte slots follow, exactly as
// the pages brought them, up to the count the logger reported:
//
//   WING-ARCHIVE 2
//   serial: WG1507A0042          (UTF-8, escaped; empty when the logger has none)
//   firmware: V 1.2.3.4          (UTF-8, escaped; empty when it was not read)
//   count: 580                   (records the logger reported = slots that follow, at most 2048)
//   downloaded: 2026-12-10T22:22:16Z
//   timezone: Europe/Berlin      (the zone the exports were made in; empty: the machine's)
//   utc-offset: 3600             (seconds east of UTC at the download)
//   language: 1033               (interface language: decides the files written)
//   sha256: <64 hex digits of the slot bytes>
//   header-sha256: <64 hex digits of every header byte before this line>
//
// The serial number and the firmware are whatever the logger sent: a backslash becomes
// "\\", and a control character, or a value that is no Unicode character, "\u{<hex>}",
// so that each reads back exactly and stays on its line. Every field is read strictly
// (numbers as written, a whole date and time, a plausible zone name); a failure names the
// field. Version 1 (the same header without escapes and without header-sha256) is still read.
//
// The file is written completely under a temporary name and then takes its name only if no
// file has it (a second download of the same second takes the next number), read back, and
// compared with the download before it counts as written. The folders below the log folder
// are never followed through symbolic links: such a link is refused, and named.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "export/export_job.h"
#include "export/file_output.h"
#include "log/log_record.h"
#include "platform/time_zone.h"

namespace wing {

using LogSlot = std::array<std::uint8_t, LOG_SLOT_SIZE>;

struct ArchivedDownload {
    std::wstring serial;
    std::wstring firmware;
    std::int64_t downloadedUtc = 0;  // seconds since 1970
    std::string timeZone;            // a TZ value; empty: the machine's own
    std::int32_t utcOffsetSeconds = 0;
    unsigned langId = 1033;
    std::vector<LogSlot> rawSlots;  // as received; their number is the reported count

    bool operator==(const ArchivedDownload&) const = default;
};

// A file that could not be read as an archive, and why.
struct ArchiveProblem {
    std::filesystem::path path;
    std::string reason;
};

struct ArchiveEntry {
    std::filesystem::path path;
    std::wstring serial;
    std::int64_t downloadedUtc = 0;
    std::size_t count = 0;
};

// Every archive under a folder, newest first, and every file there that is not one (or
// symbolic link, which is not followed).
struct ArchiveListing {
    std::vector<ArchiveEntry> entries;
    std::vector<ArchiveProblem> problems;
};

std::string EncodeArchive(const ArchivedDownload& download);
// The download, or the reason the bytes are not a whole, unaltered archive.
std::variant<ArchivedDownload, std::string> DecodeArchive(std::string_view bytes);
std::variant<ArchivedDownload, std::string> ReadArchive(const std::filesystem::path& path);

// The archive folder under the log folder (resolved; empty when the drive is not there).
std::filesystem::path ArchiveRoot();
// Writes the download's archive under ArchiveRoot(); the file's path once it reads back
// as the download, or the failure.
std::variant<std::filesystem::path, ExportFailure> WriteArchive(const ArchivedDownload& download);
ArchiveListing ListArchives(const std::filesystem::path& root);

// The records the download gave, decoded as on the day.
CLogRecordList RecordsOf(const ArchivedDownload& download);
// The zone the download's local times are in: the one it names, or the PC's own when it
// names none. The reason when this system does not know the zone it names.
std::variant<TimeZone, std::string> ArchiveZone(const ArchivedDownload& download);
// The export files of the download again, with the time zone and language of the day;
// the files not in place. `formats` chooses the files (empty: those the language of the
// day chose). A zone this system does not know writes nothing and is the one failure.
std::vector<ExportFailure> ExportArchive(const ArchivedDownload& download,
                                         std::optional<ExportFormats> formats = std::nullopt);

// The name of the PC's own zone (TimeZone::Pc), as an archive keeps it.
std::string CurrentTimeZone();
// Hex SHA-256 of `data`.
std::string Sha256Hex(std::string_view data);

}  // namespace wing
