#pragma once
// Running zelk-cli as a user does: a real process over a home directory made for the test.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <string_view>
#include <vector>

#include "platform/files.h"
#include "support/temp_dir.h"

extern char** environ;

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

// Starts `program` over `home` (--home first, then `args`) without waiting for it: its stdin is
// empty, its stdout and stderr go to the home's files `out` and `err`.
inline pid_t StartProgram(const char* program, const test::TempDir& home, const std::vector<std::string>& args,
                          const std::string& out, const std::string& err) {
  std::vector<std::string> words = {program, "--home", home.path()};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t files;
  posix_spawn_file_actions_init(&files);
  posix_spawn_file_actions_addopen(&files, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&files, 1, home.file(out).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&files, 2, home.file(err).c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = -1;
  if (posix_spawn(&pid, program, &files, nullptr, argv.data(), environ) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&files);
  return pid;
}

// zelk-cli, its output in the home's stdout.txt and stderr.txt, for tests that signal it.
inline pid_t StartCli(const test::TempDir& home, const std::vector<std::string>& args) {
  return StartProgram(ZELK_CLI, home, args, "stdout.txt", "stderr.txt");
}

// Starts zelk-cli as StartCli does and kills it with SIGKILL at a random moment within `limit`.
// True when the kill caught it running, false when it had ended; nothing when it did not start.
inline std::optional<bool> KillCliWithin(const test::TempDir& home, const std::vector<std::string>& args,
                                         std::mt19937& random, std::chrono::microseconds limit) {
  const pid_t pid = StartCli(home, args);
  if (pid <= 0) return std::nullopt;
  std::this_thread::sleep_for(std::chrono::microseconds(random() % (limit.count() + 1)));
  ::kill(pid, SIGKILL);
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid) return std::nullopt;
  return WIFSIGNALED(status);
}

}  // namespace zelk::test
