#pragma once
// The serial device map: which driver device names exist and which "COMn" each one
// is, and the device node behind each COMn. It stands in for the registry's
// HARDWARE\DEVICEMAP\SERIALCOMM key and for opening "\\.\COMn".
//
// Sources, merged in this order (the order ReadSerialDeviceMap returns):
//  1. the kernel's serial devices (sysfs), in natural order of their tty names
//     (ttyACM0, ttyACM1, ..., ttyS0, ..., ttyUSB0, ttyUSB2, ttyUSB10);
//  2. entries added by the user map file, in file order;
//  3. ports registered by running simulators, by ascending COM number.
// A COM number appears at most once; a user pin beats a remembered number, which
// beats a simulator registration.
//
// Files under $XDG_CONFIG_HOME/wing-utility/ (default ~/.config/wing-utility/):
//  device-map.ini    the user's file; its [ports] section pins "COMn = /dev/node"
//                    (optionally "COMn = /dev/node, \Device\Name")
//  com-numbers       the numbers remembered per adapter (written by this code)
//  simulated-ports/  one file per simulator registration

#include <string>
#include <vector>

namespace wing {

struct SerialMapEntry {
    std::wstring deviceName;  // e.g. L"\\Device\\ProlificSerial0"
    std::wstring comName;     // e.g. L"COM3"
    std::string node;         // e.g. "/dev/ttyUSB0"
};

// The map in its order (see above). Never fails: unreadable sources are left out.
// New adapters are given the lowest COM number that no other adapter has ever had
// and that the user file does not pin; the number is remembered for next time.
std::vector<SerialMapEntry> ReadSerialDeviceMap();

// The device node that "COMn" maps to, or empty when COMn is not in the map.
std::string ResolveComPort(int comNumber);

// Registers `node` as a Prolific adapter on COM`comNumber` for as long as this process
// lives (a registration of a process that has ended is ignored and cleared). Fails when
// the number is not positive or already appears in the map.
bool RegisterSimulatedPort(int comNumber, const std::string& node);

// Removes this process's registration of COM`comNumber`; false when there was none.
bool UnregisterSimulatedPort(int comNumber);

// The lowest COM number >= `from` that is neither in the map, nor pinned by the user
// file, nor remembered for an adapter.
int FreeComNumber(int from = 1);

// The folder $XDG_CONFIG_HOME/wing-utility (not created here).
std::string WingConfigDir();

// Lets tests read a fabricated sysfs tree and device folder instead of /sys and /dev.
// Empty strings restore the real ones.
void SetDeviceMapRootsForTesting(const std::string& sysRoot, const std::string& devRoot);

}  // namespace wing
