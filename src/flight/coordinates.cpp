#include "flight/coordinates.h"

#include <charconv>
#include <cmath>
#include <span>
#include <vector>

namespace wing {
namespace {

enum class Mark { None, Degrees, Minutes, Seconds };

struct Token {
    enum class Kind { Number, Hemisphere, Separator };
    Kind kind = Kind::Number;
    double value = 0;
    bool negative = false;  // kept apart from the value so that "-0 30" stays negative
    bool signed_ = false;
    bool fractional = false;
    Mark mark = Mark::None;
    char hemisphere = 0;  // 'N', 'S', 'E' or 'W'
};

using Tokens = std::vector<Token>;

// The marks people type or paste from a map, in UTF-8. Two apostrophes come before
// one so that 24'' reads as seconds.
struct Symbol {
    std::string_view text;
    Mark mark;
};
constexpr Symbol kSymbols[] = {
    {"\xC2\xB0", Mark::Degrees},      // degree sign
    {"\xC2\xBA", Mark::Degrees},      // masculine ordinal, often typed for it
    {"d", Mark::Degrees},
    {"D", Mark::Degrees},
    {"''", Mark::Seconds},
    {"'", Mark::Minutes},
    {"\xE2\x80\xB2", Mark::Minutes},  // prime
    {"\xE2\x80\x99", Mark::Minutes},  // right single quote, from word processors
    {"m", Mark::Minutes},
    {"M", Mark::Minutes},
    {"\"", Mark::Seconds},
    {"\xE2\x80\xB3", Mark::Seconds},  // double prime
    {"\xE2\x80\x9D", Mark::Seconds},  // right double quote
};

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsNumberChar(char c) { return IsDigit(c) || c == '.'; }

// Reads a number at `pos` (an optional sign, digits, at most one point).
bool ReadNumber(std::string_view text, std::size_t& pos, Tokens& out) {
    Token t;
    if (text[pos] == '-' || text[pos] == '+') {
        t.signed_ = true;
        t.negative = text[pos] == '-';
        ++pos;
    }
    const std::size_t start = pos;
    int points = 0;
    while (pos < text.size() && IsNumberChar(text[pos])) points += text[pos++] == '.';
    if (pos == start || points > 1 || (points == 1 && pos - start == 1)) return false;
    const auto [end, ec] = std::from_chars(text.data() + start, text.data() + pos, t.value);
    if (ec != std::errc() || end != text.data() + pos) return false;
    t.fractional = points == 1;
    out.push_back(t);
    return true;
}

bool AttachMark(Tokens& out, Mark mark) {
    if (out.empty() || out.back().kind != Token::Kind::Number || out.back().mark != Mark::None)
        return false;
    out.back().mark = mark;
    return true;
}

std::optional<Tokens> Tokenize(std::string_view text) {
    Tokens out;
    std::size_t pos = 0;
    while (pos < text.size()) {
        const char c = text[pos];
        if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
            ++pos;
            continue;
        }
        if (IsNumberChar(c) ||
            ((c == '-' || c == '+') && pos + 1 < text.size() && IsNumberChar(text[pos + 1]))) {
            if (!ReadNumber(text, pos, out)) return std::nullopt;
            continue;
        }
        if (c == ',' || c == ';') {
            out.push_back(Token{.kind = Token::Kind::Separator});
            ++pos;
            continue;
        }
        // Seconds written "24.4s" against south written "24.4 S" or "24.4 s".
        if (c == 's' && pos > 0 && IsNumberChar(text[pos - 1])) {
            if (!AttachMark(out, Mark::Seconds)) return std::nullopt;
            ++pos;
            continue;
        }
        bool marked = false;
        for (const Symbol& s : kSymbols) {
            if (text.substr(pos).starts_with(s.text)) {
                if (!AttachMark(out, s.mark)) return std::nullopt;
                pos += s.text.size();
                marked = true;
                break;
            }
        }
        if (marked) continue;
        const char upper = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper == 'N' || upper == 'S' || upper == 'E' || upper == 'W') {
            out.push_back(Token{.kind = Token::Kind::Hemisphere, .hemisphere = upper});
            ++pos;
            continue;
        }
        return std::nullopt;
    }
    return out;
}

using Group = std::span<const Token>;

bool Is(const Token& t, Token::Kind kind) { return t.kind == kind; }

std::size_t CountOf(Group tokens, Token::Kind kind) {
    std::size_t n = 0;
    for (const Token& t : tokens) n += Is(t, kind);
    return n;
}

