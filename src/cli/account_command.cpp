// (being written)
#include "cli/commands.h"

namespace zelk::cli {

int AccountCommand(const GlobalOptions&, const std::vector<std::string>&) { return 2; }

}  // namespace zelk::cli
