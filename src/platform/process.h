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

// A program the user works in while this one goes on (an editor): watched without waiting and
// never ended by this program.
class WatchedProcess {
 public:
  // argv[0] is searched on PATH. Standard input, output and error are /dev/null, descriptors of
  // the parent are not passed on, and the process leads a session of its own, so a Ctrl+C or
  // hang-up meant for this program does not end the user's work. Nothing when it could not be
  // found or started.
  static std::unique_ptr<WatchedProcess> Start(const std::vector<std::string>& argv);
  // A process still running is left running; a thread of its own waits for its end, so it is
  // never left a zombie.
  ~WatchedProcess();
  WatchedProcess(const WatchedProcess&) = delete;
  WatchedProcess& operator=(const WatchedProcess&) = delete;

  // True once the process has ended (and is reaped); never waits.
  bool Ended();

 private:
  explicit WatchedProcess(pid_t pid) : pid_(pid) {}

  pid_t pid_;
  bool ended_ = false;
};

struct ProcessResult {
  std::optional<int> exitStatus;  // nothing: ended by a signal
  std::string output;             // standard output and error together
};

// Runs a program to its end. Nothing when it could not be started.
std::optional<ProcessResult> RunProcess(const std::vector<std::string>& argv);

}  // namespace zelk::platform
