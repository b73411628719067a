#include "platform/device_map.h"
#include "platform/paths.h"
#include "platform/settings_file.h"
#include "platform/unusual_files.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <string>

namespace fs = std::filesystem;

namespace wing {
namespace {

// A fabricated sysfs tree and /dev folder with the shapes the kernel gives: usb-serial
// ports below their interface, cdc_acm on the interface, 8250 ports behind the
// serial-base "port"/"ctrl" devices, a phantom 8250 port of type 0, a virtual console.
class DeviceMapTest : public ::testing::Test {
protected:
    void SetUp() override {
        char tmpl[] = "/tmp/wing-devmap-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        m_root = tmpl;
        m_sys = m_root / "sys";
        m_dev = m_root / "dev";
        fs::create_directories(m_sys / "class/tty");
        fs::create_directories(m_dev);
        const char* old = std::getenv("XDG_CONFIG_HOME");
        if (old != nullptr) m_oldXdg = old;
        ::setenv("XDG_CONFIG_HOME", (m_root / "config").c_str(), 1);
        SetDeviceMapRootsForTesting(m_sys.string(), m_dev.string());
    }
    void TearDown() override {
        SetDeviceMapRootsForTesting("", "");
        if (m_oldXdg.empty()) ::unsetenv("XDG_CONFIG_HOME");
        else ::setenv("XDG_CONFIG_HOME", m_oldXdg.c_str(), 1);
        fs::remove_all(m_root);
    }

    fs::path Driver(const std::string& bus, const std::string& name) {
        fs::path p = m_sys / "bus" / bus / "drivers" / name;
        fs::create_directories(p);
        return p;
    }
    void Write(const fs::path& p, const std::string& text) {
        fs::create_directories(p.parent_path());
        std::ofstream(p) << text << "\n";
    }
    void ClassEntry(const std::string& tty, const fs::path& device, const std::string& type = "") {
        fs::path dir = m_sys / "class/tty" / tty;
        fs::create_directories(dir);
        if (!device.empty()) fs::create_directory_symlink(device, dir / "device");
        if (!type.empty()) Write(dir / "type", type);
        std::ofstream(m_dev / tty).put('\n');
    }
    fs::path UsbDevice(const std::string& port, const std::string& serial) {
        fs::path usb = m_sys / "devices/pci0000:00/usb1" / port;
        Write(usb / "idVendor", "067b");
        Write(usb / "idProduct", "2303");
        if (!serial.empty()) Write(usb / "serial", serial);
        return usb;
    }
    // A pl2303 (or other usb-serial driver) adapter in USB port `port`.
    void UsbSerial(const std::string& tty, const std::string& port, const std::string& serial,
                   const std::string& driver = "pl2303") {
        fs::path usb = UsbDevice(port, serial);
        fs::path ttyDev = usb / (port + ":1.0") / tty;
        fs::create_directories(ttyDev);
        Write(ttyDev / "port_number", "0");
        fs::create_directory_symlink(Driver("usb-serial", driver), ttyDev / "driver");
        ClassEntry(tty, ttyDev);
    }
    void Acm(const std::string& tty, const std::string& port) {
        fs::path usb = UsbDevice(port, "");
        fs::path iface = usb / (port + ":1.0");
        fs::create_directories(iface);
        fs::create_directory_symlink(Driver("usb", "cdc_acm"), iface / "driver");
        ClassEntry(tty, iface);
    }
    void Uart(const std::string& tty, const std::string& pnp, const std::string& type) {
        fs::path ctl = m_sys / "devices/pnp0" / pnp;
        fs::path ctrl = ctl / (pnp + ":0");
        fs::path port = ctrl / (pnp + ":0.0");
        fs::create_directories(port);
        fs::create_directory_symlink(Driver("pnp", "serial"), ctl / "driver");
        fs::create_directory_symlink(Driver("serial-base", "ctrl"), ctrl / "driver");
        fs::create_directory_symlink(Driver("serial-base", "port"), port / "driver");
        ClassEntry(tty, port, type);
    }
    void UserFile(const std::string& text) { Write(m_root / "config/wing-utility/device-map.ini", text); }

    std::map<std::string, std::pair<std::wstring, std::wstring>> ByNode() {
        std::map<std::string, std::pair<std::wstring, std::wstring>> out;
        for (const auto& e : ReadSerialDeviceMap()) out[e.node] = {e.deviceName, e.comName};
        return out;
    }
    std::string Node(const std::string& tty) { return (m_dev / tty).string(); }

