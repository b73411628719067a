#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/language_id.h"

namespace wing {
namespace {

TEST(LanguageId, FromLocaleNames) {
    const std::pair<const char*, unsigned> cases[] = {
        {"zh_TW.UTF-8", 1028}, {"en_US.UTF-8", 1033}, {"zh_CN.UTF-8", 2052}, {"zh_HK.UTF-8", 3076},
        {"zh_SG.GB2312", 4100}, {"zh_MO", 5124},      {"zh", 2052},          {"zh_TW", 1028},
        {"zh-Hant", 1028},      {"en_GB.UTF-8", 2057}, {"en", 1033},          {"de_DE.UTF-8", 1031},
        {"de_CH@euro", 2055},   {"fr_CA", 3084},       {"ja_JP.eucJP", 1041}, {"es_ES", 3082},
        {"es_MX", 2058},        {"pt_BR", 1046},       {"pt_PT", 2070},       {"ko_KR", 1042},
        {"ru_RU.KOI8-R", 1049}, {"C", 1033},           {"POSIX", 1033},       {"C.UTF-8", 1033},
        {"", 1033},             {"tlh_QO", 0x0C00},
    };
    for (auto [name, id] : cases) EXPECT_EQ(LanguageIdFromLocaleName(name), id) << name;
}

// Sets or clears an environment variable for the life of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value, 1);
        else ::unsetenv(name);
    }
    ~ScopedEnv() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

TEST(LanguageId, EnvironmentOrderIsLcAllThenLcMessagesThenLang) {
    struct Case {
        const char* lcAll;
        const char* lcMessages;
        const char* lang;
        unsigned expected;
    };
    const Case cases[] = {
        {"zh_TW.UTF-8", "zh_CN.UTF-8", "en_US.UTF-8", 1028},
        {nullptr, "zh_CN.UTF-8", "en_US.UTF-8", 2052},
        {"", "", "zh_HK.UTF-8", 3076},
        {nullptr, nullptr, "de_DE.UTF-8", 1031},
        {nullptr, nullptr, nullptr, 1033},
    };
    for (const auto& c : cases) {
        ScopedEnv a("LC_ALL", c.lcAll), m("LC_MESSAGES", c.lcMessages), l("LANG", c.lang);
        EXPECT_EQ(GetUserDefaultLangId(), c.expected)
            << (c.lcAll ? c.lcAll : "-") << " " << (c.lcMessages ? c.lcMessages : "-") << " "
            << (c.lang ? c.lang : "-");
    }
}

}  // namespace
}  // namespace wing
