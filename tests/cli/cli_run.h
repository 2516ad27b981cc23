#pragma once
// Running zelk-cli as a user does: a real process over a home directory made for the test.
#include <sys/wait.h>

#include <cstdio>
#include <string>
#include <string_view>

#include "platform/files.h"
#include "support/temp_dir.h"

namespace zelk::test {

struct CliRun {
  int status;
  std::string out;
  std::string err;
};

// A text as one word of a shell command line, whatever it holds.
inline std::string ShellWord(std::string_view text) {
  std::string word = "'";
  for (const char c : text) word += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return word + "'";
}

// Runs zelk-cli over `home` with `args` (words of a shell command line: quote them with
// ShellWord when they may hold blanks or shell characters). Stdin holds `input`, so the program
// never waits for a terminal; without input it is empty.
inline CliRun RunCli(const TempDir& home, const std::string& args, const std::string& input = "") {
  const std::string inPath = home.file("stdin.txt");
  const std::string errPath = home.file("stderr.txt");
  if (!platform::WriteFileAtomically(inPath, input)) return {-1, {}, "cannot write " + inPath};
  const std::string command =
      std::string(ZELK_CLI) + " --home " + home.path() + " " + args + " <" + inPath + " 2>" + errPath;
  FILE* pipe = ::popen(command.c_str(), "r");
  if (pipe == nullptr) return {-1, {}, "cannot run " + command};
  CliRun run{-1, {}, {}};
  char buffer[4096];
  for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) run.out.append(buffer, got);
  const int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  run.err = platform::ReadWholeFile(errPath).value_or("");
  return run;
}

}  // namespace zelk::test
