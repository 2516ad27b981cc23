#pragma once
#include <cstdint>
#include <string>

namespace zelk::test {

// A listening TCP socket on 127.0.0.1 with a port the system chose, for the servers the tests
// and benchmarks play. Throws with `who` in the message when the socket cannot listen.
struct LoopbackListener {
  int fd = -1;
  std::uint16_t port = 0;
};
LoopbackListener ListenOnLoopback(int backlog, const std::string& who);

}  // namespace zelk::test
