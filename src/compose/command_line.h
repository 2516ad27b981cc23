#pragma once
#include <string>
#include <string_view>
#include <vector>

// The argument vector for an external program (the editor) run without a shell.
namespace zelk::compose {

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
