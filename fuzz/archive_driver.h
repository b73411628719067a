#pragma once
// What one fuzz input does to the archive. The libFuzzer target and the corpus replay test
// both call DriveArchive, so a corpus file runs through exactly the same code in either.
//
// The input is used twice:
//  - as the bytes of an archive file: whatever decodes must encode again and decode to the
//    same download, and encoding it once more gives the same bytes;
//  - as the fields of a download (layout at DownloadFrom): encoding it must decode back to
//    exactly that download. Its zone is then replaced by raw input bytes: decoding gives
//    the download back or refuses it naming the zone, never another download.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "archive/download_archive.h"

namespace wing::fuzz {

// The input's bytes in order; past the end, zeros.
class ByteReader {
public:
    ByteReader(const std::uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    std::uint8_t Byte() { return m_at < m_size ? m_data[m_at++] : 0; }
    std::uint64_t Number(int bytes) {
        std::uint64_t v = 0;
        for (int i = 0; i < bytes; ++i) v = v << 8 | Byte();
        return v;
    }
    std::size_t Left() const { return m_at < m_size ? m_size - m_at : 0; }

private:
    const std::uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_at = 0;
};

// Up to 64 characters: a byte below 0xE0 is that character (ASCII, controls, the
// backslash, Latin-1); a higher one takes the next four bytes as any 32-bit value.
inline std::wstring TextFrom(ByteReader& in) {
    std::wstring text;
    for (int n = in.Byte() % 65; n > 0; --n) {
        const std::uint8_t b = in.Byte();
        text += b < 0xE0 ? static_cast<wchar_t>(b) : static_cast<wchar_t>(static_cast<std::uint32_t>(in.Number(4)));
    }
    return text;
}

// A zone name of up to three parts, from the characters zone names and TZ rules use.
inline std::string ZoneFrom(ByteReader& in) {
    static constexpr std::string_view kChars =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_+-.:,<>";
    std::string zone;
    for (int parts = in.Byte() % 4, p = 0; p < parts; ++p) {
        std::string part;
        for (int n = 1 + in.Byte() % 12; n > 0; --n) part += kChars[in.Byte() % kChars.size()];
        if (part == "." || part == "..") part = "_";
        zone += (p > 0 ? "/" : "") + part;
    }
    return zone;
}

// Layout: serial (TextFrom), firmware (TextFrom), zone (ZoneFrom), 5 bytes of download
// time (up to 9999-12-31T23:59:59Z), 3 bytes of UTC offset (under a day either way),
// 2 bytes of language, then the slots: the rest in 16-byte pieces (the last filled with
// 0xFF), at most 2048.
inline ArchivedDownload DownloadFrom(ByteReader& in) {
    ArchivedDownload d;
    d.serial = TextFrom(in);
    d.firmware = TextFrom(in);
    d.timeZone = ZoneFrom(in);
    d.downloadedUtc = static_cast<std::int64_t>(in.Number(5) % 253402300800);
    d.utcOffsetSeconds = static_cast<std::int32_t>(in.Number(3) % (2 * 86399 + 1)) - 86399;
    d.langId = static_cast<unsigned>(in.Number(2));
    while (in.Left() > 0 && d.rawSlots.size() < 2048) {
        LogSlot slot;
        slot.fill(0xFF);
        for (std::size_t k = 0; k < slot.size() && in.Left() > 0; ++k) slot[k] = in.Byte();
        d.rawSlots.push_back(slot);
    }
    return d;
}

// Encoding `d` decodes back to `d`, and encoding that again gives the same bytes.
inline const char* CheckRoundTrip(const ArchivedDownload& d) {
    const std::string bytes = EncodeArchive(d);
    auto back = DecodeArchive(bytes);
    if (!std::holds_alternative<ArchivedDownload>(back)) return "an encoded download does not decode";
    if (std::get<ArchivedDownload>(back) != d) return "an encoded download decodes to another";
    if (EncodeArchive(std::get<ArchivedDownload>(back)) != bytes) return "encoding is not stable";
    return nullptr;
}

inline const char* DriveArchive(const std::uint8_t* data, std::size_t size) {
    auto decoded = DecodeArchive(std::string_view(reinterpret_cast<const char*>(data), size));
    if (const auto* d = std::get_if<ArchivedDownload>(&decoded))
        if (const char* f = CheckRoundTrip(*d)) return f;

    ByteReader in(data, size);
    ArchivedDownload built = DownloadFrom(in);
    if (const char* f = CheckRoundTrip(built)) return f;

    built.timeZone.assign(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 40));
    auto back = DecodeArchive(EncodeArchive(built));
    if (const auto* d = std::get_if<ArchivedDownload>(&back)) {
        if (*d != built) return "a download with any zone decodes to another";
    } else if (std::get<std::string>(back).find("timezone") == std::string::npos) {
        return "a download with any zone is refused for something other than its zone";
    }
    return nullptr;
}

}  // namespace wing::fuzz
