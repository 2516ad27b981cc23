#pragma once
#include <string_view>

#include "platform/code_page.h"

namespace zelk::filter {

// True when the whole text matches the whole pattern. "*" stands for any run of characters
// (none included), "?" for exactly one character, anything else for itself, with only the ASCII
// letters A-Z folded to a-z. A character is one whole UTF-8 sequence, so "?" never splits one and
// a character above U+FFFF is one character, not two; a byte that starts no well-formed sequence
// counts as a character of its own. Runs in O(pattern * text) at worst, whatever the stars.
bool WildcardMatch(std::string_view pattern, std::string_view text);

}  // namespace zelk::filter
