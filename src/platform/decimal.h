#pragma once
#include <cstdint>
#include <string_view>

namespace zelk::platform {

// Reads a signed decimal number the way settings and counters have always been read: leading
// white space, an optional sign, then digits up to the first non-digit. No digits give 0; values
// beyond the 32-bit range are clamped to it.
std::int32_t ReadDecimal(std::string_view text);

}  // namespace zelk::platform
