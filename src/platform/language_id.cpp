#include "platform/language_id.h"

#include <cstdlib>
#include <string>

namespace wing {

namespace {

constexpr unsigned MakeLangId(unsigned primary, unsigned sub) { return sub << 10 | primary; }

// Primary language ids with the sub-language Windows uses when no country is given.
struct Language {
    const char* code;
    unsigned primary;
    unsigned defaultSub;
};
constexpr Language kLanguages[] = {
    {"ar", 0x01, 1}, {"bg", 0x02, 1}, {"ca", 0x03, 1}, {"zh", 0x04, 2}, {"cs", 0x05, 1},
    {"da", 0x06, 1}, {"de", 0x07, 1}, {"el", 0x08, 1}, {"en", 0x09, 1}, {"es", 0x0A, 3},
    {"fi", 0x0B, 1}, {"fr", 0x0C, 1}, {"he", 0x0D, 1}, {"hu", 0x0E, 1}, {"is", 0x0F, 1},
    {"it", 0x10, 1}, {"ja", 0x11, 1}, {"ko", 0x12, 1}, {"nl", 0x13, 1}, {"nb", 0x14, 1},
    {"no", 0x14, 1}, {"nn", 0x14, 2}, {"pl", 0x15, 1}, {"pt", 0x16, 1}, {"rm", 0x17, 1},
    {"ro", 0x18, 1}, {"ru", 0x19, 1}, {"hr", 0x1A, 1}, {"sk", 0x1B, 1}, {"sq", 0x1C, 1},
    {"sv", 0x1D, 1}, {"th", 0x1E, 1}, {"tr", 0x1F, 1}, {"ur", 0x20, 1}, {"id", 0x21, 1},
    {"uk", 0x22, 1}, {"be", 0x23, 1}, {"sl", 0x24, 1}, {"et", 0x25, 1}, {"lv", 0x26, 1},
    {"lt", 0x27, 1}, {"fa", 0x29, 1}, {"vi", 0x2A, 1}, {"hy", 0x2B, 1}, {"az", 0x2C, 1},
    {"eu", 0x2D, 1}, {"mk", 0x2F, 1}, {"af", 0x36, 1}, {"ka", 0x37, 1}, {"fo", 0x38, 1},
    {"hi", 0x39, 1}, {"mt", 0x3A, 1}, {"ga", 0x3C, 2}, {"ms", 0x3E, 1}, {"kk", 0x3F, 1},
    {"ky", 0x40, 1}, {"sw", 0x41, 1}, {"uz", 0x43, 1}, {"bn", 0x45, 1}, {"pa", 0x46, 1},
    {"gu", 0x47, 1}, {"ta", 0x49, 1}, {"te", 0x4A, 1}, {"kn", 0x4B, 1}, {"ml", 0x4C, 1},
    {"mr", 0x4E, 1}, {"mn", 0x50, 1}, {"cy", 0x52, 1}, {"km", 0x53, 1}, {"lo", 0x54, 1},
    {"gl", 0x56, 1}, {"si", 0x5B, 1}, {"am", 0x5E, 1}, {"ne", 0x61, 1}, {"fy", 0x62, 1},
    {"ps", 0x63, 1}, {"fil", 0x64, 1}, {"ha", 0x68, 1}, {"yo", 0x6A, 1}, {"ig", 0x70, 1},
    {"sr", 0x1A, 3}, {"bs", 0x1A, 5},
};

// Language and country pairs whose sub-language is not the language's default.
struct Variant {
    const char* code;
    const char* country;
    unsigned langId;
};
constexpr Variant kVariants[] = {
    {"zh", "TW", 0x0404}, {"zh", "CN", 0x0804}, {"zh", "HK", 0x0C04}, {"zh", "SG", 0x1004},
    {"zh", "MO", 0x1404},
    {"en", "US", 0x0409}, {"en", "GB", 0x0809}, {"en", "AU", 0x0C09}, {"en", "CA", 0x1009},
    {"en", "NZ", 0x1409}, {"en", "IE", 0x1809}, {"en", "ZA", 0x1C09}, {"en", "JM", 0x2009},
    {"en", "BZ", 0x2809}, {"en", "TT", 0x2C09}, {"en", "ZW", 0x3009}, {"en", "PH", 0x3409},
    {"en", "IN", 0x4009}, {"en", "MY", 0x4409}, {"en", "SG", 0x4809},
    {"de", "CH", 0x0807}, {"de", "AT", 0x0C07}, {"de", "LU", 0x1007}, {"de", "LI", 0x1407},
    {"fr", "BE", 0x080C}, {"fr", "CA", 0x0C0C}, {"fr", "CH", 0x100C}, {"fr", "LU", 0x140C},
    {"fr", "MC", 0x180C},
    {"es", "MX", 0x080A}, {"es", "GT", 0x100A}, {"es", "CR", 0x140A}, {"es", "PA", 0x180A},
    {"es", "DO", 0x1C0A}, {"es", "VE", 0x200A}, {"es", "CO", 0x240A}, {"es", "PE", 0x280A},
    {"es", "AR", 0x2C0A}, {"es", "EC", 0x300A}, {"es", "CL", 0x340A}, {"es", "UY", 0x380A},
    {"es", "PY", 0x3C0A}, {"es", "BO", 0x400A}, {"es", "SV", 0x440A}, {"es", "HN", 0x480A},
    {"es", "NI", 0x4C0A}, {"es", "PR", 0x500A}, {"es", "US", 0x540A},
    {"pt", "PT", 0x0816}, {"it", "CH", 0x0810}, {"nl", "BE", 0x0813}, {"sv", "FI", 0x081D},
    {"ar", "IQ", 0x0801}, {"ar", "EG", 0x0C01}, {"ar", "LY", 0x1001}, {"ar", "DZ", 0x1401},
    {"ar", "MA", 0x1801}, {"ar", "TN", 0x1C01}, {"ar", "OM", 0x2001}, {"ar", "YE", 0x2401},
    {"ar", "SY", 0x2801}, {"ar", "JO", 0x2C01}, {"ar", "LB", 0x3001}, {"ar", "KW", 0x3401},
    {"ar", "AE", 0x3801}, {"ar", "BH", 0x3C01}, {"ar", "QA", 0x4001},
    {"ko", "KR", 0x0412}, {"ms", "BN", 0x083E}, {"ru", "MD", 0x0819}, {"ro", "MD", 0x0818},
    {"sr", "RS", 0x241A}, {"sr", "ME", 0x301A}, {"bs", "BA", 0x141A}, {"hr", "BA", 0x101A},
};

bool Lowered(std::string_view a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char c = a[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != b[i]) return false;
    }
    return i == a.size() && b[i] == '\0';
}

bool Uppered(std::string_view a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i]; ++i) {
        char c = a[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c != b[i]) return false;
    }
    return i == a.size() && b[i] == '\0';
}

}  // namespace

