// Arbitrary byte streams, cut into chunks, through the receive ring, the parser and the
// registry with all nine commands waiting. Input layout: see DriveReceive.

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
    wing::fuzz::DriveResult result = wing::fuzz::DriveReceive(data, size);
    if (result.failure != nullptr) {
        std::fprintf(stderr, "fuzz_receive: %s\n", result.failure);
        std::abort();
    }
    return 0;
}
