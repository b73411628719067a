// Finding the adapter and listing ports, on a device map written by the test.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>

#include "serial/port_discovery.h"
#include "support/temp_config.h"

namespace wing {
namespace {

class RecordingCombo : public IPortComboBox {
public:
    void AddString(const std::wstring& text) override { items.push_back(text); }
    void SetCurSel(int index) override { selected = index; }
    std::vector<std::wstring> items;
    int selected = -1;
};

class PortDiscovery : public ::testing::Test {
protected:
    // Writes the user map's [ports] section: (COM name, driver device name) in file order.
    void WriteMap(const std::vector<std::pair<std::string, std::string>>& ports) {
        std::filesystem::create_directories(config.ConfigDir());
        std::ofstream ini(config.ConfigDir() + "/device-map.ini");
        ini << "[ports]\n";
        int k = 0;
        for (const auto& [com, name] : ports) {
            // A pin only counts while its node exists.
            std::string node = config.Root() + "/dev/ttyFAKE" + std::to_string(k++);
            std::ofstream{node};
            ini << com << " = " << node << ", " << name << "\n";
        }
    }
    test::TempConfig config;
};

TEST_F(PortDiscovery, AdapterIsFoundByItsDriverName) {
    struct Case {
        std::vector<std::pair<std::string, std::string>> map;
        int expected;
    } cases[] = {
        {{{"COM1", "\\Device\\Serial0"}, {"COM7", "\\Device\\ProlificSerial0"}}, 7},
        {{{"COM4", "\\Device\\ProlificSerial0"}, {"COM9", "\\Device\\ProlificSerial1"}}, 9},  // the last match
        {{{"COM1", "\\Device\\Serial0"}, {"COM2", "\\Device\\VCP0"}}, 0},
        {{}, 0},
        {{{"COM12345", "\\Device\\ProlificSerial0"}}, 12345},  // more than three digits, read whole
    };
    for (const auto& c : cases) {
        WriteMap(c.map);
        EXPECT_EQ(FindAdapterPort(), c.expected) << (c.map.empty() ? "empty map" : c.map.back().first);
    }
}

TEST_F(PortDiscovery, PortListIsFilledInMapOrderAndSelectsTheFirst) {
    WriteMap({{"COM3", "\\Device\\Serial0"}, {"COM1", "\\Device\\ProlificSerial0"}, {"COM1000", "\\Device\\VCP0"}});
    RecordingCombo combo;
    combo.AddString(L"kept");  // the caller empties the box when it wants to
    FillPortList(combo);
    EXPECT_THAT(combo.items, ::testing::ElementsAre(L"kept", L"COM3", L"COM1", L"COM1000"));
    EXPECT_EQ(combo.selected, 0);
}

TEST(PortNumber, DigitsAfterCom) {
    EXPECT_EQ(PortNumberFromName(L"COM7"), 7);
    EXPECT_EQ(PortNumberFromName(L"COM"), 0);
    EXPECT_EQ(PortNumberFromName(L"COMx"), 0);
    EXPECT_EQ(PortNumberFromName(L"COM99999999999"), 0);  // does not fit: no port
}

}  // namespace
}  // namespace wing
