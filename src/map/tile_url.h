#pragma once
// The URL template of an XYZ tile source: {z}, {x} and {y}, and optionally {s} for the
// server's subdomains ("https://{s}.tile.example.org/{z}/{x}/{y}.png" with a, b, c).

#include <optional>
#include <string>
#include <string_view>

namespace wing {

// Empty when the template is usable (http or https, {z} {x} {y} each once, nothing else in
// braces); else one line saying what is wrong, for the settings window's red line.
std::string TileUrlProblem(std::string_view urlTemplate);

}  // namespace wing
