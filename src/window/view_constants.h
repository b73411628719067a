#pragma once
// The main window's control ids, the colours of its status texts and the steps of its
// link progress bar.

#include <QColor>

namespace wing {

// Control ids of the main dialog.
enum : int {
    IDC_TITLE = 1000,
    IDC_GROUP_TIME = 1001,
    IDC_OPEN_FOLDER = 1005,
    IDC_EXIT = 1006,
    IDC_GROUP_LINK = 1007,
    IDC_LINK = 1009,
    IDC_LINK_PROGRESS = 1010,
    IDC_PORT_LABEL = 1011,
    IDC_GROUP_SETTING = 1013,
    IDC_START_NOW = 1014,
    IDC_START_RESERVED = 1015,
    IDC_DATE_PICKER = 1016,
    IDC_TIME_PICKER = 1017,
    IDC_RECORD_MODE = 1019,
    IDC_SETTING = 1020,
    IDC_READ_SAVE = 1021,
    IDC_READ_PROGRESS = 1022,
    IDC_DATE_TEXT = 1023,
    IDC_TIME_TEXT = 1024,
    IDC_MODE_LABEL = 1025,
    IDC_STATIC_1027 = 1027,
    IDC_READ_MESSAGE = 1028,
    IDC_GROUP_DATA = 1029,
    IDC_MAP_NOTE = 1030,
    IDC_STATUS_LIST = 1032,
    IDC_READ_COUNTER = 1033,
    IDC_PORT_LIST = 1034,
    IDC_BATTERY = 1035,
    IDC_SERIAL = 1037,
    IDC_AUTO_READ = 1038,
    IDC_AUTO_SET = 1039,
    IDC_VERDICT = 1040,
    IDC_ERROR_LINE = 1041,
};

constexpr int kAboutCommand = 16;
constexpr int kFlightsCommand = 32;
constexpr int kSettingsCommand = 48;
constexpr int kStationReleaseCommand = 64;  // station mode: the release of the day's race

// Colours of the status texts.
inline QColor DarkGreen() { return QColor(0, 127, 0); }
inline QColor DarkRed() { return QColor(127, 0, 0); }
inline QColor DarkBlue() { return QColor(0, 0, 127); }
inline QColor Magenta() { return QColor(255, 0, 255); }
// The switch notes in the report's place are drawn large.
inline constexpr int kSwitchNotePoints = 12;

// The link progress bar: port open, clock written, version, serial number, first status.
inline constexpr int kLinkProgressPortOpen = 20;
inline constexpr int kLinkProgressClock = 40;
inline constexpr int kLinkProgressVersion = 60;
inline constexpr int kLinkProgressSerial = 80;
inline constexpr int kLinkProgressLinked = 100;
// The download bar counts the page just stored as read: (index + this) of the count.
inline constexpr unsigned kReadProgressPageAhead = 8;

}  // namespace wing
