// The settings writer on its own, for the kill -9 test. "start FILE" runs what the
// window's start runs on the user's settings file, and ends. "loop FILE" does the same
// and then saves FILE over and over, the threshold going 35, 36, 35, ..., after telling
// "saving" on stdout.

#include <cstdio>
#include <cstring>
#include <string>

#include "resources/string_table.h"
#include "settings/config.h"
#include "settings/config_writer.h"

int main(int argc, char** argv) {
    if (argc != 3) return 2;
    const std::filesystem::path target = argv[2];
    wing::RemoveStaleSettingsTempFiles(target);
    if (std::strcmp(argv[1], "start") == 0) return 0;
    std::puts("saving");
    std::fflush(stdout);
    for (;;) {
        wing::Config config = wing::LoadConfig(wing::LANG_EN_US, target);
        config.threshold = config.threshold == 35 ? 36 : 35;
        std::string why;
        if (!wing::SaveUserConfig(config, target, &why, target)) {
            std::fprintf(stderr, "%s\n", why.c_str());
            return 1;
        }
    }
}
