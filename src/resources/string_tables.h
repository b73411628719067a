#pragma once
// The per-language block sets, one source file each.

#include <span>

#include "resources/string_blocks.h"
#include "resources/string_table.h"

namespace wing {

std::span<const StringBlock> EnglishStringBlocks();
std::span<const StringBlock> TraditionalChineseStringBlocks();
std::span<const StringBlock> SimplifiedChineseStringBlocks();

}  // namespace wing
