// station: the club's loop. It waits for a logger on the station's port, gives it the
// job (read and save, or set), prints one line per bird and appends it to the roster,
// and goes on with the next logger until it is interrupted.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "cli/commands.h"
#include "cli/logger_jobs.h"
#include "cli/output_choices.h"
#include "export/file_output.h"
#include "platform/device_map.h"
#include "platform/text.h"
#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing::cli {
namespace {

constexpr char kRosterHeader[] = "time,serial,battery,job,records,result,message\r\n";

std::string CsvField(const std::wstring& text) {
    std::string value = ToUtf8(CsvLineSafe(text));
    if (value.find_first_of(",\"") == std::string::npos) return value;
    std::string quoted = "\"";
    for (char c : value) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
    return quoted + "\"";
}

struct BirdLine {
    std::int64_t time = 0;
    std::wstring serial;
    double battery = 0;
    bool read = true;
    unsigned records = 0;
    bool ok = false;
    std::wstring message;
};

// The station's roster: a regular file that every bird's line is appended to and synced.
class Roster {
public:
    ~Roster() {
        if (m_fd >= 0) ::close(m_fd);
    }
    // Opens (or makes) the roster and writes its header when it is empty; why not, when it
    // cannot. Opened without blocking, so a FIFO or a device is refused, not waited for.
    std::optional<Failure> Open(const Context& ctx, const std::string& path) {
        m_path = path;
        m_fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, 0666);
        const int openError = errno;
        struct stat st {};
        const bool regular = m_fd >= 0 ? ::fstat(m_fd, &st) == 0 && S_ISREG(st.st_mode)
                                       : ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode);
        if (!regular)
            return Failure{Exit::Usage, "usage", L"--roster: " + FromLocale8(path) + L": not a regular file"};
        if (m_fd < 0) return NotWritten(ctx, openError);
        if (st.st_size == 0 && !Append(kRosterHeader)) return NotWritten(ctx, errno);
        return std::nullopt;
    }
    // One write per line, so a line is never torn by a second station on the same file. A
    // line that does not go in whole is taken out again and the failure said: the roster
    // never keeps part of a line.
    bool Append(const std::string& line) {
        const off_t end = ::lseek(m_fd, 0, SEEK_END);
        const ssize_t written = ::write(m_fd, line.data(), line.size());
        if (written == static_cast<ssize_t>(line.size())) return ::fsync(m_fd) == 0;
        const int why = written < 0 ? errno : ENOSPC;
        struct stat st {};
        // Only while the part is still the file's end: another station's line may follow it.
        if (written > 0 && end >= 0 && ::fstat(m_fd, &st) == 0 && st.st_size == end + written) {
            [[maybe_unused]] const int cut = ::ftruncate(m_fd, end);
        }
        errno = why;
        return false;
    }
    Failure NotWritten(const Context& ctx, int why) const {
        return Failure{Exit::FilesNotWritten, "files-not-written",
                       ctx.Text(IDS_FILE_NOT_SAVED) + L" " + FromLocale8(m_path) + L": " +
                           FromLocale8(std::strerror(why))};
    }

private:
    std::string m_path;
    int m_fd = -1;
};

std::string RosterLine(const BirdLine& b) {
    char battery[16];
    std::snprintf(battery, sizeof battery, "%.1f", b.battery);
    return LocalTimeText(b.time) + "," + CsvField(b.serial) + "," + battery + "," + (b.read ? "read" : "set") + "," +
           (b.read ? std::to_string(b.records) : std::string()) + "," + (b.ok ? "OK" : "NG") + "," +
           CsvField(b.message) + "\r\n";
}

void Show(const Context& ctx, const BirdLine& b) {
    if (ctx.json) {
        nlohmann::json doc{{"event", "bird"},     {"time", UtcTimeText(b.time)}, {"serial", ToUtf8(b.serial)},
                           {"battery_volts", b.battery}, {"job", b.read ? "read" : "set"}, {"ok", b.ok},
                           {"message", ToUtf8(b.message)}};
        if (b.read) doc["records"] = b.records;
        PrintJson(doc);
        return;
    }
    wchar_t battery[16];
    std::swprintf(battery, std::size(battery), L"%.1f V", b.battery);
    PrintLine(FromUtf8(LocalTimeText(b.time)) + L"\t" + b.serial + L"\t" + battery + L"\t" +
              (b.read ? std::to_wstring(b.records) : ctx.Text(b.ok ? IDS_CLI_SETTING_HELD : IDS_CLI_SETTING_NOT_HELD)) +
              L"\t" + (b.ok ? L"OK" : L"NG") + (b.message.empty() ? L"" : L"\t" + b.message));
}

