#pragma once
// Puts a TZ value in force for the test process (the PC's zone, as a user's session would
// have it) and restores the one before. The program itself never sets TZ: tests use this
// to prove that the process's zone does not decide what a download's zone decides.

#include <stdlib.h>
#include <time.h>

#include <optional>
#include <string>

namespace wing::test {

class ProcessZone {
public:
    // `tz` null: no TZ at all (the zone /etc/localtime names).
    explicit ProcessZone(const char* tz) {
        if (const char* old = getenv("TZ")) m_old = old;
        if (tz) {
            setenv("TZ", tz, 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ~ProcessZone() {
        if (m_old) {
            setenv("TZ", m_old->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }
    ProcessZone(const ProcessZone&) = delete;
    ProcessZone& operator=(const ProcessZone&) = delete;

private:
    std::optional<std::string> m_old;
};

}  // namespace wing::test
