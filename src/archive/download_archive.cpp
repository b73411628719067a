#include "archive/download_archive.h"

#include <date/date.h>
#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <system_error>

#include "export/export_job.h"
#include "export/save_worker.h"
#include "platform/locale.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace wing {
namespace {

namespace fs = std::filesystem;

constexpr std::string_view kMagicV1 = "WING-ARCHIVE 1";
constexpr std::string_view kMagicV2 = "WING-ARCHIVE 2";
constexpr std::string_view kMagicStem = "WING-ARCHIVE ";
constexpr std::size_t kMaxSlots = 2048;       // the logger's capacity
constexpr std::size_t kMaxHeaderBytes = 4096;  // far more than any real header
constexpr std::size_t kMaxZoneBytes = 255;
constexpr std::int32_t kMaxOffset = 86399;          // a UTC offset is less than a day
constexpr unsigned kMaxLangId = 0xFFFF;
constexpr wchar_t kArchiveFolder[] = L"C:\\GPSLOG\\archive";
constexpr char kLinkRefused[] =
    "a symbolic link: the archive is written only into folders that are really below the log folder";
constexpr char kLinkSkipped[] = "a symbolic link: not followed";

// The fields of the header, in the order they are written.
constexpr const char* kFields[] = {"serial",   "firmware",   "count",    "downloaded",
                                   "timezone", "utc-offset", "language", "sha256"};
constexpr std::string_view kHeaderSha = "header-sha256";

// Exactly "YYYY-MM-DDTHH:MM:SSZ", a real date and time from 1970 on.
std::optional<std::int64_t> ParseIsoUtc(std::string_view text) {
    constexpr std::string_view kShape = "dddd-dd-ddTdd:dd:ddZ";
    if (text.size() != kShape.size()) return std::nullopt;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
    }
    auto number = [&](std::size_t at, std::size_t n) {
        unsigned v = 0;
        for (std::size_t i = at; i < at + n; ++i) v = v * 10 + static_cast<unsigned>(text[i] - '0');
        return v;
    };
    const unsigned year = number(0, 4), month = number(5, 2), day = number(8, 2);
    const unsigned hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    const date::year_month_day ymd{date::year(static_cast<int>(year)), date::month(month), date::day(day)};
    if (year < 1970 || !ymd.ok() || hour > 23 || minute > 59 || second > 59) return std::nullopt;
    const auto days = date::sys_days(ymd).time_since_epoch().count();
    return static_cast<std::int64_t>(days) * 86400 + hour * 3600 + minute * 60 + second;
}

// A number only as this program writes it: no sign but a minus, no leading zeros, no blanks.
template <class T>
std::optional<T> ParseNumber(std::string_view text) {
    T value{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || std::to_string(value) != text) return std::nullopt;
    return value;
}

// A time-zone name as the tz database names zones ("Europe/Berlin", "Etc/GMT+8", "UTC"),
// or the rule text a TZ variable may hold ("CST-8", ":Asia/Taipei"): no blanks, no
// control or non-ASCII characters, no empty, "." or ".." part. Empty: the machine's own.
bool PlausibleZone(std::string_view zone) {
    if (zone.size() > kMaxZoneBytes) return false;
    for (char c : zone)
        if (!std::isalnum(static_cast<unsigned char>(c)) && std::strchr("/_+-.:,<>", c) == nullptr) return false;
    for (std::size_t start = 0; !zone.empty() && start <= zone.size();) {
        const std::size_t slash = std::min(zone.find('/', start), zone.size());
        const std::string_view part = zone.substr(start, slash - start);
        if (part.empty() || part == "." || part == "..") return false;
        start = slash + 1;
    }
    return true;
}

bool ScalarValue(std::uint32_t c) { return c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF); }

