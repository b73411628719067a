// Any bytes as a settings file, through the reader, and its keys set again through the editor.

#include <cstdio>
#include <cstdlib>

#include "settings_drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const char* failure = wing::fuzz::DriveSettingsRead(data, size)) {
        std::fprintf(stderr, "fuzz_settings_read: %s\n", failure);
        std::abort();
    }
    return 0;
}
