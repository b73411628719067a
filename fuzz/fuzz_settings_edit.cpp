// One value set or one key removed in any text, through the editor and back through the
// reader. Input layout: see DriveSettingsEdit.

#include <cstdio>
#include <cstdlib>

#include "settings_drivers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (const char* failure = wing::fuzz::DriveSettingsEdit(data, size)) {
        std::fprintf(stderr, "fuzz_settings_edit: %s\n", failure);
        std::abort();
    }
    return 0;
}
