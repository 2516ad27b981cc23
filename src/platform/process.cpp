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

extern char** environ;

namespace zelk::platform {
namespace {

bool IsExecutableFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
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

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 1);
  posix_spawn_file_actions_adddup2(&actions, ends[1], 2);
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  // Sockets and files of this program are none of the child's business.
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#endif
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  const int spawned = ::posix_spawn(&pid, argv[0].c_str(), &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(ends[1]);
  if (spawned != 0) {
    ::close(ends[0]);
    return nullptr;
  }
  ::fcntl(ends[0], F_SETFL, ::fcntl(ends[0], F_GETFL) | O_NONBLOCK);
  return std::unique_ptr<ChildProcess>(new ChildProcess(pid, ends[0]));
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

std::optional<ProcessResult> RunProcess(const std::vector<std::string>& argv) {
  const std::unique_ptr<ChildProcess> child = ChildProcess::Start(argv);
  if (!child) return std::nullopt;
  ProcessResult result;
  result.exitStatus = child->Finish(result.output);
  return result;
}

}  // namespace zelk::platform
