#pragma once
// The string tables in their compiled form: per language, blocks of 16 consecutive ids
// (block number = id / 16 + 1); inside a block each entry is a 16-bit length followed
// by that many UTF-16 units, an empty entry having length 0.

#include <array>
#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace wing {

constexpr unsigned kIdsPerStringBlock = 16;

// One string as written in a table source.
struct StringEntry {
    unsigned id;
    std::u16string_view text;
};

struct StringBlock {
    unsigned langId;
    unsigned blockId;                 // id / 16 + 1
    std::span<const char16_t> data;   // 16 length-prefixed entries
};

// Every block of every language compiled into the program.
std::span<const StringBlock> CompiledStringBlocks();

// The walk behind LoadLanguageString, over any set of blocks (tests feed it small ones).
bool LoadStringFromBlocks(std::span<const StringBlock> blocks, unsigned langId, unsigned id,
                          std::wstring& text);

namespace string_layout {

// Table sources list ids strictly ascending with non-empty texts; a violation stops the build
// (the layout below evaluates these while compiling; constexpr rather than consteval, which
// clang 14 refuses to call from one another).
template <std::size_t N>
constexpr void CheckEntries(const std::array<StringEntry, N>& entries) {
    for (std::size_t i = 0; i < N; ++i) {
        if (entries[i].text.empty() || entries[i].text.size() > 0xFFFF)
            throw "a string entry is empty or too long";
        if (i > 0 && entries[i].id <= entries[i - 1].id)
            throw "string ids must be strictly ascending";
    }
}

template <std::size_t N>
constexpr std::size_t CountBlocks(const std::array<StringEntry, N>& entries) {
    CheckEntries(entries);
    std::size_t blocks = 0;
    for (std::size_t i = 0; i < N; ++i)
        if (i == 0 || entries[i].id / kIdsPerStringBlock != entries[i - 1].id / kIdsPerStringBlock)
            ++blocks;
    return blocks;
}

template <std::size_t N>
constexpr std::size_t CountUnits(const std::array<StringEntry, N>& entries) {
    std::size_t units = CountBlocks(entries) * kIdsPerStringBlock;
    for (const auto& e : entries) units += e.text.size();
    return units;
}

// The block layout of one language, built while compiling.
template <const auto& Entries>
struct BlockLayout {
    static constexpr std::size_t kBlocks = CountBlocks(Entries);
    static constexpr std::size_t kUnits = CountUnits(Entries);

    struct Data {
        std::array<char16_t, kUnits> units{};
        std::array<unsigned, kBlocks> blockIds{};
        std::array<std::size_t, kBlocks + 1> offsets{};
    };

    static constexpr Data Build() {
        Data d{};
        std::size_t pos = 0;
        std::size_t block = 0;
        std::size_t next = 0;  // next entry of Entries to place
        while (next < Entries.size()) {
            const unsigned first = Entries[next].id / kIdsPerStringBlock * kIdsPerStringBlock;
            d.blockIds[block] = first / kIdsPerStringBlock + 1;
            d.offsets[block] = pos;
            for (unsigned id = first; id < first + kIdsPerStringBlock; ++id) {
                if (next < Entries.size() && Entries[next].id == id) {
                    const auto text = Entries[next].text;
                    d.units[pos++] = static_cast<char16_t>(text.size());
                    for (char16_t c : text) d.units[pos++] = c;
                    ++next;
                } else {
                    d.units[pos++] = 0;
                }
            }
            ++block;
        }
        d.offsets[block] = pos;
        return d;
    }

    static constexpr Data kData = Build();

    static std::array<StringBlock, kBlocks> Blocks(unsigned langId) {
        std::array<StringBlock, kBlocks> blocks{};
        for (std::size_t b = 0; b < kBlocks; ++b)
            blocks[b] = StringBlock{langId, kData.blockIds[b],
                                    std::span<const char16_t>(kData.units.data() + kData.offsets[b],
                                                              kData.offsets[b + 1] - kData.offsets[b])};
        return blocks;
    }
};

}  // namespace string_layout
}  // namespace wing
