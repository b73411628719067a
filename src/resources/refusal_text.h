#pragma once
// The text shown when the logger refuses a command with a status code.

#include <string>
#include <string_view>
#include <vector>

namespace wing {

constexpr unsigned kStatusCodeTextCount = 15;  // codes 0..14, string ids 127..141

// The texts of status codes 0..14 in `langId`, in code order.
std::vector<std::wstring> LoadStatusCodeTexts(unsigned langId);

// The text of `code`: its entry of `codeTexts`, or, past the end of the list,
// "Unknown status code <code>" in `langId` (English when that language lacks it).
std::wstring StatusCodeText(const std::vector<std::wstring>& codeTexts, unsigned langId,
                            unsigned code);

// "%s [%s] %s \n\n[%s]\n\n%s" with string 155, the command's display name, string 171,
// the code's text and string 172.
std::wstring ComposeRefusalText(unsigned langId, const std::vector<std::wstring>& codeTexts,
                                std::wstring_view commandName, unsigned code);
// The same, loading the code texts itself.
std::wstring ComposeRefusalText(unsigned langId, std::wstring_view commandName, unsigned code);

}  // namespace wing