    fs::path m_root, m_sys, m_dev;
    std::string m_oldXdg;
};

TEST_F(DeviceMapTest, NamesDevicesAsTheirWindowsDriversAndSkipsPhantoms) {
    UsbSerial("ttyUSB0", "1-1", "AAA");
    UsbSerial("ttyUSB1", "1-2", "BBB", "ftdi_sio");
    UsbSerial("ttyUSB10", "1-3", "CCC");
    Acm("ttyACM0", "1-4");
    Uart("ttyS0", "00:04", "4");
    Uart("ttyS1", "00:05", "0");  // no UART behind it
    ClassEntry("tty0", {});

    auto map = ReadSerialDeviceMap();
    ASSERT_EQ(map.size(), 5u);
    // Natural tty order; the board UART is numbered first, the rest in that order.
    const struct { std::string tty; std::wstring name, com; } expected[] = {
        {"ttyACM0", L"\\Device\\USBSER0", L"COM2"},
        {"ttyS0", L"\\Device\\Serial0", L"COM1"},
        {"ttyUSB0", L"\\Device\\ProlificSerial0", L"COM3"},
        {"ttyUSB1", L"\\Device\\VCP0", L"COM4"},
        {"ttyUSB10", L"\\Device\\ProlificSerial1", L"COM5"},
    };
    for (std::size_t i = 0; i < map.size(); ++i) {
        SCOPED_TRACE(expected[i].tty);
        EXPECT_EQ(map[i].node, Node(expected[i].tty));
        EXPECT_EQ(map[i].deviceName, expected[i].name);
        EXPECT_EQ(map[i].comName, expected[i].com);
    }
    EXPECT_EQ(ResolveComPort(3), Node("ttyUSB0"));
    EXPECT_EQ(ResolveComPort(6), "");
    EXPECT_EQ(ResolveComPort(0), "");
    EXPECT_EQ(ResolveComPort(-3), "");
}

TEST_F(DeviceMapTest, NumbersStayWithTheAdapterAcrossReplugging) {
    UsbSerial("ttyUSB0", "1-1", "AAA");
    Acm("ttyACM0", "1-4");  // no serial number: known by the USB port it sits in
    EXPECT_EQ(ResolveComPort(1), Node("ttyACM0"));
    EXPECT_EQ(ResolveComPort(2), Node("ttyUSB0"));

    // Unplug both; the same Prolific adapter comes back in another port under another
    // tty name, a new one arrives first, and the ACM device returns to its port.
    fs::remove_all(m_sys / "class/tty");
    fs::remove_all(m_sys / "devices");
    fs::create_directories(m_sys / "class/tty");
    UsbSerial("ttyUSB0", "1-2", "NEW");
    UsbSerial("ttyUSB1", "1-3", "AAA");
    EXPECT_EQ(ResolveComPort(2), Node("ttyUSB1"));
    EXPECT_EQ(ResolveComPort(3), Node("ttyUSB0")) << "COM1 stays reserved for the absent ACM device";
    Acm("ttyACM3", "1-4");
    EXPECT_EQ(ResolveComPort(1), Node("ttyACM3"));
    EXPECT_EQ(FreeComNumber(), 4);
}

TEST_F(DeviceMapTest, UserFilePinsAndAddsEntriesAndSkipsNonsense) {
    UsbSerial("ttyUSB0", "1-1", "AAA");
    UsbSerial("ttyUSB1", "1-2", "BBB");
    fs::create_directories(m_dev / "serial/by-id");
    fs::create_symlink(m_dev / "ttyUSB1", m_dev / "serial/by-id/usb-Prolific-port0");
    std::ofstream(m_root / "pts7").put('\n');
    std::ofstream(m_root / "pts8").put('\n');
    UserFile("; station adapter\n"
             "[drives]\nC = /home/someone\nCOM9 = " + Node("ttyUSB0") + "\n"
             "[Ports]\n"
             "this line is nonsense\n"
             "COM3 = " + Node("ttyUSB0") + "   ; pinned\n"
             "com12 = " + (m_dev / "serial/by-id/usb-Prolific-port0").string() + "\n"
             "COM1234 = " + (m_root / "pts7").string() + ", \\Device\\ProlificSerial9\n"
             "COM77 = " + (m_root / "pts8").string() + "\n"
             "COM3 = " + (m_root / "pts8").string() + "\n"
             "COMx = /dev/null\nCOM0 = /dev/null\nCOM99999999999 = /dev/null\n"
             "COM5 = relative/node\nCOM6 = /dev/null,\nCOM8 = " + (m_root / "absent").string() + "\n"
             "= /dev/null\n[ports\nCOM4 /dev/null\n");

    auto map = ByNode();
    ASSERT_EQ(map.size(), 4u);
    EXPECT_EQ(map[Node("ttyUSB0")], std::make_pair(std::wstring(L"\\Device\\ProlificSerial0"), std::wstring(L"COM3")));
    EXPECT_EQ(map[Node("ttyUSB1")], std::make_pair(std::wstring(L"\\Device\\ProlificSerial1"), std::wstring(L"COM12")));
    EXPECT_EQ(map[(m_root / "pts7").string()],
              std::make_pair(std::wstring(L"\\Device\\ProlificSerial9"), std::wstring(L"COM1234")));
    EXPECT_EQ(map[(m_root / "pts8").string()], std::make_pair(std::wstring(L"\\Device\\Serial0"), std::wstring(L"COM77")));
    EXPECT_EQ(ResolveComPort(1234), (m_root / "pts7").string());
    EXPECT_EQ(ResolveComPort(8), "") << "the pinned node does not exist";
    // Pinned numbers are never handed out, present or not.
    EXPECT_EQ(FreeComNumber(8), 9);
    EXPECT_EQ(FreeComNumber(), 1);
}

TEST_F(DeviceMapTest, BrokenStateFileIsIgnored) {
    UsbSerial("ttyUSB0", "1-1", "AAA");
    Write(m_root / "config/wing-utility/com-numbers", "garbage\n-4 x\n0 y\n7\n99999999999 z\n\x01\x02");
    EXPECT_EQ(ResolveComPort(1), Node("ttyUSB0"));
}

TEST_F(DeviceMapTest, SimulatorRegistrationsComeLastAndLeaveWithTheirProcess) {
    UsbSerial("ttyUSB0", "1-1", "AAA");
    std::ofstream(m_root / "pty").put('\n');
    const std::string node = (m_root / "pty").string();

    EXPECT_FALSE(RegisterSimulatedPort(1, node)) << "COM1 belongs to the kernel adapter";
    EXPECT_FALSE(RegisterSimulatedPort(0, node));
    ASSERT_TRUE(RegisterSimulatedPort(1000, node));
    EXPECT_FALSE(RegisterSimulatedPort(1000, node)) << "already registered";

    auto map = ReadSerialDeviceMap();
    ASSERT_EQ(map.size(), 2u);
    EXPECT_EQ(map.back().comName, L"COM1000");
    EXPECT_EQ(map.back().deviceName, L"\\Device\\ProlificSerial1");
    EXPECT_EQ(map.back().node, node);
    EXPECT_EQ(ResolveComPort(1000), node);

    EXPECT_TRUE(UnregisterSimulatedPort(1000));
    EXPECT_FALSE(UnregisterSimulatedPort(1000));
    EXPECT_EQ(ResolveComPort(1000), "");

    // A registration written by a process that has ended is ignored and cleared.
    pid_t child = ::fork();
    if (child == 0) {
        RegisterSimulatedPort(4000, node);
        ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    EXPECT_TRUE(fs::exists(m_root / "config/wing-utility/simulated-ports/COM4000"));
    EXPECT_EQ(ResolveComPort(4000), "");
    EXPECT_FALSE(fs::exists(m_root / "config/wing-utility/simulated-ports/COM4000"));
    EXPECT_FALSE(UnregisterSimulatedPort(4000));
    // ... and its number can be registered again.
    EXPECT_TRUE(RegisterSimulatedPort(4000, node));
    EXPECT_TRUE(UnregisterSimulatedPort(4000));
}

TEST_F(DeviceMapTest, PinnedNumberCannotBeRegisteredAndRegistrationNeverDuplicatesAComName) {
    std::ofstream(m_root / "pty").put('\n');
    const std::string node = (m_root / "pty").string();
    UserFile("[ports]\nCOM5 = " + (m_root / "absent").string() + "\n");
    EXPECT_FALSE(RegisterSimulatedPort(5, node));
    ASSERT_TRUE(RegisterSimulatedPort(6, node));
    // The adapter that later arrives and is pinned to COM6 wins; the registration drops out.
    UserFile("[ports]\nCOM6 = " + (m_root / "pty").string() + ", \\Device\\Mine\n");
    auto map = ReadSerialDeviceMap();
    ASSERT_EQ(map.size(), 1u);
    EXPECT_EQ(map[0].deviceName, L"\\Device\\Mine");
    EXPECT_TRUE(UnregisterSimulatedPort(6));
}

TEST_F(DeviceMapTest, BadMapFilesKeepTheKernelPortsAndOnlyWholePinLines) {
    UsbSerial("ttyUSB0", "1-1", "AAA");
    std::ofstream(m_root / "pts7").put('\n');
    const std::string pts7 = (m_root / "pts7").string();
    std::string garbage(4096, '\0');
    unsigned seed = 7;
    for (auto& c : garbage) c = static_cast<char>((seed = seed * 1103515245u + 12345u) >> 16);
    // Wherever a reader cut this comment, a piece would start like a pin or a drive. It is
    // thousands of times inih's line, yet leaves the file within the size that is read.
    std::string longComment = "; ";
    while (longComment.size() < kSettingsFileLimit - 4096) longComment += "COM5 = " + pts7 + " C = /elsewhere ";

    using Coms = std::map<std::string, std::wstring>;
    struct Case {
        const char* what;
        std::string text;
        Coms expected;  // node -> COM name
    };
    // In this order: the adapter keeps the COM1 it is first given until the last case pins it.
    const Case cases[] = {
        {"binary garbage", garbage, {{Node("ttyUSB0"), L"COM1"}}},
        {"binary garbage around a pin", garbage + "\n[ports]\nCOM7 = " + pts7 + "\n" + garbage,
         {{Node("ttyUSB0"), L"COM1"}, {pts7, L"COM7"}}},
        {"a comment of almost 1 MiB full of pins", "[ports]\n" + longComment + "\n", {{Node("ttyUSB0"), L"COM1"}}},
        {"a NUL ends only its own line", "[ports]\n; note" + std::string(1, '\0') + "COM5 = /dev/null\nCOM7 = " + pts7,
         {{Node("ttyUSB0"), L"COM1"}, {pts7, L"COM7"}}},
        {"an indented pin is a line of its own", "[ports]\nCOM3 = " + Node("ttyUSB0") + "\n    COM7 = " + pts7,
         {{Node("ttyUSB0"), L"COM3"}, {pts7, L"COM7"}}},
    };
    for (const auto& c : cases) {
        UserFile(c.text);
        Coms coms;
        for (const auto& [node, names] : ByNode()) coms[node] = names.second;
        EXPECT_EQ(coms, c.expected) << c.what;
    }

    UserFile("[drives]\n" + longComment + "\nC = " + (m_root / "right").string() + "\n");
    EXPECT_EQ(DriveRoot(L'C'), m_root / "right");
}

// The map file, the remembered numbers and a simulator's registration each read as absent
// when they are anything but a small regular file: the lookup returns at once (a FIFO
// once made it wait for ever, with the state lock held) and the adapter gets the number
// it would get on a fresh system.
TEST_F(DeviceMapTest, StateFilesThatAreNoSmallFilesReadAsAbsent) {
    UsbSerial("ttyUSB0", "1-1", "AAA");
    std::ofstream(m_root / "pts7").put('\n');
    const fs::path dir = m_root / "config/wing-utility";
    // What each file says when it is read: taken from the files this code writes itself.
    ASSERT_EQ(ResolveComPort(1), Node("ttyUSB0"));
    std::string remembered;
    std::getline(std::ifstream(dir / "com-numbers"), remembered);
    ASSERT_EQ(remembered.rfind("1 ", 0), 0u);
    remembered = "5" + remembered.substr(1) + "\n";  // the adapter was COM5
    ASSERT_TRUE(RegisterSimulatedPort(7, (m_root / "pts7").string()));
    std::stringstream registration;
    registration << std::ifstream(dir / "simulated-ports/COM7").rdbuf();
    ASSERT_TRUE(UnregisterSimulatedPort(7));
    const struct {
        fs::path path;
        std::string content;
    } files[] = {
        {dir / "device-map.ini", "[ports]\nCOM7 = " + (m_root / "pts7").string() + "\n"},
        {dir / "com-numbers", remembered},
        {dir / "simulated-ports/COM7", registration.str()},
    };
    for (const auto& file : files) {
        for (const auto& kind : test::UnusualFiles()) {
            SCOPED_TRACE(file.path.filename().string() + " as " + kind.what);
            for (const auto& f : files) fs::remove_all(f.path);
            kind.make(file.path, file.content);
            std::map<std::string, std::wstring> coms;
            EXPECT_TRUE(test::ReturnsWithinFiveSeconds(
                [&] {
                    for (const auto& [node, names] : ByNode()) coms[node] = names.second;
                },
                file.path));
            EXPECT_EQ(coms, (std::map<std::string, std::wstring>{{Node("ttyUSB0"), L"COM1"}}));
        }
    }
}

TEST(DeviceMapRealSystem, ComNamesAreUnique) {
    char tmpl[] = "/tmp/wing-devmap-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    const char* old = std::getenv("XDG_CONFIG_HOME");
    std::string oldXdg = old != nullptr ? old : "";
    ::setenv("XDG_CONFIG_HOME", tmpl, 1);
    std::set<std::wstring> seen;
    for (const auto& e : ReadSerialDeviceMap()) {
        EXPECT_TRUE(seen.insert(e.comName).second) << "duplicate " << e.node;
        EXPECT_EQ(e.comName.rfind(L"COM", 0), 0u);
    }
    if (oldXdg.empty()) ::unsetenv("XDG_CONFIG_HOME");
    else ::setenv("XDG_CONFIG_HOME", oldXdg.c_str(), 1);
    fs::remove_all(tmpl);
}

}  // namespace
}  // namespace wing
