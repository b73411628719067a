// Writes the seed corpus of both fuzz targets: one valid reply per command (data
// replies, a status reply) and a mixed stream. Run it with the fuzz/ folder as argument
// after changing a seed; the files are committed.

#include <cstdio>
#include <string>
#include <vector>

#include "support/frames.h"

namespace {

using Bytes = std::vector<std::uint8_t>;
using wing::test::DataReply;
using wing::test::MakeBody;
using wing::test::MakeFrame;
using wing::test::StatusReply;

bool Write(const std::string& path, const Bytes& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

Bytes Cat(std::initializer_list<Bytes> parts) {
    Bytes out;
    for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A page of eight log slots with recognisable contents.
Bytes LogPage() {
    Bytes page(128);
    for (std::size_t i = 0; i < page.size(); ++i) page[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return page;
}

Bytes SerialText() {
    Bytes text(128, 0);
    std::string sn = "WG-2041-0007";
    std::copy(sn.begin(), sn.end(), text.begin());
    return text;
}

struct Seed {
    const char* name;
    Bytes header;  // receive driver: start position, chunking, passes/checksum repair
    Bytes frame;
    int selector;  // apply-reply driver: index into CommandSet::All()
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <fuzz folder>\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    const Bytes fields = {0x80, 0x51, 0x01, 0x66, 1, 0, 0x00, 0x70, 0x03, 0x66, 0x7B};
    std::vector<Seed> seeds = {
        {"query_status.data", {0, 0x1F, 0x00}, DataReply(1, 0, fields), 0},
        {"get_version.data", {40, 0x06, 0x04}, DataReply(1, 1, {4, 3, 2, 1, 0, 0, 0, 0}), 1},
        {"get_sn.data", {0, 0x72, 0x00}, DataReply(1, 3, {0, 12, 0, 0, 0}, SerialText()), 2},
        {"set_rtc.data", {201, 0x8F, 0x04}, DataReply(2, 0), 3},
        {"set_mode.status", {0, 0x19, 0x00}, StatusReply(2, 1, 0x09), 4},
        {"software_switch.data", {100, 0x00, 0x04}, DataReply(2, 4), 5},
        // Starts at ring index 1021: the length word is split across the ring's end.
        {"read_log.data", {253, 0x72, 0x00}, DataReply(3, 0, {0}, LogPage()), 6},
        {"query_log_number.data", {0, 0x0C, 0x01}, DataReply(3, 1, {0x10, 0x00}), 7},
        {"delete_log.data", {0, 0x7F, 0x04}, DataReply(3, 2), 8},
    };

    bool ok = true;
    for (const Seed& s : seeds) {
        ok &= Write(dir + "/corpus/fuzz_receive/" + s.name, Cat({s.header, s.frame}));
        Bytes body(s.frame.begin() + 8, s.frame.end() - 2);
        ok &= Write(dir + "/corpus/fuzz_apply_reply/" + s.name, Cat({{static_cast<std::uint8_t>(s.selector)}, body}));
    }

    // Garbage, a stray start marker, a reply with a broken checksum, a reply nobody
    // waits for, an encrypted-type length word, then good replies; cut into varying chunks.
    Bytes badChecksum = DataReply(1, 0, fields);
    badChecksum[4] ^= 0x01;
    Bytes stream = Cat({{0x11, 0x22, 0xA0, 0x33},
                        {0xA0, 0xA2, 0x10, 0x00, 0x55},
                        badChecksum,
                        DataReply(9, 9),
                        MakeFrame(MakeBody(3, 2, 2), 1),
                        DataReply(3, 0, {0}, LogPage()),
                        {0xB0, 0xB3, 0x00},
                        StatusReply(1, 1, 0x02)});
    ok &= Write(dir + "/corpus/fuzz_receive/mixed_stream", Cat({{150, 0x90, 0x00}, stream}));
    return ok ? 0 : 1;
}
