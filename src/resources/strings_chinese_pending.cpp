#include "resources/string_tables.h"

namespace wing {

// The Chinese tables follow; until then those languages have no blocks.
std::span<const StringBlock> TraditionalChineseStringBlocks() { return {}; }
std::span<const StringBlock> SimplifiedChineseStringBlocks() { return {}; }

}  // namespace wing
