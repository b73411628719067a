// set and read: the window's Setting and Read and Save, on one logger, then unlinked.

#include <unistd.h>

#include <cstdio>
#include <string>

#include "cli/commands.h"
#include "cli/logger_jobs.h"
#include "cli/output_choices.h"
#include "platform/locale.h"
#include "platform/text.h"
#include "resources/string_ids.h"

namespace wing::cli {
namespace {

// A bar redrawn in place on a terminal; every tenth on a plain output; each page as JSON.
class ReadProgressShown {
public:
    explicit ReadProgressShown(const Context& ctx) : m_ctx(ctx), m_terminal(::isatty(STDOUT_FILENO) == 1) {}
    ~ReadProgressShown() {
        if (m_drawn) std::fputc('\n', stdout);
    }
    void operator()(unsigned index, unsigned count) {
        const unsigned shown = std::min(index, count);
        if (m_ctx.json) {
            PrintJson({{"event", "progress"}, {"index", shown}, {"count", count}});
            return;
        }
        const unsigned tenth = count == 0 ? 10 : shown * 10 / count;
        if (m_terminal) {
            constexpr int kWidth = 40;
            const int filled = count == 0 ? kWidth : static_cast<int>(static_cast<unsigned long>(shown) * kWidth / count);
            std::printf("\r[%.*s%.*s] %u/%u", filled, "########################################", kWidth - filled,
                        "........................................", shown, count);
            std::fflush(stdout);
            m_drawn = true;
        } else if (tenth != m_lastTenth) {
            std::printf("%u/%u\n", shown, count);
            std::fflush(stdout);
        }
        m_lastTenth = tenth;
    }

private:
    const Context& m_ctx;
    bool m_terminal;
    bool m_drawn = false;
    unsigned m_lastTenth = ~0u;
};

}  // namespace

int RunSet(const Context& ctx, const SetOptions& options) {
    Failure usage;
    const auto setting = SettingFrom(ctx, options, usage);
    if (!setting) return Report(ctx, usage);
    LoggerLink link(ctx);
    int port = 0;
    if (auto failure = link.ChoosePort(options.port, port)) return Report(ctx, *failure);
    auto failure = link.Link(port);
    if (!failure) failure = CheckBeforeSetting(link, ctx, *setting, options.yes, ::isatty(STDIN_FILENO) == 1);
    SetOutcome outcome;
    if (!failure) {
        outcome = SetAndVerify(link, ctx, *setting);
        failure = outcome.failure;
    }
    link.Unlink();
    if (failure && failure->exit != Exit::NotHeld) return Report(ctx, *failure);

    const DeviceStatus& held = outcome.held;
    if (ctx.json) {
        nlohmann::json doc{{"ok", !failure},
                           {"serial", ToUtf8(link.State().serial)},
                           {"held", !failure},
                           {"start", held.startType == 1 ? "reserved" : "now"},
                           {"record_mode", held.recordMode}};
        if (held.startType == 1) doc["reserved_start"] = UtcTimeText(held.reservedStart);
        if (failure) {
            doc["exit"] = static_cast<int>(failure->exit);
            doc["error"] = failure->kind;
            doc["message"] = ToUtf8(failure->message);
        }
        PrintJson(doc);
    } else {
        PrintLine(failure ? failure->message : ctx.Text(IDS_CLI_SETTING_HELD));
        PrintLine(ctx.Text(IDS_YOUR_SETTING) + L" [" + ctx.Text(held.startType == 1 ? IDS_START_RESERVED : IDS_START_NOW) +
                  L"]" + (held.startType == 1 ? L" " + FormatDeviceTime(held.reservedStart) : L""));
    }
    return static_cast<int>(failure ? failure->exit : Exit::Done);
}

int RunRead(const Context& ctx, const ReadOptions& options) {
    Failure usage;
    const auto choices = OutputChoicesFrom(ctx, options.out, options.formats, usage);
    if (!choices) return Report(ctx, usage);
    LoggerLink link(ctx);
    Apply(ctx, *choices, link.Session());
    int port = 0;
    if (auto failure = link.ChoosePort(options.port, port)) return Report(ctx, *failure);
    if (auto failure = link.Link(port)) {
        link.Unlink();
        return Report(ctx, *failure);
    }
    ReadOutcome outcome;
    {
        ReadProgressShown progress(ctx);
        outcome = ReadAndSave(link, ctx, [&](unsigned index, unsigned count) { progress(index, count); });
    }
    link.Unlink();
    if (outcome.failure) return Report(ctx, *outcome.failure);
    if (ctx.json) {
        PrintJson({{"event", "saved"},
                   {"ok", true},
                   {"serial", ToUtf8(link.State().serial)},
                   {"records", outcome.count},
                   {"archive", outcome.archive.string()},
                   {"folder", LogFolder().string()},
                   {"elapsed_ms", outcome.elapsedMs}});
    } else {
        PrintLine(ctx.Text(IDS_READ_SAVE_DONE));
        PrintLine(ctx.Text(IDS_CLI_RECORDS) + L": " + std::to_wstring(outcome.count));
        PrintLine(ctx.Text(IDS_CLI_ARCHIVE) + L": " + FromLocale8(outcome.archive.string()));
        PrintLine(ctx.Text(IDS_CLI_FOLDER) + L": " + FromLocale8(LogFolder().string()));
    }
    return 0;
}

}  // namespace wing::cli
