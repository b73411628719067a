#pragma once
// The directory of the running executable, from /proc/self/exe.

#include <string>
#include <string_view>

namespace wing {

// `exePath` up to and including its last '/', or empty when it holds none.
std::string DirectoryOfPath(std::string_view exePath);

// Fills `dir` with the executable's directory (ending in '/'). False, with `dir` empty,
// when the executable's path cannot be obtained.
bool GetModuleDir(std::string& dir);

}  // namespace wing
