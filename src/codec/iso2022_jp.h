#pragma once
#include <string>
#include <string_view>

namespace zelk::codec {

// ISO-2022-JP (JIS) to Shift_JIS. Text in any 8-bit charset without ESC and SO passes unchanged.
std::string JisToShiftJis(std::string_view jis);
// Shift_JIS to ISO-2022-JP; half-width katakana become full-width (voiced marks combined).
std::string ShiftJisToJis(std::string_view shiftJis);

}  // namespace zelk::codec
