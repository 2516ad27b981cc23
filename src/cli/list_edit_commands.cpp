// (being written)
#include "cli/commands.h"

namespace zelk::cli {

int CopyCommand(const GlobalOptions&, const std::vector<std::string>&) { return 2; }
int DeleteCommand(const GlobalOptions&, const std::vector<std::string>&) { return 2; }

}  // namespace zelk::cli
