#pragma once
#include <chrono>
#include <cstddef>
#include <filesystem>
#include <iterator>
#include <thread>

// What this test process holds, for tests that nothing is left behind.
namespace zelk::test {

inline std::size_t EntriesOf(const char* directory) {
  return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(directory), {}));
}

inline std::size_t OpenDescriptors() { return EntriesOf("/proc/self/fd"); }

inline std::size_t RunningThreads() { return EntriesOf("/proc/self/task"); }

// Waits up to five seconds for threads that are finishing to end; the count then.
inline std::size_t ThreadsSettledAt(std::size_t count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (RunningThreads() > count && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return RunningThreads();
}

}  // namespace zelk::test
