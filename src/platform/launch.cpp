#include "platform/launch.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

#include "platform/process.h"

extern char** environ;

namespace zelk::platform {

bool LaunchProgram(const std::vector<std::string>& argv) {
  if (argv.empty()) return false;
  const std::optional<std::string> program = FindProgram(argv[0]);
  if (!program) return false;
  // Everything the children need is made before fork: after it only calls that are safe
  // between fork and exec in a program with threads.
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
  int report[2];
  if (devNull < 0 || ::pipe2(report, O_CLOEXEC) != 0) {
    if (devNull >= 0) ::close(devNull);
    return false;
  }
  const pid_t middle = ::fork();
  if (middle == 0) {
    // The middle child starts the program and ends at once, so the program is handed to init
    // and this program has no child to reap.
    ::setsid();
    const pid_t launched = ::fork();
    if (launched == 0) {
      ::dup2(devNull, 0);
      ::dup2(devNull, 1);
      ::dup2(devNull, 2);
      ::execve(program->c_str(), args.data(), environ);
      const int error = errno;
      (void)::write(report[1], &error, sizeof error);
      ::_exit(127);
    }
    ::_exit(launched > 0 ? 0 : 1);
  }
  ::close(devNull);
  ::close(report[1]);
  bool started = false;
  if (middle > 0) {
    int status = 0;
    while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe closes without a word when exec succeeded; a failed exec writes its errno.
    int error = 0;
    ssize_t got;
    while ((got = ::read(report[0], &error, sizeof error)) < 0 && errno == EINTR) {
    }
    started = WIFEXITED(status) && WEXITSTATUS(status) == 0 && got == 0;
  }
  ::close(report[0]);
  return started;
}

bool OpenWithDesktop(const std::string& target) { return LaunchProgram({"xdg-open", target}); }

}  // namespace zelk::platform
