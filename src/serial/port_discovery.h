#pragma once
// Finding the logger's adapter in the serial device map, and listing every port.

#include <string>

namespace wing {

// The combo box the port list is filled into.
class IPortComboBox {
public:
    virtual ~IPortComboBox() = default;
    virtual void AddString(const std::wstring& text) = 0;
    virtual void SetCurSel(int index) = 0;
};

// The COM number of the last adapter whose driver name contains "ProlificSerial"; 0 when none.
int FindAdapterPort();

// Adds every port name in map order and selects entry 0; does not empty the box first.
void FillPortList(IPortComboBox& combo);

// The number after "COM" in a port name; 0 when there are no digits or it does not fit.
int PortNumberFromName(const std::wstring& comName);

}  // namespace wing
