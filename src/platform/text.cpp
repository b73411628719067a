#include "platform/text.h"

#include <climits>
#include <cwchar>
#include <cstring>

namespace wing {

std::string ToUtf8(std::wstring_view text) {
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<char32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring FromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        auto b = static_cast<unsigned char>(text[i]);
        char32_t c = 0xFFFD;
        std::size_t len = 1;
        if (b < 0x80) {
            c = b;
        } else if ((b & 0xE0) == 0xC0) {
            len = 2;
        } else if ((b & 0xF0) == 0xE0) {
            len = 3;
        } else if ((b & 0xF8) == 0xF0) {
            len = 4;
        }
        if (len > 1) {
            if (i + len > text.size()) {
                len = 1;
            } else {
                c = b & (0x7F >> len);
                for (std::size_t k = 1; k < len; ++k) {
                    auto cb = static_cast<unsigned char>(text[i + k]);
                    if ((cb & 0xC0) != 0x80) {
                        c = 0xFFFD;
                        len = k;
                        break;
                    }
                    c = (c << 6) | (cb & 0x3F);
                }
            }
        }
        out += static_cast<wchar_t>(c);
        i += len;
    }
    return out;
}

std::wstring FromLocale8(std::string_view text) {
    std::wstring out;
    std::mbstate_t state{};
    const char* p = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        wchar_t wc = 0;
        std::size_t n = std::mbrtowc(&wc, p, left, &state);
        if (n == static_cast<std::size_t>(-1) || n == static_cast<std::size_t>(-2)) {
            // Undecodable byte: keep it visible rather than dropping the rest.
            out += static_cast<wchar_t>(0xFFFD);
            state = std::mbstate_t{};
            ++p;
            --left;
            continue;
        }
        if (n == 0) n = 1;  // an embedded NUL
        out += wc;
        p += n;
        left -= n;
    }
    return out;
}

std::string ToLocale8(std::wstring_view text) {
    std::string out;
    std::mbstate_t state{};
    char buf[MB_LEN_MAX];
    for (wchar_t wc : text) {
        std::size_t n = std::wcrtomb(buf, wc, &state);
        if (n == static_cast<std::size_t>(-1)) {
            out += '?';
            state = std::mbstate_t{};
            continue;
        }
        out.append(buf, n);
    }
    return out;
}

}  // namespace wing
