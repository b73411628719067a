#pragma once
// A system clock for tests: it runs with the machine's clock plus an offset that Set()
// changes, so that the machine's own clock is never moved.

#include <chrono>
#include <cstdint>
#include <mutex>
#include <vector>

#include "platform/system_clock.h"

namespace wing::test {

class FakeClock final : public SystemClock {
public:
    explicit FakeClock(std::int64_t offsetMs = 0) : m_offsetMs(offsetMs) {}

    static std::int64_t RealNowMs() {
        using namespace std::chrono;
        return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
    }

    SystemTime Now() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        return UnixMsToSystemTime(RealNowMs() + m_offsetMs);
    }
    bool EnableSetRight(bool& raised) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        raised = m_raiseRight;
        ++m_enables;
        return m_hasRight;
    }
    void RestoreSetRight() override {
        std::lock_guard<std::mutex> lock(m_mutex);
        ++m_restores;
    }
    bool Set(const SystemTime& utc) override {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_sets.push_back(utc);
        if (!m_setSucceeds) return false;
        m_offsetMs = SystemTimeToUnixMs(utc) - RealNowMs();
        return true;
    }

    // Settings of the fake.
    void SetHasRight(bool has, bool raise = false) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_hasRight = has;
        m_raiseRight = raise;
    }
    void SetSetSucceeds(bool ok) {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_setSucceeds = ok;
    }

    // What happened.
    std::int64_t OffsetMs() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_offsetMs;
    }
    std::vector<SystemTime> Sets() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_sets;
    }
    int Enables() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_enables;
    }
    int Restores() const {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_restores;
    }

private:
    mutable std::mutex m_mutex;
    std::int64_t m_offsetMs;
    bool m_hasRight = true;
    bool m_raiseRight = false;
    bool m_setSucceeds = true;
    int m_enables = 0;
    int m_restores = 0;
    std::vector<SystemTime> m_sets;
};

}  // namespace wing::test
