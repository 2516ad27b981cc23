#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace zelk::platform {

// Two kinds of text meet in this program. Text is what the user sees and every stored field:
// UTF-8 in a std::string. Everything else in a std::string is 8-bit text: mail as it travels,
// protocol lines, codec input and output, files on disk, all in the local code page or a mail charset.
using Text = std::string;

// The local code page is chosen once at start: ZELK_CODEPAGE when set, else the codeset of the
// user's locale, UTF-8 when that is plain ASCII. Names are those iconv knows (CP1252, SHIFT_JIS...).
std::string LocalCodePageFromEnvironment();
// Returns false and keeps the current code page when iconv does not know the name.
[[nodiscard]] bool SelectLocalCodePage(std::string_view name);
const std::string& LocalCodePageName();
bool LocalCodePageIsUtf8();

// Local code page bytes to Text and back. Any byte string survives the trip unchanged: a byte that
// does not decode becomes the escape U+DC00 + byte and turns back into that byte. A real character
// the code page cannot hold becomes "?". Under UTF-8 both are the identity.
Text LocalToText(std::string_view bytes);
std::string TextToLocal(std::string_view text);

// Bytes of the character that starts at pos in local code page text: at least 1, never past the
// end. Walking 8-bit text by these steps never splits a multi-byte character.
std::size_t LocalCharLength(std::string_view bytes, std::size_t pos);
// Columns the character at pos takes on screen and in word wrap: 2 for East Asian wide and
// fullwidth characters, else 1.
int LocalCharWidth(std::string_view bytes, std::size_t pos);

}  // namespace zelk::platform
