#pragma once
#include <string>
#include <vector>

// Programs the user keeps using after the command that started them: a browser, a viewer.
namespace zelk::platform {

// Starts argv[0] (searched on PATH) with the arguments as they are, without a shell, detached
// from this program: it is not ended nor waited for when this program ends, and never left
// behind as a zombie. Standard input, output and error are /dev/null. False when the program
// could not be found or started.
[[nodiscard]] bool LaunchProgram(const std::vector<std::string>& argv);

// A file or an address opened by the desktop's choice of program ("xdg-open").
[[nodiscard]] bool OpenWithDesktop(const std::string& target);

}  // namespace zelk::platform
