#include "resources/string_table.h"

#include <vector>

#include "resources/string_tables.h"

namespace wing {

namespace {

// UTF-16 to wide text (UTF-32 on this platform); an unpaired surrogate becomes U+FFFD.
std::wstring Utf16ToWide(std::span<const char16_t> units) {
    std::wstring out;
    out.reserve(units.size());
    for (std::size_t i = 0; i < units.size(); ++i) {
        const char32_t c = units[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
            units[i + 1] <= 0xDFFF) {
            out.push_back(static_cast<wchar_t>(0x10000 + ((c - 0xD800) << 10) + (units[i + 1] - 0xDC00)));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out.push_back(static_cast<wchar_t>(0xFFFD));
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    return out;
}

}  // namespace

bool LoadStringFromBlocks(std::span<const StringBlock> blocks, unsigned langId, unsigned id,
                          std::wstring& text) {
    const unsigned blockId = id / kIdsPerStringBlock + 1;
    const StringBlock* block = nullptr;
    for (const auto& b : blocks) {
        if (b.langId == langId && b.blockId == blockId) {
            block = &b;
            break;
        }
    }
    if (block == nullptr) return false;

    // Walk the length-prefixed entries; a block that ends early means "not there", and a
    // length running past the block's end is never followed.
    const auto data = block->data;
    std::size_t pos = 0;
    for (unsigned skip = id % kIdsPerStringBlock; skip > 0; --skip) {
        if (pos >= data.size()) return false;
        pos += 1 + static_cast<std::size_t>(data[pos]);
    }
    if (pos >= data.size()) return false;
    const std::size_t length = data[pos];
    if (length == 0 || length > data.size() - pos - 1) return false;
    text = Utf16ToWide(data.subspan(pos + 1, length));
    return true;
}

std::span<const StringBlock> CompiledStringBlocks() {
    static const std::vector<StringBlock> all = [] {
        std::vector<StringBlock> blocks;
        for (auto set : {TraditionalChineseStringBlocks(), EnglishStringBlocks(),
                         SimplifiedChineseStringBlocks()})
            blocks.insert(blocks.end(), set.begin(), set.end());
        return blocks;
    }();
    return all;
}

bool LoadLanguageString(unsigned langId, unsigned id, std::wstring& text) {
    return LoadStringFromBlocks(CompiledStringBlocks(), langId, id, text);
}

}  // namespace wing
