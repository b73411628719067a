#include "window/clock_sync.h"

#include "platform/text.h"
#include "timesync/time_sync.h"

namespace wing {

bool SyncClockFromServer(const std::string& server, SystemClock* clock, std::function<bool()> isConnected) {
    NtpSettings settings;
    if (!server.empty()) settings.server = FromUtf8(server);
    settings.clock = clock;
    settings.isConnected = std::move(isConnected);
    return SyncPcClock(settings);
}

}  // namespace wing
