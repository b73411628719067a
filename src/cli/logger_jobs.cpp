#include "cli/logger_jobs.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <string>

#include "platform/text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing::cli {
namespace {

Failure NotReady(const Context& ctx, const char* kind, unsigned textId) {
    return Failure{Exit::NotReady, kind, ctx.Text(textId)};
}

// The next event of a job, or why the job ends without it: an interrupt, a silence, a
// refusal, a missing answer or a closed link.
std::variant<SessionEvent, Failure> NextOfJob(LoggerLink& link, const std::wstring& waitingFor) {
    auto event = link.Next(kSilenceBound);
    if (Interrupted()) return link.InterruptedFailure();
    if (!event) return link.Silence(waitingFor);
    if (auto failure = link.FailureOf(*event)) return *failure;
    return std::move(*event);
}

// A line from stdin; none when the input ends or fails, or the run is interrupted first.
std::optional<std::string> ReadAnswer() {
    std::string line;
    for (;;) {
        pollfd fds[2] = {{STDIN_FILENO, POLLIN, 0}, {InterruptDescriptor(), POLLIN, 0}};
        if (::poll(fds, 2, -1) < 0 && errno != EINTR) return std::nullopt;
        if (Interrupted()) return std::nullopt;
        if ((fds[0].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
        char c = 0;
        const ssize_t n = ::read(STDIN_FILENO, &c, 1);
        if (n < 0 && (errno == EINTR || errno == EAGAIN)) continue;
        if (n <= 0) return line.empty() ? std::nullopt : std::optional<std::string>(line);
        if (c == '\n') return line;
        line += c;
    }
}

bool AskYes(const Context& ctx, const std::wstring& question) {
    PrintError(question + L" " + ctx.Text(IDS_CLI_ASK_CONTINUE));
    const auto answer = ReadAnswer();
    return answer && !answer->empty() && ((*answer)[0] == 'y' || (*answer)[0] == 'Y');
}

}  // namespace

ReadOutcome ReadAndSave(LoggerLink& link, const Context& ctx,
                        const std::function<void(unsigned, unsigned)>& progress) {
    ReadOutcome out;
    switch (link.Session().ReadAndSave()) {
        case ReadRequest::Started: break;
        case ReadRequest::Busy:
            out.failure = NotReady(ctx, "busy", IDS_READING_COUNT);
            return out;
        case ReadRequest::SwitchOn:
            out.failure = NotReady(ctx, "switch-on", IDS_SWITCH_TO_OFF);
            return out;
        case ReadRequest::NotStarted:
            out.failure = Failure{Exit::NotReady, "not-started",
                                  ctx.Text(IDS_RACE_NOT_STARTED) + L" " + ctx.Text(IDS_RACE_TIME) + L" " +
                                      FromUtf8(LocalTimeText(link.Session().ShownStartTime()))};
            return out;
    }
    std::wstring waitingFor = L"Query Log Number";
    for (;;) {
        // After an interrupt the read goes on in the session until it ends or the link
        // closes; nothing partial is saved either way.
        auto next = NextOfJob(link, waitingFor);
        if (auto* failure = std::get_if<Failure>(&next)) {
            out.failure = *failure;
            return out;
        }
        const auto* event = &std::get<SessionEvent>(next);
        if (const auto* p = std::get_if<ev::ReadProgress>(&*event)) {
            waitingFor = L"Read Log";
            out.count = p->count;
            if (progress) progress(p->index, p->count);
        } else if (const auto* done = std::get_if<ev::ReadDone>(&*event)) {
            out.count = done->count;
            if (progress) progress(done->count, done->count);
        } else if (std::holds_alternative<ev::LogEmpty>(*event)) {
            out.failure = NotReady(ctx, "empty", IDS_NO_LOG_DATA);
            return out;
        } else if (std::holds_alternative<ev::LogReadError>(*event) || std::holds_alternative<ev::ReadFailed>(*event)) {
            out.failure = Failure{Exit::NoAnswer, "read-failed", ctx.Text(IDS_READ_ERROR)};
            return out;
        } else if (const auto* saved = std::get_if<ev::FilesSaved>(&*event)) {
            out.archive = saved->archivePath;
            out.notWritten = saved->failures;
            out.elapsedMs = saved->elapsedMs;
            if (!saved->failures.empty()) {
                std::wstring text = ctx.Text(IDS_NOT_ALL_SAVED);
                for (const auto& f : saved->failures) text += L"\n" + f.path + L": " + f.reason;
                out.failure = Failure{Exit::FilesNotWritten, "files-not-written", text};
            }
            return out;
        } else {
            link.Note(*event);
        }
    }
}

std::optional<FlightSetting> SettingFrom(const Context& ctx, const SetOptions& options, Failure& failure) {
    FlightSetting setting;
    if (options.mode.empty()) {
        setting.recordMode = ctx.config.competition != 0 ? 3 : 0;
    } else if (options.mode == "racing" || options.mode == "4") {
        setting.recordMode = 3;
    } else if (options.mode == "1" || options.mode == "2" || options.mode == "3") {
        setting.recordMode = static_cast<std::uint8_t>(options.mode[0] - '1');
    } else {
        failure = Failure{Exit::Usage, "usage", L"--mode: 1, 2, 3 or racing"};
        return std::nullopt;
    }
    if (options.now) return setting;
    const auto at = ParseLocalTime(options.at);
    if (!at) {
        failure = Failure{Exit::Usage, "usage", L"--at: \"" + FromLocale8(options.at) + L"\" is not a time: YYYY-MM-DD HH:MM"};
        return std::nullopt;
    }
    if (*at < std::time(nullptr) || *at > 0xFFFFFFFFLL) {
        failure = Failure{Exit::Usage, "usage", ctx.Text(IDS_PICK_FUTURE_TIME)};
        return std::nullopt;
    }
    setting.startKind = 1;
    setting.startTime = static_cast<std::uint32_t>(*at);
    return setting;
}

std::optional<Failure> CheckBeforeSetting(LoggerLink& link, const Context& ctx, const FlightSetting& setting,
                                          bool yes, bool mayAsk) {
    switch (link.Session().CheckSetting()) {
        case SettingRequest::Allowed: break;
        case SettingRequest::Busy: return NotReady(ctx, "busy", IDS_READING_COUNT);
        case SettingRequest::SwitchOff: return NotReady(ctx, "switch-off", IDS_SWITCH_TO_ON);
    }
    if (setting.recordMode == 3 && link.Session().Battery() < ctx.config.threshold && !yes) {
        const bool yesGiven = mayAsk && AskYes(ctx, ctx.Text(IDS_BATTERY_LOW));
        if (Interrupted()) return link.InterruptedFailure();
        if (!yesGiven) return NotReady(ctx, "battery-low", IDS_CLI_NEEDS_YES);
    }
    return std::nullopt;
}

SetOutcome SetAndVerify(LoggerLink& link, const Context& ctx, const FlightSetting& setting) {
    SetOutcome out;
    link.Session().SetForFlight(setting);
    for (;;) {
        auto next = NextOfJob(link, L"Set Mode");
        if (auto* failure = std::get_if<Failure>(&next)) {
            out.failure = *failure;
            return out;
        }
        const auto* event = &std::get<SessionEvent>(next);
        link.Note(*event);
        const auto* status = std::get_if<ev::StatusRead>(&*event);
        if (status == nullptr || !status->settingHeld) continue;
        out.held = status->status;
        if (!*status->settingHeld) out.failure = Failure{Exit::NotHeld, "not-held", ctx.Text(IDS_CLI_SETTING_NOT_HELD)};
        return out;
    }
}

}  // namespace wing::cli
