#pragma once
// What a logger session reports: one small struct per happening, delivered as one
// SessionEvent to the sink the front end gave. Events carry copies, never pointers into
// the session, so a front end may handle them on any thread and at any later time.

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "export/file_output.h"

namespace wing {

// The nine commands, as the events name them.
enum class CommandKind { SetClock, QueryStatus, QueryLogCount, SetMode, ReadLog, DeleteLog, GetVersion, GetSerial, SoftwareSwitch };

// What a status answer said.
struct DeviceStatus {
    std::uint32_t deviceClock = 0;
    std::uint8_t switchState = 0;  // 0 off, 1 on, other: neither
    std::uint8_t startType = 0;    // 1 reserved start, anything else start now
    std::uint32_t reservedStart = 0;
    std::uint8_t battery = 0;     // tenths of a volt
    std::uint8_t recordMode = 0;  // 0-2 interval modes, 3 racing
};

// What to do, unasked, with each logger that links (the station's automatic modes).
enum class AutoJob { None, Read, Set };

namespace ev {

struct PortOpened {};
struct PortOpenFailed {};
struct ClockWritten {};
struct VersionRead {
    std::wstring text;
};
// `supported` false: an older firmware that has no serial number; the link goes on.
struct SerialRead {
    std::wstring text;
    bool supported = true;
};
struct StatusRead {
    DeviceStatus status;
    bool firstOfLink = false;  // the link is complete with this answer
    bool relinking = false;    // the board came back: the logger is being linked again
    bool refreshLines = false;  // the switch moved, or the lines are due for another reason
    // Present on the first status after a setting: whether the logger holds what was sent.
    std::optional<bool> settingHeld;
};
// The GPS board does not answer: the session keeps polling and links again when it is back.
struct BoardMissing {};
// The logger refused a command; the link is being closed.
struct Refused {
    CommandKind command;
    std::wstring commandName;
    unsigned code = 0;
};
// A command went unanswered after every attempt; the link is being closed.
struct NoAnswer {
    CommandKind command;
    std::wstring commandName;
};
struct CountAsked {};
struct ReadProgress {
    unsigned index = 0;  // the first record of the page just stored
    unsigned count = 0;  // the records the logger reported
};
struct LogEmpty {};
struct LogReadError {};
// The download ended without its data (the count never came, a request unanswered).
struct ReadFailed {};
struct ReadDone {
    unsigned index = 0;
    unsigned count = 0;
};
// The files of a download; `failures` empty when every file is in place.
struct FilesSaved {
    std::vector<ExportFailure> failures;  // the archive's first when it failed
    std::filesystem::path archivePath;    // the download's archive; empty when it failed
    std::uint32_t elapsedMs = 0;  // from the read request to the last file
};
struct LinkClosed {};
// A logger has just linked and an automatic job is set: the front end starts it.
struct AutoJobDue {
    AutoJob job = AutoJob::None;
};

}  // namespace ev

using SessionEvent =
    std::variant<ev::PortOpened, ev::PortOpenFailed, ev::ClockWritten, ev::VersionRead, ev::SerialRead,
                 ev::StatusRead, ev::BoardMissing, ev::Refused, ev::NoAnswer, ev::CountAsked,
                 ev::ReadProgress, ev::LogEmpty, ev::LogReadError, ev::ReadFailed, ev::ReadDone,
                 ev::FilesSaved, ev::LinkClosed, ev::AutoJobDue>;

// The name of an event's kind, for logs and test output.
const char* EventName(const SessionEvent& event);

}  // namespace wing
