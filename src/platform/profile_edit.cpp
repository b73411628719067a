#include "platform/profile_edit.h"

#include <algorithm>
#include <vector>

#include "platform/ini_text.h"
#include "platform/profile.h"

namespace wing {
namespace {

enum class LineKind { Blank, Header, Comment, Key, Other };

// One line of the text: [start, end) without its '\n', `next` where the following starts,
// `head` where the reader's view of it starts (after blanks, and on the first line where
// the text starts) and `viewEnd` where the reader cuts it.
struct Line {
    std::size_t start = 0;
    std::size_t end = 0;
    std::size_t next = 0;
    std::size_t head = 0;
    std::size_t viewEnd = 0;
    LineKind kind = LineKind::Other;
    std::string_view name;        // a header's section name or a key's name
    std::size_t nameEnd = 0;      // a bare key's name ends here (no '=')
    std::size_t delimiter = std::string_view::npos;  // a key's '=' or ':'
};

std::string_view TrimBlanks(std::string_view s) {
    while (!s.empty() && IniBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IniBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Classifies one line as the reader would, on what the reader keeps of it (IniSafeLine):
// inih finds a key's '=' or ':' unless an inline comment (';' after a blank) comes first,
// and a line with neither is a key without a value.
Line ReadLine(std::string_view text, std::size_t start) {
    Line line;
    line.start = start;
    line.end = text.find('\n', start);
    if (line.end == std::string_view::npos) line.end = text.size();
    line.next = line.end < text.size() ? line.end + 1 : text.size();

    std::size_t i = start == 0 ? std::min(IniTextStart(text), line.end) : start;
    while (i < line.end && IniBlank(text[i])) ++i;
    line.head = i;
    line.viewEnd = std::min(line.end, i + IniLineLimit());
    while (line.viewEnd > i && IniBlank(text[line.viewEnd - 1])) --line.viewEnd;
    if (i == line.viewEnd) {
        line.kind = LineKind::Blank;
        return line;
    }
    const std::string_view rest = text.substr(i, line.viewEnd - i);
    if (rest.front() == '[') {
        std::string_view name = rest.substr(1);
        if (const std::size_t close = name.find(']'); close != std::string_view::npos) name = name.substr(0, close);
        line.kind = LineKind::Header;
        line.name = TrimBlanks(name);
        return line;
    }
    if (rest.front() == ';' || rest.front() == '#') {
        line.kind = LineKind::Comment;
        return line;
    }
    bool wasSpace = false;
    for (std::size_t k = i; k < line.viewEnd; ++k) {
        const char c = text[k];
        if (c == '=' || c == ':') {
            line.kind = LineKind::Key;
            line.delimiter = k;
            line.name = TrimBlanks(text.substr(i, k - i));
            return line;
        }
        if (c == ';' && wasSpace) return line;  // a comment before any '=': no key
        wasSpace = IniBlank(c);
    }
    line.kind = LineKind::Key;
    line.name = TrimBlanks(rest);
    line.nameEnd = static_cast<std::size_t>(line.name.data() - text.data()) + line.name.size();
    return line;
}

std::vector<Line> ReadLines(std::string_view text) {
    std::vector<Line> lines;
    for (std::size_t start = 0; start < text.size();) {
        lines.push_back(ReadLine(text, start));
        start = lines.back().next;
    }
    return lines;
}

// The lines of the first section named `section`: [first, last) indices, the header's
// index in `header`; header == npos when the text has no such section.
struct SectionSpan {
    std::size_t header = std::string_view::npos;
    std::size_t first = 0;
    std::size_t last = 0;
};

SectionSpan FindSection(const std::vector<Line>& lines, std::string_view section) {
    SectionSpan span;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].kind != LineKind::Header) continue;
        if (span.header != std::string_view::npos) {
            span.last = i;
            return span;
        }
        if (ProfileNamesEqual(lines[i].name, section)) {
            span.header = i;
            span.first = i + 1;
        }
    }
    span.last = lines.size();
    return span;
}

// True for a comment that is the key set aside (";Server=pool.ntp.org"): the place a
// user who writes the file by hand would put the key.
bool IsCommentedKey(std::string_view text, const Line& line, std::string_view key) {
    if (line.kind != LineKind::Comment) return false;
    std::string_view rest = text.substr(line.head + 1, line.viewEnd - line.head - 1);
    const std::size_t delimiter = rest.find_first_of("=:");
    return delimiter != std::string_view::npos && ProfileNamesEqual(TrimBlanks(rest.substr(0, delimiter)), key);
}

std::string LineEnd(std::string_view text) {
    const std::size_t lf = text.find('\n');
    return lf != std::string_view::npos && lf > 0 && text[lf - 1] == '\r' ? "\r\n" : "\n";
}

// The line with its value replaced; an inline comment after the old value stays. When
// the line's spacing would push the value past the reader's cut, the line becomes
// "name=value" (after what leads it), which ProfileValueFits values always fit.
std::string WithValue(std::string_view text, const Line& line, std::string_view value) {
    std::size_t v = line.nameEnd;  // a key without a delimiter: the value follows its name
    std::size_t valueEnd = line.nameEnd;
    std::string_view delimiter = "=";
    if (line.delimiter != std::string_view::npos) {
        // As inih reads it: an inline comment is a ';' after a blank, looked for from
        // just after the delimiter; the value is what lies between, trimmed.
        valueEnd = line.end;
        bool wasSpace = false;
        for (std::size_t k = line.delimiter + 1; k < line.end; ++k) {
            if (text[k] == ';' && wasSpace) {
                valueEnd = k;
                break;
            }
            wasSpace = IniBlank(text[k]);
        }
        v = line.delimiter + 1;
        while (valueEnd > v && IniBlank(text[valueEnd - 1])) --valueEnd;
        while (v < valueEnd && IniBlank(text[v])) ++v;
        delimiter = {};
        // A value that starts with ';' must not follow a blank, or it reads as a comment.
        if (!value.empty() && value.front() == ';') v = line.delimiter + 1;
    }
    if (v - line.head + delimiter.size() + value.size() > IniLineLimit()) {
        std::string out(text.substr(line.start, line.head - line.start));
        out += line.name;
        out += '=';
        out += value;
        if (line.end > line.start && text[line.end - 1] == '\r') out += '\r';
        return out;
    }
    std::string out(text.substr(line.start, v - line.start));
    out += delimiter;
    out += value;
    out += text.substr(valueEnd, line.end - valueEnd);
    return out;
}

}  // namespace

