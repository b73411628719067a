#include "platform/module_dir.h"

#include <unistd.h>

#include <vector>

namespace wing {

std::string DirectoryOfPath(std::string_view exePath) {
    const std::size_t slash = exePath.rfind('/');
    if (slash == std::string_view::npos) return {};
    return std::string(exePath.substr(0, slash + 1));
}

bool GetModuleDir(std::string& dir) {
    dir.clear();
    // readlink does not say whether it truncated, so grow until the path fits.
    std::vector<char> buffer(256);
    for (;;) {
        const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (n < 0) return false;
        if (static_cast<std::size_t>(n) < buffer.size()) {
            dir = DirectoryOfPath(std::string_view(buffer.data(), static_cast<std::size_t>(n)));
            return true;
        }
        if (buffer.size() >= 65536) return false;
        buffer.resize(buffer.size() * 2);
    }
}

}  // namespace wing
