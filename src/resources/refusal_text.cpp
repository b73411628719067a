#include "resources/refusal_text.h"

#include "resources/string_ids.h"
#include "resources/string_table.h"

namespace wing {

namespace {

std::wstring Text(unsigned langId, unsigned id) {
    std::wstring text;
    LoadLanguageString(langId, id, text);
    return text;
}
}  // namespace

std::vector<std::wstring> LoadStatusCodeTexts(unsigned langId) {
    std::vector<std::wstring> texts;
    texts.reserve(kStatusCodeTextCount);
    for (unsigned code = 0; code < kStatusCodeTextCount; ++code)
        texts.push_back(Text(langId, IDS_FIRST_STATUS_CODE + code));
    return texts;
}

std::wstring StatusCodeText(const std::vector<std::wstring>& codeTexts, unsigned langId,
                            unsigned code) {
    if (code < codeTexts.size()) return codeTexts[code];
    std::wstring pattern;
    if (!LoadLanguageString(langId, IDS_UNKNOWN_STATUS_CODE, pattern))
        LoadLanguageString(LANG_EN_US, IDS_UNKNOWN_STATUS_CODE, pattern);
    const std::size_t at = pattern.find(L"%u");
    if (at == std::wstring::npos) return pattern + L" " + std::to_wstring(code);
    return pattern.replace(at, 2, std::to_wstring(code));
}

std::wstring ComposeRefusalText(unsigned langId, const std::vector<std::wstring>& codeTexts,
                                std::wstring_view commandName, unsigned code) {
    std::wstring text = Text(langId, IDS_RECEIVED_COMMAND);
    text += L" [";
    text += commandName;
    text += L"] ";
    text += Text(langId, IDS_NACK);
    text += L" \n\n[";
    text += StatusCodeText(codeTexts, langId, code);
    text += L"]\n\n";
    text += Text(langId, IDS_RESET_AND_RETRY);
    return text;
}

std::wstring ComposeRefusalText(unsigned langId, std::wstring_view commandName, unsigned code) {
    return ComposeRefusalText(langId, LoadStatusCodeTexts(langId), commandName, code);
}

}  // namespace wing
