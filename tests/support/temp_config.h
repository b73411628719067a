#pragma once
// Points $XDG_CONFIG_HOME (and the device map's view of /sys and /dev) at a fresh
// temporary folder for the life of the object, so tests never see this machine's ports.

#include <stdlib.h>

#include <filesystem>
#include <string>

#include "platform/device_map.h"

namespace wing::test {

class TempConfig {
public:
    TempConfig() {
        char tmpl[] = "/tmp/wing-test-XXXXXX";
        m_root = ::mkdtemp(tmpl);
        std::filesystem::create_directories(m_root + "/config");
        std::filesystem::create_directories(m_root + "/sys/class/tty");
        std::filesystem::create_directories(m_root + "/dev");
        const char* old = ::getenv("XDG_CONFIG_HOME");
        m_hadOld = old != nullptr;
        if (m_hadOld) m_old = old;
        ::setenv("XDG_CONFIG_HOME", (m_root + "/config").c_str(), 1);
        SetDeviceMapRootsForTesting(m_root + "/sys", m_root + "/dev");
    }
    ~TempConfig() {
        SetDeviceMapRootsForTesting("", "");
        if (m_hadOld)
            ::setenv("XDG_CONFIG_HOME", m_old.c_str(), 1);
        else
            ::unsetenv("XDG_CONFIG_HOME");
        std::error_code ec;
        std::filesystem::remove_all(m_root, ec);
    }
    const std::string& Root() const { return m_root; }
    std::string ConfigDir() const { return m_root + "/config/wing-utility"; }

private:
    std::string m_root;
    std::string m_old;
    bool m_hadOld = false;
};

}  // namespace wing::test
