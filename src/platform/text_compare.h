#pragma once
#include <string>
#include <string_view>

namespace zelk::platform {

// The user's locale order on case-folded text: -1, 0 or +1, the way names and headers are
// compared "ignoring case" everywhere in the program.
int CompareIgnoringCase(std::string_view a, std::string_view b);

inline bool EqualIgnoringCase(std::string_view a, std::string_view b) { return CompareIgnoringCase(a, b) == 0; }

// Appends the collation key of `text` to `keys`: two keys compared unit by unit as wide strings
// order their texts as CompareIgnoringCase does. Sorting many texts folds and transforms each one
// once instead of at every comparison. A key never holds a zero unit, so keys can share one buffer.
void AppendCollationKeyIgnoringCase(std::string_view text, std::wstring& keys);

}  // namespace zelk::platform