std::string SetProfileValue(std::string_view text, std::string_view section, std::string_view key,
                            std::string_view value) {
    const std::vector<Line> lines = ReadLines(text);
    const SectionSpan span = FindSection(lines, section);
    const std::string eol = LineEnd(text);
    std::string out(text);
    if (span.header == std::string_view::npos) {
        if (!out.empty() && out.back() != '\n') out += eol;
        out += "[" + std::string(section) + "]" + eol + std::string(key) + "=" + std::string(value) + eol;
        return out;
    }
    std::size_t lastKey = span.header;
    std::size_t commented = std::string_view::npos;
    for (std::size_t i = span.first; i < span.last; ++i) {
        if (commented == std::string_view::npos && IsCommentedKey(text, lines[i], key)) commented = i;
        if (lines[i].kind != LineKind::Key) continue;
        if (ProfileNamesEqual(lines[i].name, key)) {
            const Line& line = lines[i];
            return out.replace(line.start, line.end - line.start, WithValue(text, line, value));
        }
        lastKey = i;
    }
    const std::size_t at = lines[commented != std::string_view::npos ? commented : lastKey].next;
    std::string added = std::string(key) + "=" + std::string(value) + eol;
    if (at == text.size() && !text.empty() && text.back() != '\n') added = eol + added;
    return out.insert(at, added);
}

std::string RemoveProfileKey(std::string_view text, std::string_view section, std::string_view key) {
    const std::vector<Line> lines = ReadLines(text);
    const SectionSpan span = FindSection(lines, section);
    std::string out(text);
    if (span.header == std::string_view::npos) return out;
    for (std::size_t i = span.last; i-- > span.first;) {
        if (lines[i].kind == LineKind::Key && ProfileNamesEqual(lines[i].name, key))
            out.erase(lines[i].start, lines[i].next - lines[i].start);
    }
    return out;
}

bool ProfileValueFits(std::string_view key, std::string_view value) {
    if (key.size() + 1 + value.size() > IniLineLimit()) return false;
    if (TrimBlanks(value) != value) return false;
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        return false;
    bool wasSpace = false;
    for (char c : value) {
        if (c == '\n' || c == '\r' || c == '\0') return false;
        if (c == ';' && wasSpace) return false;
        wasSpace = IniBlank(c);
    }
    return true;
}

}  // namespace wing
