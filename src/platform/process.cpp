#include "platform/process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <system_error>
#include <thread>

extern char** environ;

namespace zelk::platform {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Starts the program at `path` with standard input from /dev/null and standard output and error
// on `output` (/dev/null when negative). glibc's posix_spawn reports a failed exec as its result,
// so no error pipe is needed. Nothing when it could not be started.
std::optional<pid_t> Spawn(const std::string& path, const std::vector<std::string>& argv, int output, bool ownSession) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output >= 0) {
    posix_spawn_file_actions_adddup2(&actions, output, 1);
  } else {
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // Sockets and files of this program are none of the child's business.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  if (ownSession) posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, path.c_str(), &actions, &attributes, args.data(), environ);
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return std::nullopt;
  return pid;
}

}  // namespace

std::optional<std::string> FindProgram(std::string_view program) {
  if (program.empty()) return std::nullopt;
  if (program.find('/') != std::string_view::npos) {
    std::string path(program);
    if (IsExecutableFile(path)) return path;
    return std::nullopt;
  }
  const char* variable = std::getenv("PATH");
  const std::string_view directories = variable != nullptr ? variable : "/usr/local/bin:/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= directories.size()) {
    std::size_t end = directories.find(':', start);
    if (end == std::string_view::npos) end = directories.size();
    const std::string_view directory = directories.substr(start, end - start);
    // An empty element would mean the current directory: never run a program found there.
    if (!directory.empty()) {
      std::string path(directory);
      if (path.back() != '/') path += '/';
      path += program;
      if (IsExecutableFile(path)) return path;
    }
    start = end + 1;
  }
  return std::nullopt;
}

std::unique_ptr<ChildProcess> ChildProcess::Start(const std::vector<std::string>& argv) {
  if (argv.empty()) return nullptr;
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;

  const std::optional<pid_t> pid = Spawn(argv[0], argv, ends[1], false);
  ::close(ends[1]);
  if (!pid) {
    ::close(ends[0]);
    return nullptr;
  }
  ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  return std::unique_ptr<ChildProcess>(new ChildProcess(*pid, ends[0]));
}

ChildProcess::~ChildProcess() {
  if (pid_ > 0) Terminate();
  ::close(output_);
}

bool ChildProcess::ReadOutput(std::string& into) {
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(output_, buffer, sizeof buffer);
    if (got > 0) {
      into.append(buffer, static_cast<std::size_t>(got));
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    return got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
  }
}

std::optional<int> ChildProcess::Finish(std::string& output) {
  ::fcntl(output_, F_SETFL, ::fcntl(output_, F_GETFL) & ~O_NONBLOCK);
  while (ReadOutput(output)) {
  }
  return Reap();
}

void ChildProcess::Terminate() {
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  // A child that ignores SIGTERM gets a second to end before SIGKILL.
  for (int i = 0; i < 100; ++i) {
    if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
      pid_ = -1;
      return;
    }
    const timespec pause{0, 10'000'000};
    ::nanosleep(&pause, nullptr);
  }
  ::kill(pid_, SIGKILL);
  Reap();
}

std::optional<int> ChildProcess::Reap() {
  int status = 0;
  pid_t done = 0;
  do {
    done = ::waitpid(pid_, &status, 0);
  } while (done < 0 && errno == EINTR);
  pid_ = -1;
  if (done < 0 || !WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

std::unique_ptr<WatchedProcess> WatchedProcess::Start(const std::vector<std::string>& argv) {
  if (argv.empty()) return nullptr;
  const std::optional<std::string> program = FindProgram(argv[0]);
  if (!program) return nullptr;
  const std::optional<pid_t> pid = Spawn(*program, argv, -1, true);
  if (!pid) return nullptr;
  return std::unique_ptr<WatchedProcess>(new WatchedProcess(*pid));
}

WatchedProcess::~WatchedProcess() {
  if (Ended()) return;
  // The process must stay this program's child for Ended to see it end, so it cannot be handed to
  // init the way LaunchProgram does; a thread waits instead. Only an editor abandoned while it
  // runs gets one, and it ends with the editor.
  try {
    std::thread([pid = pid_] {
      while (::waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
      }
    }).detach();
  } catch (const std::system_error&) {
    // Without a thread the ended process stays a zombie until this program ends: harmless.
  }
}

bool WatchedProcess::Ended() {
  if (ended_) return true;
  const pid_t done = ::waitpid(pid_, nullptr, WNOHANG);
  // ECHILD: nothing left to wait for, so it has ended too.
  ended_ = done == pid_ || (done < 0 && errno != EINTR);
  return ended_;
}

std::optional<ProcessResult> RunProcess(const std::vector<std::string>& argv) {
  const std::unique_ptr<ChildProcess> child = ChildProcess::Start(argv);
  if (!child) return std::nullopt;
  ProcessResult result;
  result.exitStatus = child->Finish(result.output);
  return result;
}

}  // namespace zelk::platform
