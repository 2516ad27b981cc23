#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "platform/code_page.h"

// The user's own programs for a message (the external editor and viewer): which way Shift goes,
// the file handed over, and the argument vector, run without a shell.
namespace zelk::compose {

// DefEditApp and DefViewApp: 1 makes the other program the default and Shift the way to the
// window; 0 the other way round.
bool UsesOtherProgram(int otherByDefault, bool shiftHeld);

// The file handed to the program: the data folder (ending in "/") + "$zelk_" + `role` + "." + the
// suffix setting.
std::string HandedOverFile(const std::string& dataDirectory, std::string_view role, const platform::Text& suffix);

// The program setting with its parameter setting (ExpandCommandLine of both, from text to the
// local code page); empty when no program is set.
std::vector<std::string> UserProgramCommand(const platform::Text& program, const platform::Text& parameters,
                                            const std::string& file);

// program, then the parameter text cut into arguments, each with "%1" replaced by `path`. All
// three are 8-bit text in the local code page, as exec takes them.
//   - Arguments are separated by spaces or tabs outside double quotes; the quotes group and are
//     removed ('"a b"' is one argument 'a b', '""' an empty one).
//   - The cut comes before the replacement: the path is one argument wherever "%1" stands, even
//     unquoted and holding spaces, and nothing in the path is ever read as a quote or separator.
//   - "%%" gives "%"; "%" with any other character drops both, and a "%" at the end is dropped;
//     an unquoted argument that is left empty by this is dropped as well.
//   - A parameter text with no argument in it (empty or blank) passes the path alone.
std::vector<std::string> ExpandCommandLine(std::string_view program, std::string_view parameters,
                                           std::string_view path);

}  // namespace zelk::compose
