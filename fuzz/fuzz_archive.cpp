// Arbitrary bytes as an archive file, and as the fields of a download to be archived:
// what decodes encodes back the same, and what is encoded decodes back exactly. Input
// layout: see archive_driver.h.

#include <cstdio>
#include <cstdlib>

#include "archive_driver.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const char* failure = wing::fuzz::DriveArchive(data, size)) {
        std::fprintf(stderr, "fuzz_archive: %s\n", failure);
        std::abort();
    }
    return 0;
}