// Device text for one header line. A backslash, the control characters and what is not
// a Unicode character at all (a serial number is whatever the logger sent) become \\ and
// \u{hex}, so every text reads back exactly and never breaks its line.
std::string EscapeText(std::wstring_view text) {
    std::string out;
    for (wchar_t wc : text) {
        const auto c = static_cast<std::uint32_t>(wc);
        if (c == '\\') {
            out += "\\\\";
        } else if (c < 0x20 || c == 0x7F || !ScalarValue(c)) {
            char escape[16];
            std::snprintf(escape, sizeof escape, "\\u{%X}", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += ToUtf8(std::wstring_view(&wc, 1));
        }
    }
    return out;
}

// Text as EscapeText writes it; nothing for any other bytes.
std::optional<std::wstring> UnescapeText(std::string_view text) {
    std::wstring out;
    std::size_t i = 0;
    while (i < text.size()) {
        if (text[i] != '\\') {
            const std::size_t end = std::min(text.find('\\', i), text.size());
            const std::string_view run = text.substr(i, end - i);
            for (char c : run)
                if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return std::nullopt;
            const std::wstring wide = FromUtf8(run);
            if (ToUtf8(wide) != run) return std::nullopt;  // not UTF-8, or not as written
            out += wide;
            i = end;
        } else if (text.substr(i, 2) == "\\\\") {
            out += L'\\';
            i += 2;
        } else if (text.substr(i, 3) == "\\u{") {
            const std::size_t close = text.find('}', i + 3);
            if (close == std::string_view::npos || close == i + 3 || close - (i + 3) > 8) return std::nullopt;
            std::uint32_t c = 0;
            for (std::size_t k = i + 3; k < close; ++k) {
                const char h = text[k];
                if (!std::isxdigit(static_cast<unsigned char>(h))) return std::nullopt;
                c = c * 16 + static_cast<std::uint32_t>(h <= '9' ? h - '0' : (h | 0x20) - 'a' + 10);
            }
            out += static_cast<wchar_t>(c);
            i = close + 1;
        } else {
            return std::nullopt;
        }
    }
    return out;
}

// The zone is bytes, not text: each byte as the character of its value, so that whatever
// the bytes are they read back as they were (and are refused if they name no zone).
std::wstring BytesAsText(std::string_view bytes) {
    std::wstring out;
    for (char c : bytes) out += static_cast<wchar_t>(static_cast<unsigned char>(c));
    return out;
}

std::optional<std::string> TextAsBytes(std::wstring_view text) {
    std::string out;
    for (wchar_t c : text) {
        if (static_cast<std::uint32_t>(c) > 0xFF) return std::nullopt;
        out += static_cast<char>(c);
    }
    return out;
}

// The field's name and what is wrong with it, for the failure text.
std::string Wrong(std::string_view field, std::string_view what) {
    return std::string(field) + ": " + std::string(what);
}

// A header's name as text safe to show, whatever bytes it holds.
std::string Shown(std::string_view text) {
    std::string out;
    for (char c : text.substr(0, 40)) out += std::isprint(static_cast<unsigned char>(c)) ? c : '?';
    return out;
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
    out += kMagicV2;
    out += "\nserial: " + EscapeText(download.serial);
    out += "\nfirmware: " + EscapeText(download.firmware);
    out += "\ncount: " + std::to_string(download.rawSlots.size());
    out += "\ndownloaded: " + IsoUtcText(download.downloadedUtc);
    out += "\ntimezone: " + EscapeText(BytesAsText(download.timeZone));  // a zone name is written as it is
    out += "\nutc-offset: " + std::to_string(download.utcOffsetSeconds);
    out += "\nlanguage: " + std::to_string(download.langId);
    out += "\nsha256: " + Sha256Hex(slots);
    out += "\n";
    // The header's own checksum covers every byte before its line, the magic line too.
    out += std::string(kHeaderSha) + ": " + Sha256Hex(out);
    out += "\n\n";
    out += slots;
    return out;
}

namespace {

// The header's fields by name, each once, or why the header cannot be read.
struct HeaderFields {
    std::map<std::string, std::string_view, std::less<>> values;
    std::size_t lastLineStart = 0;  // where the last field's line begins
    std::string_view lastKey;
};

std::variant<HeaderFields, std::string> SplitHeader(std::string_view header, bool version2) {
    HeaderFields fields;
    const std::size_t magicEnd = header.find('\n');
    if (magicEnd == std::string_view::npos) return std::string("the header has no ") + kFields[0];
    std::size_t at = magicEnd + 1;
    for (int number = 2; at <= header.size(); ++number) {
        const std::size_t end = std::min(header.find('\n', at), header.size());
        const std::string_view line = header.substr(at, end - at);
        std::string_view key, value;
        if (const auto colon = line.find(": "); colon != std::string_view::npos) {
            key = line.substr(0, colon);
            value = line.substr(colon + 2);
        } else if (!line.empty() && line.back() == ':') {
            key = line.substr(0, line.size() - 1);  // an empty value, trailing blank gone
        } else {
            return "header line " + std::to_string(number) + " is not \"name: value\"";
        }
        if (!fields.values.emplace(std::string(key), value).second)
            return "the header has the field " + Shown(key) + " twice";
        fields.lastLineStart = at;
        fields.lastKey = key;
        at = end + 1;
    }
    // A missing field first: it says more than the unknown one that may stand in its place.
    for (const char* key : kFields)
        if (!fields.values.count(key)) return std::string("the header has no ") + key;
    for (const auto& [key, value] : fields.values)
        if (std::find(std::begin(kFields), std::end(kFields), key) == std::end(kFields) &&
            !(version2 && key == kHeaderSha))
            return "the header has an unknown field \"" + Shown(key) + "\"";
    if (version2 && fields.lastKey != kHeaderSha)
        return "the header has no " + std::string(kHeaderSha) + " as its last field";
    return fields;
}

}  // namespace

std::variant<ArchivedDownload, std::string> DecodeArchive(std::string_view bytes) {
    const std::string_view firstLine = bytes.substr(0, bytes.find('\n'));
    const bool version2 = firstLine == kMagicV2;
    if (!version2 && firstLine != kMagicV1) {
        if (firstLine.substr(0, kMagicStem.size()) == kMagicStem && firstLine.size() < 24)
            return "an archive format this program does not read (" + Shown(firstLine) + ")";
        return std::string("not an archive (no WING-ARCHIVE line)");
    }
    const auto headerEnd = bytes.substr(0, kMaxHeaderBytes).find("\n\n");
    if (headerEnd == std::string_view::npos) return std::string("truncated: the header has no end");
    const std::string_view header = bytes.substr(0, headerEnd);
    auto split = SplitHeader(header, version2);
    if (auto* why = std::get_if<std::string>(&split)) return *why;
    const auto& fields = std::get<HeaderFields>(split).values;
    auto field = [&](std::string_view key) { return fields.find(key)->second; };

    ArchivedDownload d;
    // Version 1 wrote the texts as they came; version 2 escapes what a line cannot hold.
    for (auto [key, text] : {std::pair{"serial", &d.serial}, std::pair{"firmware", &d.firmware}}) {
        auto value = version2 ? UnescapeText(field(key)) : std::optional<std::wstring>(FromUtf8(field(key)));
        if (!value || (!version2 && ToUtf8(*value) != field(key))) return Wrong(key, "not text as an archive holds it");
        *text = std::move(*value);
    }
    std::optional<std::string> zone(field("timezone"));
    if (version2) {
        const auto text = UnescapeText(*zone);
        zone = text ? TextAsBytes(*text) : std::nullopt;
    }
    if (!zone || !PlausibleZone(*zone)) return Wrong("timezone", "not the name of a time zone");
    d.timeZone = std::move(*zone);
    const auto count = ParseNumber<std::size_t>(field("count"));
    if (!count || *count > kMaxSlots) return Wrong("count", "not a number of records the logger holds (0 to 2048)");
    const auto downloaded = ParseIsoUtc(field("downloaded"));
    if (!downloaded) return Wrong("downloaded", "not a UTC time such as 2026-12-10T22:22:16Z");
    const auto offset = ParseNumber<std::int32_t>(field("utc-offset"));
    if (!offset || *offset < -kMaxOffset || *offset > kMaxOffset)
        return Wrong("utc-offset", "not a number of seconds east of UTC (less than a day)");
    const auto lang = ParseNumber<unsigned>(field("language"));
    if (!lang || *lang > kMaxLangId) return Wrong("language", "not a language id (0 to 65535)");
    d.downloadedUtc = *downloaded;
    d.utcOffsetSeconds = *offset;
    d.langId = *lang;
    if (version2) {
        const auto& split2 = std::get<HeaderFields>(split);
        if (Sha256Hex(header.substr(0, split2.lastLineStart)) != field(kHeaderSha))
            return Wrong(kHeaderSha, "the header does not match its SHA-256");
    }

    const std::string_view slots = bytes.substr(headerEnd + 2);
    const std::size_t expected = *count * LOG_SLOT_SIZE;
    if (slots.size() < expected)
        return "truncated: " + std::to_string(slots.size()) + " of " + std::to_string(expected) + " slot bytes";
    if (slots.size() > expected) return std::string("bytes after the last slot");
    if (Sha256Hex(slots) != field("sha256")) return Wrong("sha256", "the slots do not match their SHA-256");
    d.rawSlots.resize(*count);
    for (std::size_t i = 0; i < *count; ++i)
        std::memcpy(d.rawSlots[i].data(), slots.data() + i * LOG_SLOT_SIZE, LOG_SLOT_SIZE);
    return d;
}

namespace {

// The archive in the open file; only a regular file of an archive's size is read.
std::variant<ArchivedDownload, std::string> ReadArchiveFrom(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) return std::string(std::strerror(errno));
    if (!S_ISREG(st.st_mode)) return std::string("not a regular file");
    // Nothing bigger than a full log and its header can be an archive.
    constexpr std::size_t kMaxBytes = kMaxHeaderBytes + kMaxSlots * LOG_SLOT_SIZE;
    if (static_cast<std::uint64_t>(st.st_size) > kMaxBytes) return std::string("too large to be an archive");
    std::string bytes(kMaxBytes + 1, '\0');
    std::size_t have = 0;
    while (have < bytes.size()) {
        const ssize_t n = ::read(fd, bytes.data() + have, bytes.size() - have);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::string(std::strerror(errno));
        if (n == 0) break;
        have += static_cast<std::size_t>(n);
    }
    if (have > kMaxBytes) return std::string("too large to be an archive");
    bytes.resize(have);
    return DecodeArchive(bytes);
}

}  // namespace

