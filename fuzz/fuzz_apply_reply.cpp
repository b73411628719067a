// Arbitrary reply bodies applied to each of the nine commands. Input layout: byte 0
// picks the command, the rest is the body (see DriveApplyReply).

#include <clocale>
#include <cstdio>
#include <cstdlib>

#include "drivers.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // The serial-number text is converted in the locale's code set, UTF-8 on Linux.
    std::setlocale(LC_CTYPE, "C.UTF-8");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    wing::fuzz::DriveResult result = wing::fuzz::DriveApplyReply(data, size);
    if (result.failure != nullptr) {
        std::fprintf(stderr, "fuzz_apply_reply: %s\n", result.failure);
        std::abort();
    }
    return 0;
}
