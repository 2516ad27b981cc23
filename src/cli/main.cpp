// zelk-cli: the mail client without a window, for scripts, cron and servers.
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace {

constexpr char kUsage[] =
    "Usage: zelk-cli [--home DIR] COMMAND [ARGS]\n"
    "\n"
    "Options:\n"
    "  --home DIR   use DIR for Zelk.ini and the log (default: $ZELK_HOME, else\n"
    "               ~/.config/zelk/)\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "\n"
    "Environment:\n"
    "  ZELK_CODEPAGE  the code page of files and local text (default: the locale's)\n";

int Usage(std::FILE* to, int status) {
  std::fputs(kUsage, to);
  return status;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string codePage = zelk::platform::LocalCodePageFromEnvironment();
  if (!zelk::platform::SelectLocalCodePage(codePage)) {
    std::fprintf(stderr, "zelk-cli: unknown code page \"%s\", using UTF-8\n", codePage.c_str());
  }
  for (int i = 1; i < argc; ++i) {
    const std::string_view arg = argv[i];
    if (arg == "--help" || arg == "-h") return Usage(stdout, 0);
    if (arg == "--version") {
      std::puts("Zelk Ver 1.0.1 (UK fix-1)");
      return 0;
    }
    if (arg == "--home" && i + 1 < argc) {
      ++i;
      continue;
    }
    std::fprintf(stderr, "zelk-cli: unknown command or option \"%s\"\n\n", argv[i]);
    return Usage(stderr, 2);
  }
  return Usage(stderr, 2);
}
