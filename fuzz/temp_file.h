#pragma once
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <string_view>

#include "platform/files.h"

namespace zelk::fuzz {

// The loaders read files, so each input goes through one scratch file of this process.
inline const std::string& ScratchPath() {
  static const std::string path = [] {
    // Memory-backed when the system has it: every input is written and flushed.
    std::string pattern = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm/zelk-fuzz-XXXXXX" : "/tmp/zelk-fuzz-XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) std::abort();
    ::close(fd);
    std::atexit([] { ::unlink(ScratchPath().c_str()); });
    return pattern;
  }();
  return path;
}

inline const std::string& WriteScratch(std::string_view bytes) {
  if (!platform::WriteFileAtomically(ScratchPath(), bytes)) std::abort();
  return ScratchPath();
}

}  // namespace zelk::fuzz
