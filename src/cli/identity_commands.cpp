// ports and status: what the tool sees, and what a logger says about itself.

#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/logger_link.h"
#include "platform/device_map.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "resources/string_ids.h"

namespace wing::cli {
namespace {

bool LooksLikeAdapter(const SerialMapEntry& entry) {
    return entry.deviceName.find(L"ProlificSerial") != std::wstring::npos;
}

std::wstring SwitchText(std::uint8_t state) {
    // The status box's own words, which the window shows untranslated too.
    if (state == 0) return L"Switch Off";
    if (state == 1) return L"Switch On";
    return L"Switch Unknown";
}

const char* SwitchName(std::uint8_t state) { return state == 0 ? "off" : state == 1 ? "on" : "unknown"; }

std::wstring RecordModeName(const Context& ctx, std::uint8_t mode) {
    static constexpr unsigned kNames[] = {IDS_RECORD_MODE_30S, IDS_RECORD_MODE_3MIN, IDS_RECORD_MODE_AFTER_HOUR,
                                          IDS_RACING_MODE};
    return mode < 4 ? ctx.Text(kNames[mode]) : std::wstring();
}

void PrintField(const std::wstring& label, const std::wstring& value) { PrintLine(label + L": " + value); }

void PrintState(const Context& ctx, const LoggerState& s);

}  // namespace

int RunPorts(const Context& ctx) {
    const auto entries = ReadSerialDeviceMap();
    if (ctx.json) {
        nlohmann::json ports = nlohmann::json::array();
        for (const auto& e : entries)
            ports.push_back({{"port", ToUtf8(e.comName)},
                             {"device", e.node},
                             {"driver", ToUtf8(e.deviceName)},
                             {"adapter", LooksLikeAdapter(e)}});
        PrintJson({{"ok", true}, {"ports", ports}});
        return 0;
    }
    for (const auto& e : entries)
        PrintLine(e.comName + L"\t" + FromLocale8(e.node) + L"\t" + e.deviceName +
                  (LooksLikeAdapter(e) ? L"\tlogger adapter" : L""));
    return 0;
}

int RunStatus(const Context& ctx, const StatusOptions& options) {
    LoggerLink link(ctx);
    int port = 0;
    if (auto failure = link.ChoosePort(options.port, port)) return Report(ctx, *failure);
    if (auto failure = link.Link(port)) {
        link.Unlink();
        return Report(ctx, *failure);
    }
    // Shown before the link is closed: closing takes a second that the reader need not wait.
    const LoggerState s = link.State();
    PrintState(ctx, s);
    link.Unlink();
    return 0;
}

namespace {

void PrintState(const Context& ctx, const LoggerState& s) {

    const DeviceStatus& st = s.status;
    if (ctx.json) {
        nlohmann::json doc{{"ok", true},
                           {"port", "COM" + std::to_string(s.port)},
                           {"serial", s.serialSupported ? nlohmann::json(ToUtf8(s.serial)) : nlohmann::json(nullptr)},
                           {"firmware", ToUtf8(s.firmware)},
                           {"battery_volts", st.battery / 10.0},
                           {"switch", SwitchName(st.switchState)},
                           {"start", st.startType == 1 ? "reserved" : "now"},
                           {"record_mode", st.recordMode},
                           {"record_mode_name", ToUtf8(RecordModeName(ctx, st.recordMode))},
                           {"clock", UtcTimeText(st.deviceClock)},
                           {"clock_minus_pc_seconds", s.clockDifference}};
        if (st.startType == 1) doc["reserved_start"] = UtcTimeText(st.reservedStart);
        PrintJson(doc);
        return;
    }
    PrintField(ctx.Text(IDS_CLI_SERIAL),
               !s.serialSupported ? ctx.Text(IDS_OLD_FIRMWARE) : s.serial.empty() ? ctx.Text(IDS_NO_SERIAL) : s.serial);
    PrintField(ctx.Text(IDS_CLI_FIRMWARE), s.firmware);
    wchar_t volts[32];
    std::swprintf(volts, std::size(volts), L"%.1f V", st.battery / 10.0);
    PrintField(ctx.Text(IDS_CLI_BATTERY), volts);
    PrintField(ctx.Text(IDS_CLI_SWITCH), SwitchText(st.switchState));
    PrintField(ctx.Text(IDS_CLI_START), st.startType == 1 ? ctx.Text(IDS_RESERVED_START_LINE) + L" : " +
                                                                FormatDeviceTime(st.reservedStart)
                                                          : ctx.Text(IDS_START_NOW));
    PrintField(ctx.Text(IDS_RECORD_MODE_LINE),
               L"(" + std::to_wstring(st.recordMode < 3 ? st.recordMode + 1 : 1) + L") " + RecordModeName(ctx, st.recordMode));
    PrintField(ctx.Text(IDS_CLI_CLOCK), FormatDeviceTime(st.deviceClock));
    PrintField(ctx.Text(IDS_CLI_CLOCK_DIFFERENCE), std::to_wstring(s.clockDifference) + L" s");
}

}  // namespace
}  // namespace wing::cli
