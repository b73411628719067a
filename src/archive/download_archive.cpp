#include "archive/download_archive.h"

#include <openssl/evp.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iomanip>
#include <map>
#include <sstream>
#include <system_error>

#include "export/export_job.h"
#include "export/save_worker.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagic = "WING-ARCHIVE 1";
constexpr std::size_t kMaxSlots = 2048;       // the logger's capacity
constexpr std::size_t kMaxHeaderBytes = 4096;  // far more than any real header
constexpr wchar_t kArchiveFolder[] = L"C:\\GPSLOG\\archive";

std::optional<std::int64_t> ParseIsoUtc(const std::string& text) {
    std::tm utc{};
    std::istringstream in(text);
    in >> std::get_time(&utc, "%Y-%m-%dT%H:%M:%SZ");
    if (in.fail()) return std::nullopt;
    return static_cast<std::int64_t>(timegm(&utc));
}

template <class T>
std::optional<T> ParseNumber(const std::string& text) {
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty()) return std::nullopt;
    return value;
}

std::string SlotBytes(const std::vector<LogSlot>& slots) {
    std::string out;
    out.reserve(slots.size() * LOG_SLOT_SIZE);
    for (const auto& slot : slots) out.append(reinterpret_cast<const char*>(slot.data()), slot.size());
    return out;
}

// A folder name for the serial number: safe as a file name, within the name limit
// (whatever the device sent), and never empty.
std::wstring SerialFolder(const std::wstring& serial) {
    const std::wstring name = SerialNamePart(serial, L"");
    return name.empty() ? std::wstring(L"no-serial") : name;
}

}  // namespace

std::string Sha256Hex(std::string_view data) {
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(data.data(), data.size(), digest, &length, EVP_sha256(), nullptr) != 1) return {};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string out;
    for (unsigned i = 0; i < length; ++i) {
        out += kHex[digest[i] >> 4];
        out += kHex[digest[i] & 0xF];
    }
    return out;
}

std::string CurrentTimeZone() { return TimeZone::Pc().Name(); }

std::string EncodeArchive(const ArchivedDownload& download) {
    const std::string slots = SlotBytes(download.rawSlots);
    std::string out;
    out += kMagic;
    out += "\nserial: " + ToUtf8(download.serial);
    out += "\nfirmware: " + ToUtf8(download.firmware);
    out += "\ncount: " + std::to_string(download.rawSlots.size());
    out += "\ndownloaded: " + IsoUtcText(download.downloadedUtc);
    out += "\ntimezone: " + download.timeZone;
    out += "\nutc-offset: " + std::to_string(download.utcOffsetSeconds);
    out += "\nlanguage: " + std::to_string(download.langId);
    out += "\nsha256: " + Sha256Hex(slots);
    out += "\n\n";
    out += slots;
    return out;
}

std::variant<ArchivedDownload, std::string> DecodeArchive(std::string_view bytes) {
    const auto headerEnd = bytes.substr(0, kMaxHeaderBytes).find("\n\n");
    if (bytes.substr(0, kMagic.size()) != kMagic) return std::string("not an archive (no WING-ARCHIVE 1 line)");
    if (headerEnd == std::string_view::npos) return std::string("truncated: the header has no end");
    std::map<std::string, std::string> fields;
    std::istringstream header{std::string(bytes.substr(0, headerEnd))};
    std::string line;
    std::getline(header, line);  // the magic line
    while (std::getline(header, line)) {
        const auto colon = line.find(": ");
        if (colon == std::string::npos) {
            if (!line.empty() && line.back() == ':') fields[line.substr(0, line.size() - 1)] = "";
            continue;
        }
        fields[line.substr(0, colon)] = line.substr(colon + 2);
    }
    for (const char* key : {"serial", "firmware", "count", "downloaded", "timezone", "utc-offset", "language", "sha256"})
        if (!fields.count(key)) return std::string("the header has no ") + key;

    ArchivedDownload d;
    d.serial = FromUtf8(fields["serial"]);
    d.firmware = FromUtf8(fields["firmware"]);
    d.timeZone = fields["timezone"];
    const auto count = ParseNumber<std::size_t>(fields["count"]);
    const auto downloaded = ParseIsoUtc(fields["downloaded"]);
    const auto offset = ParseNumber<std::int32_t>(fields["utc-offset"]);
    const auto lang = ParseNumber<unsigned>(fields["language"]);
    if (!count || *count > kMaxSlots) return std::string("the count is not a number of records the logger holds");
    if (!downloaded) return std::string("the download time is not a UTC time");
    if (!offset || !lang) return std::string("the offset or the language is not a number");
    d.downloadedUtc = *downloaded;
    d.utcOffsetSeconds = *offset;
    d.langId = *lang;

    const std::string_view slots = bytes.substr(headerEnd + 2);
    const std::size_t expected = *count * LOG_SLOT_SIZE;
    if (slots.size() < expected)
        return "truncated: " + std::to_string(slots.size()) + " of " + std::to_string(expected) + " slot bytes";
    if (slots.size() > expected) return std::string("bytes after the last slot");
    if (Sha256Hex(slots) != fields["sha256"]) return std::string("the slots do not match their SHA-256");
    d.rawSlots.resize(*count);
    for (std::size_t i = 0; i < *count; ++i)
        std::memcpy(d.rawSlots[i].data(), slots.data() + i * LOG_SLOT_SIZE, LOG_SLOT_SIZE);
    return d;
}

