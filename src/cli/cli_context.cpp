#include "cli/cli_context.h"

#include <cstdio>

#include "platform/text.h"
#include "resources/string_table.h"

namespace wing::cli {

std::wstring Context::Text(unsigned id) const {
    std::wstring text;
    if (!LoadLanguageString(langId, id, text)) LoadLanguageString(LANG_EN_US, id, text);
    return text;
}

void PrintJson(const nlohmann::json& document) {
    const std::string line = document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintLine(const std::wstring& text) {
    const std::string line = ToLocale8(text);
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

void PrintError(const std::wstring& text) {
    const std::string line = ToLocale8(text);
    std::fwrite(line.data(), 1, line.size(), stderr);
    std::fputc('\n', stderr);
}

int Report(const Context& ctx, const Failure& failure) {
    if (ctx.json) {
        nlohmann::json doc{{"ok", false},
                           {"exit", static_cast<int>(failure.exit)},
                           {"error", failure.kind},
                           {"message", ToUtf8(failure.message)}};
        if (!failure.command.empty()) doc["command"] = ToUtf8(failure.command);
        if (failure.code) doc["code"] = *failure.code;
        PrintJson(doc);
    } else {
        PrintError(failure.message);
    }
    return static_cast<int>(failure.exit);
}

}  // namespace wing::cli