unsigned LanguageIdFromLocaleName(std::string_view name) {
    constexpr unsigned kEnglishUs = 0x0409;
    // language[_COUNTRY][.codeset][@modifier]
    const std::size_t end = name.find_first_of(".@");
    if (end != std::string_view::npos) name = name.substr(0, end);
    if (name.empty() || name == "C" || name == "POSIX") return kEnglishUs;
    std::string_view language = name;
    std::string_view country;
    const std::size_t sep = name.find_first_of("_-");
    if (sep != std::string_view::npos) {
        language = name.substr(0, sep);
        country = name.substr(sep + 1);
    }
    if (!country.empty()) {
        for (const auto& v : kVariants)
            if (Lowered(language, v.code) && Uppered(country, v.country)) return v.langId;
        // Script subtags written as countries: zh_Hant is Taiwan's script, zh_Hans China's.
        if (Lowered(language, "zh") && Lowered(country, "hant")) return 0x0404;
        if (Lowered(language, "zh") && Lowered(country, "hans")) return 0x0804;
    }
    for (const auto& l : kLanguages)
        if (Lowered(language, l.code)) return MakeLangId(l.primary, l.defaultSub);
    // A language Windows has no id for: the user-defined "custom" id.
    return 0x0C00;
}

unsigned GetUserDefaultLangId() {
    for (const char* var : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(var);
        if (value != nullptr && *value != '\0') return LanguageIdFromLocaleName(value);
    }
    return LanguageIdFromLocaleName("");
}

}  // namespace wing
