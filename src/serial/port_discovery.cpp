#include "serial/port_discovery.h"

#include <cwctype>

#include "platform/device_map.h"

namespace wing {

int PortNumberFromName(const std::wstring& comName) {
    // Every digit counts: a number of more than three digits is read whole, not cut short.
    if (comName.size() <= 3) return 0;
    long long n = 0;
    std::size_t i = 3;
    for (; i < comName.size() && std::iswdigit(comName[i]); ++i) {
        n = n * 10 + (comName[i] - L'0');
        if (n > 0x7FFFFFFF) return 0;
    }
    return static_cast<int>(n);
}

int FindAdapterPort() {
    int result = 0;
    for (const auto& entry : ReadSerialDeviceMap())
        if (entry.deviceName.find(L"ProlificSerial") != std::wstring::npos) result = PortNumberFromName(entry.comName);
    return result;
}

void FillPortList(IPortComboBox& combo) {
    for (const auto& entry : ReadSerialDeviceMap()) combo.AddString(entry.comName);
    combo.SetCurSel(0);
}

}  // namespace wing