// Waits, without spinning, until the port is in the device map again.
bool WaitForPort(LoggerLink& link, int port) {
    while (!Interrupted()) {
        if (!ResolveComPort(port).empty()) return true;
        link.Next(std::chrono::milliseconds(500));
    }
    return false;
}

}  // namespace

int RunStation(const Context& ctx, const StationOptions& options) {
    Failure usage;
    const auto choices = OutputChoicesFrom(ctx, options.out, options.formats, usage);
    if (!choices) return Report(ctx, usage);
    std::optional<FlightSetting> setting;
    if (options.autoSet) {
        setting = SettingFrom(ctx, options.set, usage);
        if (!setting) return Report(ctx, usage);
    }
    Roster roster;
    if (auto failure = roster.Open(ctx, options.roster)) return Report(ctx, *failure);

    LoggerLink link(ctx);
    Apply(ctx, *choices, link.Session());
    int port = options.port != 0 ? options.port : ctx.config.comNumber;
    if (auto failure = link.ChoosePort(port, port); failure && port == 0) return Report(ctx, *failure);
    link.Session().SetAutoJob(options.autoRead ? AutoJob::Read : AutoJob::Set);
    if (!ctx.json) PrintLine(ctx.Text(IDS_CLI_WAITING) + L" COM" + std::to_wstring(port));

    std::string lastLinkProblem;
    std::optional<Failure> rosterFailure;  // the last line the roster could not take
    while (WaitForPort(link, port)) {
        if (auto failure = link.Link(port)) {
            link.Unlink();
            if (failure->exit == Exit::Interrupted) break;
            // Said once, not every retry: a missing board or a held port keeps failing the same way.
            if (failure->kind != lastLinkProblem && !(failure->code && *failure->code == 8)) PrintError(failure->message);
            lastLinkProblem = failure->kind;
            link.Next(std::chrono::seconds(1));
            continue;
        }
        lastLinkProblem.clear();
        // Linked: every logger that links from here (a board put in, the adapter plugged
        // in again) gets the job when the session says it is due.
        bool linked = true;
        while (linked && !Interrupted()) {
            auto event = link.Next(std::chrono::seconds(1));
            if (!event) continue;
            if (link.FailureOf(*event)) {
                linked = false;
                continue;
            }
            link.Note(*event);
            if (!std::holds_alternative<ev::AutoJobDue>(*event)) continue;

            BirdLine bird;
            bird.read = options.autoRead;
            std::optional<Failure> failure;
            if (options.autoRead) {
                const ReadOutcome outcome = ReadAndSave(link, ctx, {});
                bird.records = outcome.count;
                failure = outcome.failure;
            } else {
                failure = CheckBeforeSetting(link, ctx, *setting, options.set.yes, false);
                if (!failure) failure = SetAndVerify(link, ctx, *setting).failure;
            }
            bird.time = std::time(nullptr);
            bird.serial = link.State().serial;
            bird.battery = link.State().status.battery / 10.0;
            bird.ok = !failure;
            if (failure) bird.message = failure->message;
            if (failure && failure->exit == Exit::Interrupted) break;
            // On disk before it is shown: a line seen on the screen is in the roster.
            if (!roster.Append(RosterLine(bird))) {
                rosterFailure = roster.NotWritten(ctx, errno);
                bird.ok = false;
                bird.message += (bird.message.empty() ? L"" : L" ") + rosterFailure->message;
            }
            Show(ctx, bird);
            // A refusal or a silence closes the link; the next logger links anew.
            if (failure && (failure->exit == Exit::NoAnswer || failure->exit == Exit::Refused)) linked = false;
        }
        link.Unlink();
    }
    // Interrupting is how a station's day ends; a day with a line missing from the roster
    // ends as a run whose files are not all written.
    if (rosterFailure) {
        rosterFailure->message = ctx.Text(IDS_NOT_ALL_SAVED) + L" " + rosterFailure->message;
        return Report(ctx, *rosterFailure);
    }
    return 0;
}

}  // namespace wing::cli
