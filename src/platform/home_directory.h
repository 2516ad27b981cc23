#pragma once
#include <optional>
#include <string>

namespace zelk::platform {

// Where the profile Zelk.ini and the log lie. Kept apart from the environment so the choice can be
// tested: see HomeDirectoryInputsFromEnvironment for where each value comes from.
struct HomeDirectoryInputs {
  std::optional<std::string> homeOption;     // --home DIR
  std::optional<std::string> zelkHome;       // ZELK_HOME
  std::optional<std::string> executableDir;  // the program's own directory
  std::optional<std::string> xdgConfigHome;  // XDG_CONFIG_HOME
  std::optional<std::string> userHome;       // HOME, else the password database
};

HomeDirectoryInputs HomeDirectoryInputsFromEnvironment(std::optional<std::string> homeOption);

// The first that applies: --home, ZELK_HOME, the program's directory when a Zelk.ini lies there
// (portable use), $XDG_CONFIG_HOME/zelk/, ~/.config/zelk/. The result always ends in "/".
std::string ChooseHomeDirectory(const HomeDirectoryInputs& inputs);

// The home directory for --home DIR (or none) and this process's environment.
std::string HomeDirectoryFor(const std::optional<std::string>& homeOption);

// Creates the directory and its missing parents (mode 0700 for new ones).
[[nodiscard]] bool EnsureDirectory(const std::string& path);

// Appends "/" unless the path already ends in "/" or a backslash.
std::string WithTrailingSlash(std::string path);

}  // namespace zelk::platform