std::variant<ArchivedDownload, std::string> ReadArchive(const fs::path& path) {
    std::error_code ec;
    const auto size = fs::file_size(path, ec);
    if (ec) return ec.message();
    // Nothing bigger than a full log and its header can be an archive.
    if (size > kMaxHeaderBytes + kMaxSlots * LOG_SLOT_SIZE) return std::string("too large to be an archive");
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::string(std::strerror(errno));
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    return DecodeArchive(bytes);
}

fs::path ArchiveRoot() { return ResolveDrivePath(kArchiveFolder); }

std::variant<fs::path, ExportFailure> WriteArchive(const ArchivedDownload& download) {
    const fs::path root = ArchiveRoot();
    if (root.empty()) return ExportFailure{kArchiveFolder, FromLocale8(std::strerror(ENOENT))};
    const fs::path dir = root / ToLocale8(SerialFolder(download.serial));
    std::error_code ec;
    fs::create_directories(dir, ec);
    std::error_code checkEc;
    if (!fs::is_directory(dir, checkEc)) {
        const std::error_code& why = ec ? ec : checkEc;
        return ExportFailure{FromLocale8(dir.string()), FromLocale8(why ? why.message() : std::strerror(ENOTDIR))};
    }
    RemoveStaleTempFiles(dir);
    // The UTC time names the file; a second download within the same second gets a number.
    std::string stamp = IsoUtcText(download.downloadedUtc);
    stamp.erase(std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == '-' || c == ':'; }), stamp.end());
    fs::path target = dir / (stamp + ".wing");
    for (int n = 2; fs::exists(target, ec); ++n) target = dir / (stamp + "_" + std::to_string(n) + ".wing");
    std::string why;
    if (!ReplaceFileContents(target, EncodeArchive(download), &why))
        return ExportFailure{FromLocale8(target.string()), FromLocale8(why)};
    return target;
}

ArchiveListing ListArchives(const fs::path& root) {
    ArchiveListing listing;
    std::error_code ec;
    for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        std::error_code fileEc;
        const fs::path& path = it->path();
        // Our temporary files start with a dot; anything else that is not .wing is not ours.
        if (!it->is_regular_file(fileEc) || path.extension() != ".wing" || path.filename().string()[0] == '.')
            continue;
        auto read = ReadArchive(path);
        if (auto* problem = std::get_if<std::string>(&read)) {
            listing.problems.push_back({path, *problem});
            continue;
        }
        const auto& d = std::get<ArchivedDownload>(read);
        listing.entries.push_back({path, d.serial, d.downloadedUtc, d.rawSlots.size()});
    }
    std::stable_sort(listing.entries.begin(), listing.entries.end(),
                     [](const ArchiveEntry& a, const ArchiveEntry& b) { return a.downloadedUtc > b.downloadedUtc; });
    return listing;
}

CLogRecordList RecordsOf(const ArchivedDownload& download) {
    CLogRecordList records;
    const std::size_t count = download.rawSlots.size();
    for (std::size_t first = 0; first < count; first += 8) {
        std::array<std::uint8_t, LOG_PAGE_SIZE> page;
        page.fill(0xFF);  // past the count nothing is read, whatever the page held there
        for (std::size_t k = 0; k < 8 && first + k < count; ++k)
            std::copy(download.rawSlots[first + k].begin(), download.rawSlots[first + k].end(), page.begin() + k * 16);
        DecodeLogPage(page, first, records, count);
    }
    return records;
}

std::variant<TimeZone, std::string> ArchiveZone(const ArchivedDownload& download) {
    if (download.timeZone.empty()) return TimeZone::Pc();
    if (auto zone = TimeZone::Named(download.timeZone)) return *zone;
    return "the time zone \"" + download.timeZone + "\" is not one this system knows (tzdata)";
}

std::vector<ExportFailure> ExportArchive(const ArchivedDownload& download, std::optional<ExportFormats> formats) {
    const auto zone = ArchiveZone(download);
    // Files in another zone would be other files: none is written.
    if (const auto* why = std::get_if<std::string>(&zone)) return {ExportFailure{L"timezone: " + FromUtf8(download.timeZone), FromUtf8(*why)}};
    const CLogRecordList records = RecordsOf(download);
    return SaveFiles(CExportJob{records, download.serial, download.firmware, download.langId, formats,
                                std::get<TimeZone>(zone)});
}

}  // namespace wing
