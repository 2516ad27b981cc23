#pragma once
#include <string_view>

#include "config/settings.h"
#include "platform/code_page.h"

// Hard line breaks put into a body before it is stored, at a width counted in columns: a
// character of East Asian width W or F takes two, any other character one.
namespace zelk::compose {

// Characters with line-breaking rules, from the settings of the same names.
struct WrapCharacters {
  platform::Text sBura;  // narrow characters that may hang one column past the width
  platform::Text sOida;  // narrow characters that never stand in the last column
  platform::Text Bura;   // the same two for wide characters, letter case ignored
  platform::Text Oida;
};

WrapCharacters WrapCharactersOf(const config::Settings& settings);

// Breaks lines longer than `width` columns by inserting CR LF; nothing else changes. Below 1
// the text comes back as it is. With keepQuoted a line that begins with quotationMark is left
// whole.
//   A word is a run of letters, digits and apostrophes with one space after it, if any: it
//   moves to a new line whole when it would pass the width, and a word longer than the width
//   stays unbroken. Letters beyond ASCII belong to words too (so "Grüße" is never cut), except
//   half-width katakana, which break between any two like the wide characters.
//   Any other character breaks before itself when it would pass the width, unless it may hang
//   (sBura, Bura); one that opens (sOida, Oida) also breaks when it would fill the last column.
//   A tab moves to the next multiple of 8 columns.
// CR, LF and CR LF end lines. No break goes at the start of a line or inside a character.
// Linear in the text's length.
platform::Text WrapText(std::string_view text, std::string_view quotationMark, int width, bool keepQuoted,
                        const WrapCharacters& characters);

}  // namespace zelk::compose
