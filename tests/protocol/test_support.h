#pragma once
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

namespace wing::test {

inline std::vector<std::uint8_t> Hex(const std::string& text) {
    std::istringstream in(text);
    std::vector<std::uint8_t> out;
    unsigned v;
    while (in >> std::hex >> v) out.push_back(static_cast<std::uint8_t>(v));
    return out;
}

inline std::wstring Wide(const std::string& ascii) { return {ascii.begin(), ascii.end()}; }

}  // namespace wing::test
