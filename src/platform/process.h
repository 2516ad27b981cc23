#pragma once
#include <sys/types.h>

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Other programs, run without a shell: an argument vector goes to posix_spawn as it is, so
// nothing in an argument is ever read as a separator, quote or redirection.
namespace zelk::platform {

// The path of an executable file named `program`, searched on PATH (a name holding "/" is taken
// as it is); nothing when there is none.
std::optional<std::string> FindProgram(std::string_view program);

// A child process with standard input from /dev/null and its standard output and error together
// on one pipe that the parent reads. Descriptors of the parent are not passed on.
class ChildProcess {
 public:
  // argv[0] is the program's path. Nothing when it could not be started.
  static std::unique_ptr<ChildProcess> Start(const std::vector<std::string>& argv);
  // A child still running is terminated and reaped.
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // The read end of the output pipe, non-blocking, for an event loop to watch.
  int outputFd() const { return output_; }
  // Appends what can be read now. False once the output has ended (the child closed it).
  bool ReadOutput(std::string& into);
  // Reads to the end of the output (blocking), then waits for the child to end. The exit status,
  // or nothing when a signal ended it.
  std::optional<int> Finish(std::string& output);
  // Ends the child at once (SIGTERM) and reaps it.
  void Terminate();

 private:
  ChildProcess(pid_t pid, int output) : pid_(pid), output_(output) {}
  std::optional<int> Reap();

  pid_t pid_;
  int output_;
};

struct ProcessResult {
  std::optional<int> exitStatus;  // nothing: ended by a signal
  std::string output;             // standard output and error together
};

// Runs a program to its end. Nothing when it could not be started.
std::optional<ProcessResult> RunProcess(const std::vector<std::string>& argv);

}  // namespace zelk::platform
