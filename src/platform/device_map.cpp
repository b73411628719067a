#include "platform/device_map.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <signal.h>
#include <sstream>

#include <ini.h>

#include "platform/ini_text.h"
#include "platform/settings_file.h"
#include "platform/text.h"

namespace wing {
namespace {

std::mutex g_rootMutex;
std::string g_sysRoot;  // empty: "/sys"
std::string g_devRoot;  // empty: "/dev"

std::pair<std::string, std::string> Roots() {
    std::lock_guard<std::mutex> lock(g_rootMutex);
    return {g_sysRoot.empty() ? std::string("/sys") : g_sysRoot,
            g_devRoot.empty() ? std::string("/dev") : g_devRoot};
}

bool Exists(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

std::string RealPath(const std::string& path) {
    char buf[PATH_MAX];
    if (::realpath(path.c_str(), buf) == nullptr) return {};
    return buf;
}

std::string BaseName(const std::string& path) {
    auto pos = path.find_last_of('/');
    return pos == std::string::npos ? path : path.substr(pos + 1);
}

std::string Parent(const std::string& path) {
    auto pos = path.find_last_of('/');
    if (pos == std::string::npos || pos == 0) return "/";
    return path.substr(0, pos);
}

std::string ReadFirstLine(const std::string& path) {
    std::ifstream in(path);
    std::string line;
    if (!in || !std::getline(in, line)) return {};
    while (!line.empty() && std::isspace(static_cast<unsigned char>(line.back()))) line.pop_back();
    return line;
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

std::string Trim(std::string_view s) {
    std::size_t b = 0, e = s.size();
    while (b < e && std::isspace(static_cast<unsigned char>(s[b]))) ++b;
    while (e > b && std::isspace(static_cast<unsigned char>(s[e - 1]))) --e;
    return std::string(s.substr(b, e - b));
}

// "COM12" (any case) -> 12; 0 for anything else. Numbers must fit an int.
int ParseComName(std::string_view name) {
    if (name.size() < 4 || !EqualsNoCase(name.substr(0, 3), "COM")) return 0;
    long long value = 0;
    for (char c : name.substr(3)) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > INT_MAX) return 0;
    }
    return static_cast<int>(value);
}

std::wstring ComName(int n) { return L"COM" + std::to_wstring(n); }

void MakeDirs(const std::string& path) {
    std::string partial;
    std::stringstream ss(path);
    std::string part;
    while (std::getline(ss, part, '/')) {
        if (part.empty()) continue;
        partial += "/" + part;
        ::mkdir(partial.c_str(), 0755);
    }
}

// Orders tty names by their letters, then by the number at their end: ttyUSB2 < ttyUSB10.
bool NaturalLess(const std::string& a, const std::string& b) {
    auto split = [](const std::string& s) {
        std::size_t i = s.size();
        while (i > 0 && std::isdigit(static_cast<unsigned char>(s[i - 1]))) --i;
        long long n = -1;
        if (i < s.size() && s.size() - i < 18) n = std::stoll(s.substr(i));
        return std::make_pair(s.substr(0, i), n);
    };
    auto sa = split(a), sb = split(b);
    if (sa.first != sb.first) return sa.first < sb.first;
    if (sa.second != sb.second) return sa.second < sb.second;
    return a < b;
}

// ---- kernel devices --------------------------------------------------------

struct KernelPort {
    std::string ttyName;  // ttyUSB0
    std::string node;     // /dev/ttyUSB0
    std::string family;   // "ProlificSerial", "Serial", ...
    std::string key;      // stable identity of the adapter
    bool legacy = false;  // a UART on the board: numbered first, as COM1/COM2 are
};

std::string DriverName(const std::string& deviceDir) {
    std::string link = RealPath(deviceDir + "/driver");
    return link.empty() ? std::string() : BaseName(link);
}

// The driver that owns a tty's device. Recent kernels put 8250 ports on the
// serial-base bus ("port" under "ctrl"); the real driver is the one above them.
std::string OwningDriver(std::string dir, const std::string& sysRoot) {
    for (int depth = 0; depth < 6 && dir.size() > sysRoot.size(); ++depth) {
        std::string driver = DriverName(dir);
        if (driver.empty()) return {};
        if (driver != "port" && driver != "ctrl") return driver;
        dir = Parent(dir);
    }
    return {};
}

std::string FamilyOf(const std::string& driver, const std::string& ttyName, bool& legacy) {
    legacy = false;
    if (driver == "pl2303") return "ProlificSerial";
    if (driver == "ftdi_sio") return "VCP";
    if (driver == "cdc_acm") return "USBSER";
    if (driver == "cp210x") return "Silabser";
    if (driver == "serial8250" || driver == "serial" || driver.rfind("8250", 0) == 0 ||
        driver.rfind("dw-apb-uart", 0) == 0 || driver == "of_serial" || ttyName.rfind("ttyS", 0) == 0) {
        legacy = true;
        return "Serial";
    }
    std::string family;
    for (char c : driver) {
        if (std::isalnum(static_cast<unsigned char>(c))) family += c;
    }
    return family.empty() ? std::string("Serial") : family;
}

std::string Sanitize(const std::string& s) {
    std::string out;
    for (char c : s) {
        out += (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-' || c == ':' || c == '/' ||
                c == '_')
                   ? c
                   : '_';
    }
    return out;
}

// What stays the same when the adapter is plugged in again: for a USB adapter its
// vendor, product and serial number (or, without a serial number, the USB port it
// sits in), the interface and the port within it; for anything else its sysfs path.
std::string StableKey(const std::string& ttyClassDir, const std::string& deviceDir, const std::string& sysRoot) {
    std::string dir = deviceDir;
    std::string below;  // the path component just under the USB device: its interface
    for (int depth = 0; depth < 8 && dir.size() > sysRoot.size(); ++depth) {
        if (Exists(dir + "/idVendor") && Exists(dir + "/idProduct")) {
            std::string key = "usb:" + ReadFirstLine(dir + "/idVendor") + ":" + ReadFirstLine(dir + "/idProduct");
            std::string serial = ReadFirstLine(dir + "/serial");
            key += serial.empty() ? ":at=" + BaseName(dir) : ":sn=" + serial;
            auto colon = below.find(':');
            if (colon != std::string::npos) key += ":if=" + below.substr(colon + 1);
            std::string portNumber = ReadFirstLine(deviceDir + "/port_number");
            if (!portNumber.empty()) key += ":port=" + portNumber;
            return Sanitize(key);
        }
        below = BaseName(dir);
        dir = Parent(dir);
    }
    std::string real = RealPath(ttyClassDir);
    if (real.rfind(sysRoot, 0) == 0) real = real.substr(sysRoot.size());
    return Sanitize("sys:" + real);
}

std::vector<KernelPort> ScanKernelPorts() {
    auto [sysRoot, devRoot] = Roots();
    std::string realSys = RealPath(sysRoot);
    if (realSys.empty()) return {};
    std::vector<KernelPort> ports;
    std::string classDir = sysRoot + "/class/tty";
    DIR* d = ::opendir(classDir.c_str());
    if (d == nullptr) return {};
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) {
        std::string name = e->d_name;
        if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end(), NaturalLess);
    for (const auto& name : names) {
        std::string ttyDir = classDir + "/" + name;
        std::string deviceDir = RealPath(ttyDir + "/device");
        if (deviceDir.empty()) continue;  // virtual consoles, ptmx, ...
        std::string driver = OwningDriver(deviceDir, realSys);
        if (driver.empty()) continue;
        // An 8250 port that the kernel set up but found no UART at reports type 0.
        std::string type = ReadFirstLine(ttyDir + "/type");
        if (!type.empty() && std::atoi(type.c_str()) == 0) continue;
        KernelPort port;
        port.ttyName = name;
        port.node = devRoot + "/" + name;
        port.family = FamilyOf(driver, name, port.legacy);
        port.key = StableKey(ttyDir, deviceDir, realSys);
        ports.push_back(std::move(port));
    }
    return ports;
}

// ---- remembered numbers -------------------------------------------------------

std::string StatePath() { return WingConfigDir() + "/com-numbers"; }

// One "<number> <key>" per line; anything else is skipped.
std::map<std::string, int> ReadRemembered() {
    std::map<std::string, int> remembered;
    // Read while the state lock is held: a FIFO here must not keep every other process waiting.
    std::istringstream in(ReadSettingsFile(StatePath()).value_or(std::string()));
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream ls(line);
        long long n = 0;
        std::string key;
        if (!(ls >> n >> key) || n <= 0 || n > INT_MAX) continue;
        remembered.emplace(key, static_cast<int>(n));
    }
    return remembered;
}

