// Writes the seed corpus of fuzz_archive: archives of the current format (no records,
// nine, and texts that need escapes) and the version 1 archives the tests keep. Run it
// with the fuzz/ folder as argument after changing a seed; the files are committed.

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>

#include "archive/download_archive.h"

namespace {

using wing::ArchivedDownload;

bool Write(const std::string& path, const std::string& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

ArchivedDownload Download(int records) {
    ArchivedDownload d;
    d.serial = L"WG1507A0042";
    d.firmware = L"V 1.2.3.4";
    d.downloadedUtc = 1430526600;  // 2015-05-02T00:30:00Z
    d.timeZone = "Asia/Taipei";
    d.utcOffsetSeconds = 8 * 3600;
    d.langId = 1033;
    for (int i = 0; i < records; ++i) {
        wing::LogSlot slot{};
        for (std::size_t k = 0; k < slot.size(); ++k) slot[k] = static_cast<std::uint8_t>(i * 16 + k);
        slot[15] &= 0x7F;  // a position slot
        d.rawSlots.push_back(slot);
    }
    return d;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <fuzz folder>\n", argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/corpus/fuzz_archive/";
    bool ok = true;
    ok &= Write(dir + "v2_empty.wing", wing::EncodeArchive(Download(0)));
    ok &= Write(dir + "v2_nine_records.wing", wing::EncodeArchive(Download(9)));
    ArchivedDownload escaped = Download(1);
    escaped.serial = L"WG\\15\n07\r\x7F\u00E9";
    escaped.serial += static_cast<wchar_t>(0xD800);
    escaped.firmware = L"";
    escaped.timeZone = "America/Argentina/Buenos_Aires";
    escaped.utcOffsetSeconds = -3 * 3600;
    escaped.langId = 2052;
    ok &= Write(dir + "v2_escaped_texts.wing", wing::EncodeArchive(escaped));
    for (const char* name : {"WG1507A0042.wing", "literal-backslash.wing"}) {
        std::ifstream in(std::string(argv[1]) + "/../tests/data/archive-v1/" + name, std::ios::binary);
        const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        ok &= !bytes.empty() && Write(dir + "v1_" + name, bytes);
    }
    return ok ? 0 : 1;
}
