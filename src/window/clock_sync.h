#pragma once
// The clock thread's one time synchronisation, kept apart from the window's headers: the
// configuration and the time-sync code each declare a default server constant of their own.

#include <functional>
#include <string>

namespace wing {

class SystemClock;

// SyncPcClock with the configured server (UTF-8; empty: the time-sync default), the given
// clock (null: the machine's) and connectivity test (empty: the real one). Silent.
bool SyncClockFromServer(const std::string& server, SystemClock* clock, std::function<bool()> isConnected);

}  // namespace wing