void WriteRemembered(const std::map<std::string, int>& remembered) {
    std::string path = StatePath();
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out) return;
        for (const auto& [key, n] : remembered) out << n << ' ' << key << '\n';
        if (!out.flush()) {
            ::unlink(tmp.c_str());
            return;
        }
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) ::unlink(tmp.c_str());
}

// Held while the map is computed, so two processes never hand out one number twice.
class StateLock {
public:
    StateLock() {
        std::string dir = WingConfigDir();
        MakeDirs(dir);
        m_fd = ::open((dir + "/com-numbers.lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (m_fd >= 0) ::flock(m_fd, LOCK_EX);
    }
    ~StateLock() {
        if (m_fd >= 0) ::close(m_fd);  // closing releases the lock
    }
    StateLock(const StateLock&) = delete;
    StateLock& operator=(const StateLock&) = delete;

private:
    int m_fd = -1;
};

// ---- the user file ------------------------------------------------------------

struct Pin {
    int com = 0;
    std::string node;
    std::string deviceName;  // empty: derived
};

int PinHandler(void* user, const char* section, const char* name, const char* value) {
    auto* pins = static_cast<std::vector<Pin>*>(user);
    if (!EqualsNoCase(section, "ports")) return 1;
    int com = ParseComName(Trim(name));
    if (com <= 0) return 1;
    std::string text = value;
    std::string node = text, deviceName;
    auto comma = text.find(',');
    if (comma != std::string::npos) {
        node = Trim(text.substr(0, comma));
        deviceName = Trim(text.substr(comma + 1));
        if (deviceName.empty()) return 1;
    }
    node = Trim(node);
    if (node.empty() || node[0] != '/') return 1;
    for (const auto& p : *pins) {
        if (p.com == com || p.node == node) return 1;  // the first line for a number or node wins
    }
    pins->push_back({com, node, deviceName});
    return 1;
}

std::vector<Pin> ReadPins() {
    std::vector<Pin> pins;
    auto text = ReadIniSafeFile(WingConfigDir() + "/device-map.ini");
    if (!text) return pins;
    ini_parse_string(text->c_str(), PinHandler, &pins);  // syntax errors are skipped line by line
    return pins;
}

// ---- simulator registrations -----------------------------------------------------

std::string RegistrationDir() { return WingConfigDir() + "/simulated-ports"; }

std::string RegistrationPath(int com) { return RegistrationDir() + "/COM" + std::to_string(com); }

// Field 22 of /proc/<pid>/stat: when the process started, so a reused pid is not
// mistaken for the process that registered.
std::string ProcessStartTime(long pid) {
    std::string stat = ReadFirstLine("/proc/" + std::to_string(pid) + "/stat");
    auto paren = stat.rfind(')');
    if (paren == std::string::npos) return {};
    std::istringstream in(stat.substr(paren + 1));
    std::string field;
    for (int i = 3; i <= 22; ++i) {
        if (!(in >> field)) return {};
    }
    return field;
}

struct Registration {
    int com = 0;
    long pid = 0;
    std::string start;
    std::string node;
};

std::optional<Registration> ReadRegistration(const std::string& path) {
    const auto text = ReadSettingsFile(path);
    if (!text) return std::nullopt;
    std::istringstream in(*text);
    Registration r;
    std::string line;
    while (std::getline(in, line)) {
        auto eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        if (key == "pid") r.pid = std::atol(value.c_str());
        else if (key == "start") r.start = value;
        else if (key == "node") r.node = value;
        else if (key == "com") r.com = std::atoi(value.c_str());
    }
    if (r.pid <= 0 || r.com <= 0 || r.node.empty()) return std::nullopt;
    return r;
}

bool IsAlive(const Registration& r) {
    if (::kill(static_cast<pid_t>(r.pid), 0) != 0 && errno == ESRCH) return false;
    return ProcessStartTime(r.pid) == r.start;
}

// Live registrations by COM number; those of ended processes are removed.
std::vector<Registration> ReadRegistrations() {
    std::vector<Registration> regs;
    std::string dir = RegistrationDir();
    DIR* d = ::opendir(dir.c_str());
    if (d == nullptr) return regs;
    std::vector<std::string> names;
    while (dirent* e = ::readdir(d)) names.push_back(e->d_name);
    ::closedir(d);
    for (const auto& name : names) {
        int com = ParseComName(name);
        if (com <= 0 || name != "COM" + std::to_string(com)) continue;
        std::string path = dir + "/" + name;
        auto r = ReadRegistration(path);
        if (!r || r->com != com) continue;
        if (!IsAlive(*r)) {
            ::unlink(path.c_str());
            continue;
        }
        if (!Exists(r->node)) continue;
        regs.push_back(*r);
    }
    std::sort(regs.begin(), regs.end(), [](const auto& a, const auto& b) { return a.com < b.com; });
    return regs;
}

// ---- merging ----------------------------------------------------------------------

struct MapState {
    std::vector<SerialMapEntry> entries;
    std::set<int> pinned;
    std::set<int> remembered;
};

MapState BuildMap() {
    MapState state;
    std::vector<KernelPort> ports = ScanKernelPorts();
    std::optional<StateLock> lock;
    if (!ports.empty()) lock.emplace();
    std::map<std::string, int> remembered = ports.empty() ? std::map<std::string, int>() : ReadRemembered();
    std::vector<Pin> pins = ReadPins();
    for (const auto& p : pins) state.pinned.insert(p.com);
    for (const auto& [key, n] : remembered) state.remembered.insert(n);

    std::set<int> used;
    std::vector<int> numbers(ports.size(), 0);
    std::vector<std::string> pinnedNames(ports.size());
    std::vector<bool> pinUsed(pins.size(), false);

    // A user pin names a node; a symlink such as /dev/serial/by-id/... counts as its target.
    for (std::size_t i = 0; i < ports.size(); ++i) {
        std::string real = RealPath(ports[i].node);
        for (std::size_t j = 0; j < pins.size(); ++j) {
            if (pinUsed[j]) continue;
            std::string pinReal = RealPath(pins[j].node);
            if (pins[j].node == ports[i].node || (!real.empty() && pinReal == real)) {
                numbers[i] = pins[j].com;
                pinnedNames[i] = pins[j].deviceName;
                pinUsed[j] = true;
                used.insert(pins[j].com);
                break;
            }
        }
    }
    for (std::size_t j = 0; j < pins.size(); ++j) {
        if (!pinUsed[j]) used.insert(pins[j].com);  // reserved even while its node is absent
    }
    // Remembered numbers next, then new numbers for new adapters (board UARTs first).
    for (std::size_t i = 0; i < ports.size(); ++i) {
        if (numbers[i] != 0) continue;
        auto it = remembered.find(ports[i].key);
        if (it != remembered.end() && !used.count(it->second)) {
            numbers[i] = it->second;
            used.insert(it->second);
        }
    }
    bool changed = false;
    auto assignNew = [&](std::size_t i) {
        int n = 1;
        while (used.count(n) || state.remembered.count(n)) ++n;
        numbers[i] = n;
        used.insert(n);
        state.remembered.insert(n);
        remembered[ports[i].key] = n;
        changed = true;
    };
    for (int pass = 0; pass < 2; ++pass) {
        for (std::size_t i = 0; i < ports.size(); ++i) {
            if (numbers[i] == 0 && ports[i].legacy == (pass == 0)) assignNew(i);
        }
    }
    if (changed) WriteRemembered(remembered);

    std::map<std::string, int> familyCount;
    auto nextName = [&](const std::string& family) {
        int k = familyCount[family]++;
        return L"\\Device\\" + FromUtf8(family) + std::to_wstring(k);
    };
    for (std::size_t i = 0; i < ports.size(); ++i) {
        std::wstring name = nextName(ports[i].family);
        if (!pinnedNames[i].empty()) name = FromUtf8(pinnedNames[i]);
        state.entries.push_back({name, ComName(numbers[i]), ports[i].node});
    }
    for (std::size_t j = 0; j < pins.size(); ++j) {
        if (pinUsed[j] || !Exists(pins[j].node)) continue;
        std::wstring name =
            pins[j].deviceName.empty() ? nextName("Serial") : FromUtf8(pins[j].deviceName);
        state.entries.push_back({name, ComName(pins[j].com), pins[j].node});
    }
    for (const auto& r : ReadRegistrations()) {
        if (used.count(r.com)) continue;
        used.insert(r.com);
        state.entries.push_back({nextName("ProlificSerial"), ComName(r.com), r.node});
    }
    return state;
}

}  // namespace

std::string WingConfigDir() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    std::string base;
    if (xdg != nullptr && xdg[0] == '/') {
        base = xdg;
    } else {
        const char* home = std::getenv("HOME");
        if (home != nullptr && home[0] == '/') {
            base = std::string(home) + "/.config";
        } else if (passwd* pw = ::getpwuid(::getuid()); pw != nullptr && pw->pw_dir != nullptr) {
            base = std::string(pw->pw_dir) + "/.config";
        } else {
            base = "/tmp";
        }
    }
    return base + "/wing-utility";
}

