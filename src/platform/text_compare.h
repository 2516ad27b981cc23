#pragma once
#include <string_view>

namespace zelk::platform {

// The user's locale order on case-folded text: -1, 0 or +1, the way names and headers are
// compared "ignoring case" everywhere in the program.
int CompareIgnoringCase(std::string_view a, std::string_view b);

inline bool EqualIgnoringCase(std::string_view a, std::string_view b) { return CompareIgnoringCase(a, b) == 0; }

}  // namespace zelk::platform
