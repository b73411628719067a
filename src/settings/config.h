#pragma once
// The six settings of "Wing.ini" beside the executable, plus the time server's host.
// Read once at start-up and never written.

#include <cstdint>
#include <filesystem>
#include <string>

namespace wing {

inline constexpr const char* kConfigFileName = "Wing.ini";
inline constexpr const char* kDefaultNtpServer = "pool.ntp.org";
// Caption of the tool's own message boxes.
inline constexpr const wchar_t* kApplicationName = L"WingUtility";

struct Config {
    // Values before the file is read; only languageByOS is used that early.
    int competition = 1;             // [Mode] Competition: non-zero = racing configuration
    std::uint32_t threshold = 0;     // [Power] Threshold: battery, tenths of a volt
    std::uint8_t languageByOS = 1;   // [Language] LanguageByOS: low 8 bits of the value
    int ntpEnable = 0;               // [NTP] NTP: set the PC clock at start
    int personal = 0;                // [Personal] ENABLE: personal mode
    int comNumber = 0;               // [Personal] COM: fixed port of station mode
    std::string ntpServer = kDefaultNtpServer;  // [NTP] Server
    std::string loft;                // [Flight] Loft: the loft's position as the fancier typed it
    std::string loftName = "Loft";   // [Flight] LoftName
    int arrivalRadius = 100;         // [Flight] ArrivalRadius: metres from the loft that count as home
    int openFlightAfterSave = 1;     // [Flight] OpenAfterSave: show the flight after a read and save
    int gpx = 0;  // [Export] GPX: write a GPX beside the CSV
};

// "<executable's directory>Wing.ini".
std::filesystem::path ConfigFilePath();

// Reads the profile file at `path`. When it is absent, string 169 in `langId` is shown in
// a message box (OK only, the application's name as caption) and, after the box closes,
// the fall-backs 1, 40, 1, 0, 1, 0 are used.
Config LoadConfig(unsigned langId, const std::filesystem::path& path);
// The same for the file beside the executable.
Config LoadConfig(unsigned langId);

}  // namespace wing