std::vector<SerialMapEntry> ReadSerialDeviceMap() { return BuildMap().entries; }

std::string ResolveComPort(int comNumber) {
    if (comNumber <= 0) return {};
    std::wstring name = ComName(comNumber);
    for (const auto& e : ReadSerialDeviceMap()) {
        if (e.comName == name) return e.node;
    }
    return {};
}

int FreeComNumber(int from) {
    MapState state = BuildMap();
    std::set<int> used = state.pinned;
    used.insert(state.remembered.begin(), state.remembered.end());
    for (const auto& e : state.entries) {
        int n = ParseComName(ToUtf8(e.comName));
        if (n > 0) used.insert(n);
    }
    int n = std::max(from, 1);
    while (used.count(n) && n < INT_MAX) ++n;
    return n;
}

bool RegisterSimulatedPort(int comNumber, const std::string& node) {
    if (comNumber <= 0 || node.empty()) return false;
    MapState state = BuildMap();  // also clears registrations of ended processes
    if (state.pinned.count(comNumber)) return false;
    std::wstring name = ComName(comNumber);
    for (const auto& e : state.entries) {
        if (e.comName == name) return false;
    }
    std::string dir = RegistrationDir();
    MakeDirs(dir);
    std::string path = RegistrationPath(comNumber);
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    {
        std::ofstream out(tmp, std::ios::trunc);
        if (!out) return false;
        out << "com=" << comNumber << "\npid=" << ::getpid() << "\nstart=" << ProcessStartTime(::getpid())
            << "\nnode=" << node << "\n";
        if (!out.flush()) {
            ::unlink(tmp.c_str());
            return false;
        }
    }
    // link() creates the name only when nobody holds it, with the content already complete.
    bool ok = ::link(tmp.c_str(), path.c_str()) == 0;
    ::unlink(tmp.c_str());
    return ok;
}

bool UnregisterSimulatedPort(int comNumber) {
    if (comNumber <= 0) return false;
    std::string path = RegistrationPath(comNumber);
    auto r = ReadRegistration(path);
    if (!r || r->pid != ::getpid()) return false;
    return ::unlink(path.c_str()) == 0;
}

void SetDeviceMapRootsForTesting(const std::string& sysRoot, const std::string& devRoot) {
    std::lock_guard<std::mutex> lock(g_rootMutex);
    g_sysRoot = sysRoot;
    g_devRoot = devRoot;
}

}  // namespace wing
