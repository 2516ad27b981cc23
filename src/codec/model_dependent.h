#pragma once
#include <cstddef>
#include <optional>
#include <string_view>

namespace zelk::codec {

// Japanese characters that only some machines show: the NEC and IBM rows of CP932 (circled
// numbers, Roman numerals, IBM kanji...), which ISO-2022-JP mail carries only by convention.
// Looked for only when the header or body charset is ISO-2022-JP. The position counts UTF-16
// units, as the edit controls do.
std::optional<std::size_t> FindModelDependentChar(std::string_view text, std::string_view headCharset,
                                                  std::string_view bodyCharset);

}  // namespace zelk::codec