// Where the second coordinate starts: at the separator, at a hemisphere letter (before
// the second when letters lead, after the first when they follow), at the second
// degree mark, or halfway through bare numbers. Zero when the text does not split.
std::size_t SplitPoint(Group tokens) {
    auto findNth = [&](auto pred, std::size_t nth) -> std::size_t {
        for (std::size_t i = 0; i < tokens.size(); ++i)
            if (pred(tokens[i]) && nth-- == 0) return i;
        return 0;
    };
    const std::size_t separators = CountOf(tokens, Token::Kind::Separator);
    if (separators == 1) return findNth([](const Token& t) { return Is(t, Token::Kind::Separator); }, 0);
    if (separators > 1) return 0;

    auto isLetter = [](const Token& t) { return Is(t, Token::Kind::Hemisphere); };
    const std::size_t letters = CountOf(tokens, Token::Kind::Hemisphere);
    if (letters == 2) {
        if (isLetter(tokens.front())) return findNth(isLetter, 1);
        if (isLetter(tokens.back())) return findNth(isLetter, 0) + 1;
        return 0;
    }
    if (letters != 0) return 0;

    auto isDegrees = [](const Token& t) { return t.mark == Mark::Degrees; };
    std::size_t degrees = 0;
    for (const Token& t : tokens) degrees += isDegrees(t);
    if (degrees == 2) return isDegrees(tokens.front()) ? findNth(isDegrees, 1) : 0;
    if (degrees != 0) return 0;
    const std::size_t n = tokens.size();
    return (n == 2 || n == 4 || n == 6) ? n / 2 : 0;
}

struct Coordinate {
    double degrees = 0;  // signed
    char hemisphere = 0;  // 0 when none was written
};

// One coordinate: an optional hemisphere letter before or after one to three numbers,
// read as degrees, minutes and seconds in that order; only the last may have a fraction.
std::optional<Coordinate> ReadCoordinate(Group g) {
    Coordinate c;
    if (!g.empty() && Is(g.front(), Token::Kind::Hemisphere)) {
        c.hemisphere = g.front().hemisphere;
        g = g.subspan(1);
    } else if (!g.empty() && Is(g.back(), Token::Kind::Hemisphere)) {
        c.hemisphere = g.back().hemisphere;
        g = g.first(g.size() - 1);
    }
    if (g.empty() || g.size() > 3) return std::nullopt;
    constexpr Mark kOrder[] = {Mark::Degrees, Mark::Minutes, Mark::Seconds};
    constexpr double kScale[] = {1.0, 60.0, 3600.0};
    double value = 0;
    for (std::size_t i = 0; i < g.size(); ++i) {
        const Token& t = g[i];
        if (!Is(t, Token::Kind::Number)) return std::nullopt;
        if (t.mark != Mark::None && t.mark != kOrder[i]) return std::nullopt;
        if (i > 0 && (t.signed_ || t.value >= 60.0)) return std::nullopt;
        if (i + 1 < g.size() && t.fractional) return std::nullopt;
        value += t.value / kScale[i];
    }
    if (g.front().signed_ && c.hemisphere != 0) return std::nullopt;
    c.degrees = g.front().negative ? -value : value;
    return c;
}

bool IsLatitudeLetter(char h) { return h == 'N' || h == 'S'; }

}  // namespace

bool IsValidPoint(const GeoPoint& p) {
    return std::isfinite(p.lat) && std::isfinite(p.lon) && std::abs(p.lat) <= 90.0 &&
           std::abs(p.lon) <= 180.0;
}

std::optional<GeoPoint> ParseCoordinates(std::string_view text) {
    const std::optional<Tokens> tokens = Tokenize(text);
    if (!tokens) return std::nullopt;
    const Group all(*tokens);
    const std::size_t split = SplitPoint(all);
    if (split == 0) return std::nullopt;
    const bool separated = Is(all[split], Token::Kind::Separator);
    std::optional<Coordinate> first = ReadCoordinate(all.first(split));
    std::optional<Coordinate> second = ReadCoordinate(all.subspan(split + (separated ? 1 : 0)));
    if (!first || !second) return std::nullopt;

    if ((first->hemisphere == 0) != (second->hemisphere == 0)) return std::nullopt;
    if (first->hemisphere != 0) {
        if (IsLatitudeLetter(first->hemisphere) == IsLatitudeLetter(second->hemisphere))
            return std::nullopt;
        if (!IsLatitudeLetter(first->hemisphere)) std::swap(first, second);
        if (first->hemisphere == 'S') first->degrees = -first->degrees;
        if (second->hemisphere == 'W') second->degrees = -second->degrees;
    }
    const GeoPoint p{first->degrees, second->degrees};
    if (!IsValidPoint(p)) return std::nullopt;
    return p;
}

std::string FormatCoordinates(const GeoPoint& point) {
    auto put = [](std::string& out, double v) {
        // Rounded first so that a value just below zero prints as 0, not -0.000000.
        double rounded = std::round(v * 1e6) / 1e6;
        if (rounded == 0) rounded = 0;
        char buf[32];
        const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, rounded, std::chars_format::fixed, 6);
        out.append(buf, ec == std::errc() ? end : buf);
    };
    std::string out;
    put(out, point.lat);
    out += ", ";
    put(out, point.lon);
    return out;
}

}  // namespace wing
