#include "platform/locale.h"

#include <langinfo.h>

#include <cstdio>

#include "platform/text.h"

namespace wing {
namespace {

bool FormatWith(const std::string& pattern, const std::tm& local, std::wstring& text,
                std::size_t capacity) {
    if (pattern.empty()) return false;
    // The multibyte text can be longer than the wide one; give strftime room and
    // apply the character limit to the converted text.
    char buf[256];
    std::size_t n = std::strftime(buf, sizeof buf, pattern.c_str(), &local);
    if (n == 0) return false;
    std::wstring wide = FromLocale8(std::string_view(buf, n));
    if (wide.empty() || wide.size() + 1 > capacity) return false;
    text = std::move(wide);
    return true;
}

}  // namespace

bool DeviceLocalTime(std::uint32_t deviceTime, std::tm& local, const TimeZone& zone) {
    return zone.LocalTime(deviceTime, local);
}

std::string IsoUtcText(std::int64_t seconds) {
    const auto t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    if (gmtime_r(&t, &utc) == nullptr) return {};
    char text[32];
    const std::size_t n = std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
    return std::string(text, n);
}

std::string Force24HourPattern(const std::string& pattern) {
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        char c = pattern[i];
        if (c != '%' || i + 1 >= pattern.size()) {
            out += c;
            continue;
        }
        // Optional E/O modifier between '%' and the conversion.
        std::size_t j = i + 1;
        std::string mod;
        if ((pattern[j] == 'E' || pattern[j] == 'O') && j + 1 < pattern.size()) mod = pattern[j++];
        char conv = pattern[j];
        switch (conv) {
            case 'I': out += "%" + mod + "H"; break;
            case 'l': out += "%k"; break;
            case 'r': out += "%H:%M:%S"; break;
            case 'p':
            case 'P':
                // Drop the marker together with the blank that separated it.
                if (!out.empty() && out.back() == ' ') {
                    out.pop_back();
                } else if (j + 1 < pattern.size() && pattern[j + 1] == ' ') {
                    ++j;
                }
                break;
            default: out += pattern.substr(i, j - i + 1); break;
        }
        i = j;
    }
    return out;
}

bool FormatShortDate(const std::tm& local, std::wstring& text, std::size_t capacity) {
    const char* fmt = nl_langinfo(D_FMT);
    return FormatWith(fmt ? fmt : "", local, text, capacity);
}

bool FormatTime24(const std::tm& local, std::wstring& text, std::size_t capacity) {
    const char* fmt = nl_langinfo(T_FMT);
    return FormatWith(Force24HourPattern(fmt ? fmt : ""), local, text, capacity);
}

std::wstring FormatDeviceTime(std::uint32_t deviceTime) { return FormatDeviceTime(deviceTime, TimeZone::Pc()); }

std::wstring FormatDeviceTime(std::uint32_t deviceTime, const TimeZone& zone) {
    std::tm local{};
    if (!DeviceLocalTime(deviceTime, local, zone)) return L"";
    std::wstring date, time;
    if (FormatShortDate(local, date) && FormatTime24(local, time)) {
        std::wstring text = date + L" " + time;
        if (text.size() > 31) text.resize(31);
        return text;
    }
    char buf[32];
    std::size_t n = std::strftime(buf, sizeof buf, "%Y-%m-%d  %H:%M:%S", &local);
    return FromLocale8(std::string_view(buf, n));
}

}  // namespace wing
