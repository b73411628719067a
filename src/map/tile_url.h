#pragma once
// The URL template of an XYZ tile source: {z}, {x} and {y}, and optionally {s} for the
// server's subdomains ("https://{s}.tile.example.org/{z}/{x}/{y}.png" with a, b, c).

#include <optional>
#include <string>
#include <string_view>

namespace wing {

// What makes a template unusable, the first found in this order; the settings window
// words each in the interface's language.
enum class TileUrlFault {
    None,
    NotHttp,       // not http:// or https:// followed by a server name
    Blank,         // a blank or a control character: no URL holds one unencoded
    OtherBraces,   // a brace that is not part of {z} {x} {y} {s}
    Placeholders,  // {z}, {x} or {y} missing or repeated, or {s} repeated
};
TileUrlFault FindTileUrlFault(std::string_view urlTemplate);

// Empty when the template is usable (http or https, {z} {x} {y} each once, nothing else in
// braces); else one line saying what is wrong, for the settings window's red line.
std::string TileUrlProblem(std::string_view urlTemplate);

}  // namespace wing
