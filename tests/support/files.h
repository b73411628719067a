#pragma once
// Reading back what a test's code wrote.

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace wing::test {

inline std::string ReadWhole(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Every regular file under `root`, at any depth.
inline std::vector<std::filesystem::path> FilesUnder(const std::filesystem::path& root) {
    std::vector<std::filesystem::path> out;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         it != std::filesystem::recursive_directory_iterator(); it.increment(ec))
        if (it->is_regular_file()) out.push_back(it->path());
    return out;
}

}  // namespace wing::test
