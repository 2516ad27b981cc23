#include "bench_data.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>

extern char** environ;

namespace zelk::bench {

namespace {

// Never destroyed, so the exit handler that removes it still finds it.
const std::filesystem::path& TemporaryDirectory() {
  static const std::filesystem::path* const directory = [] {
    std::string pattern = (std::filesystem::temp_directory_path() / "zelk-bench-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) std::abort();
    return new std::filesystem::path(pattern);
  }();
  static const bool removedAtExit = [] {
    std::atexit([] {
      std::error_code ignored;
      std::filesystem::remove_all(*directory, ignored);
    });
    return true;
  }();
  (void)removedAtExit;
  return *directory;
}

}  // namespace

std::string WriteTemporaryFile(const std::string& name, const std::string& bytes) {
  const std::filesystem::path path = TemporaryDirectory() / name;
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

std::string MakeTemporaryDirectory(const std::string& name) {
  const std::filesystem::path path = TemporaryDirectory() / name;
  std::filesystem::create_directories(path);
  return path.string() + "/";
}

double TimeCommand(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (::waitpid(pid, &status, 0) != pid || !WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void RunCommandBenchmark(benchmark::State& state, const std::vector<std::string>& argv, std::size_t bytesPerRun) {
  for (auto _ : state) {
    const double seconds = TimeCommand(argv);
    if (seconds < 0) {
      state.SkipWithError(("could not run " + argv[0]).c_str());
      return;
    }
    state.SetIterationTime(seconds);
  }
  if (bytesPerRun > 0) state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytesPerRun));
}

}  // namespace zelk::bench
