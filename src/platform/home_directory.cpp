#include "platform/home_directory.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "platform/files.h"

namespace zelk::platform {

namespace {

std::optional<std::string> NonEmptyEnv(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || *value == '\0') return std::nullopt;
  return std::string(value);
}

std::optional<std::string> ExecutableDirectory() {
  char buffer[PATH_MAX];
  const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (length <= 0) return std::nullopt;
  std::string path(buffer, static_cast<std::size_t>(length));
  return path.substr(0, path.rfind('/') + 1);
}

std::optional<std::string> UserHome() {
  if (auto home = NonEmptyEnv("HOME")) return home;
  if (const passwd* entry = ::getpwuid(::getuid()); entry && entry->pw_dir && *entry->pw_dir) return std::string(entry->pw_dir);
  return std::nullopt;
}

}  // namespace

std::string WithTrailingSlash(std::string path) {
  if (path.empty() || (path.back() != '/' && path.back() != '\\')) path += '/';
  return path;
}

HomeDirectoryInputs HomeDirectoryInputsFromEnvironment(std::optional<std::string> homeOption) {
  return {std::move(homeOption), NonEmptyEnv("ZELK_HOME"), ExecutableDirectory(), NonEmptyEnv("XDG_CONFIG_HOME"), UserHome()};
}

std::string ChooseHomeDirectory(const HomeDirectoryInputs& inputs) {
  if (inputs.homeOption && !inputs.homeOption->empty()) return WithTrailingSlash(*inputs.homeOption);
  if (inputs.zelkHome) return WithTrailingSlash(*inputs.zelkHome);
  if (inputs.executableDir && FileSize(WithTrailingSlash(*inputs.executableDir) + "Zelk.ini")) {
    return WithTrailingSlash(*inputs.executableDir);
  }
  // XDG asks to ignore a relative XDG_CONFIG_HOME.
  if (inputs.xdgConfigHome && !inputs.xdgConfigHome->empty() && inputs.xdgConfigHome->front() == '/') return WithTrailingSlash(*inputs.xdgConfigHome) + "zelk/";
  return WithTrailingSlash(inputs.userHome.value_or(".")) + ".config/zelk/";
}

std::string HomeDirectoryFor(const std::optional<std::string>& homeOption) {
  return ChooseHomeDirectory(HomeDirectoryInputsFromEnvironment(homeOption));
}

bool EnsureDirectory(const std::string& path) {
  for (std::size_t slash = path.find('/', 1);; slash = path.find('/', slash + 1)) {
    const std::string prefix = path.substr(0, slash);
    if (!prefix.empty() && ::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return false;
    if (slash == std::string::npos) break;
  }
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace zelk::platform