std::variant<ArchivedDownload, std::string> ReadArchive(const fs::path& path) {
    // Non-blocking, so that a FIFO given by name cannot hang the read; fstat refuses it.
    const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd) return std::string(std::strerror(errno));
    return ReadArchiveFrom(fd.Get());
}

fs::path ArchiveRoot() { return ResolveDrivePath(kArchiveFolder); }

namespace {

ExportFailure Failure(const fs::path& path, const std::string& why) {
    return ExportFailure{FromLocale8(path.string()), FromLocale8(why)};
}

// The folder `name` inside the open folder `parentFd`, made when missing, never through a
// symbolic link: the archive stays below the log folder, where the listing looks for it.
std::variant<UniqueFd, std::string> OpenOwnFolder(int parentFd, const std::string& name) {
    if (::mkdirat(parentFd, name.c_str(), 0777) != 0 && errno != EEXIST) return std::string(std::strerror(errno));
    UniqueFd fd(::openat(parentFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (fd) return fd;
    const int error = errno;
    struct stat st {};
    if (::fstatat(parentFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode))
        return std::string(kLinkRefused);
    return std::string(std::strerror(error));
}

// The file name of a download: its UTC time; a second download within the same second
// gets a number.
std::string ArchiveName(std::int64_t downloadedUtc, int n) {
    std::string stamp = IsoUtcText(downloadedUtc);
    stamp.erase(std::remove_if(stamp.begin(), stamp.end(), [](char c) { return c == '-' || c == ':'; }), stamp.end());
    return n == 1 ? stamp + ".wing" : stamp + "_" + std::to_string(n) + ".wing";
}

// What the file now holds is the download, or why it is not.
std::optional<std::string> CheckWritten(int dirFd, const std::string& name, const ArchivedDownload& download) {
    const UniqueFd fd(::openat(dirFd, name.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!fd) return std::string("cannot be read back: ") + std::strerror(errno);
    auto back = ReadArchiveFrom(fd.Get());
    if (const auto* why = std::get_if<std::string>(&back)) return "does not read back: " + *why;
    if (std::get<ArchivedDownload>(back) != download) return std::string("reads back different from the download");
    return std::nullopt;
}

}  // namespace

std::variant<fs::path, ExportFailure> WriteArchive(const ArchivedDownload& download) {
    const fs::path root = ArchiveRoot();
    if (root.empty()) return ExportFailure{kArchiveFolder, FromLocale8(std::strerror(ENOENT))};
    // The log folder is wherever the user chose, through links if need be; below it, every
    // folder is opened by its descriptor and never through a link.
    const fs::path logFolder = root.parent_path();
    std::error_code ec;
    fs::create_directories(logFolder, ec);
    const UniqueFd log(::open(logFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!log) return Failure(logFolder, std::strerror(errno));
    auto archive = OpenOwnFolder(log.Get(), root.filename().string());
    if (auto* why = std::get_if<std::string>(&archive)) return Failure(root, *why);
    const std::string serialName = ToLocale8(SerialFolder(download.serial));
    const fs::path dirPath = root / serialName;
    auto dirOpened = OpenOwnFolder(std::get<UniqueFd>(archive).Get(), serialName);
    if (auto* why = std::get_if<std::string>(&dirOpened)) return Failure(dirPath, *why);
    const UniqueFd dir = std::move(std::get<UniqueFd>(dirOpened));
    // The folder just opened, by its descriptor, not by a name someone could relink.
    RemoveStaleTempFiles(fs::path("/proc/self/fd") / std::to_string(dir.Get()));

    std::string why;
    const auto name = CreateNewFileAt(
        dir.Get(), [&](int n) { return ArchiveName(download.downloadedUtc, n); }, EncodeArchive(download), &why);
    if (!name) return Failure(dirPath / ArchiveName(download.downloadedUtc, 1), why);
    const fs::path target = dirPath / *name;
    if (auto wrong = CheckWritten(dir.Get(), *name, download)) {
        // An archive that does not give the download back is no archive: not left to be listed.
        ::unlinkat(dir.Get(), name->c_str(), 0);
        return Failure(target, *wrong);
    }
    return target;
}

ArchiveListing ListArchives(const fs::path& root) {
    ArchiveListing listing;
    std::error_code ec;
    const auto rootStatus = fs::symlink_status(root, ec);
    if (ec || !fs::exists(rootStatus)) return listing;  // no download archived yet
    if (fs::is_symlink(rootStatus)) {
        listing.problems.push_back({root, kLinkSkipped});
        return listing;
    }
    auto it = fs::recursive_directory_iterator(root, ec);
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        std::error_code fileEc;
        const fs::path& path = it->path();
        // Links are never followed (the archive never writes through one), but are named.
        if (it->is_symlink(fileEc)) {
            listing.problems.push_back({path, kLinkSkipped});
            continue;
        }
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
    if (ec) listing.problems.push_back({root, ec.message()});
    std::stable_sort(listing.entries.begin(), listing.entries.end(),
                     [](const ArchiveEntry& a, const ArchiveEntry& b) { return a.downloadedUtc > b.downloadedUtc; });
    return listing;
}

CLogRecordList RecordsOf(const ArchivedDownload& download) {
    CLogRecordList records;
    const std::size_t count = download.rawSlots.size();
    records.reserve(count);  // one allocation: a full log is 2048 records
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
