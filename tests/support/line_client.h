#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace zelk::test {

// The client end of a line protocol (SMTP, POP3), for tests that talk to a real server by hand.
class LineClient {
 public:
  // Connects to 127.0.0.1:`port`; throws std::runtime_error when nothing answers there.
  explicit LineClient(int port);
  ~LineClient();
  LineClient(const LineClient&) = delete;
  LineClient& operator=(const LineClient&) = delete;

  // Sends the bytes as they are (add the CR LF yourself); throws when the write fails.
  void Send(std::string_view bytes);
  // The next line without its CR LF; throws when none is complete within 10 s.
  std::string ReadLine();

 private:
  int fd_ = -1;
  std::string buffer_;
  std::size_t start_ = 0;  // where the next line begins in buffer_
};

}  // namespace zelk::test
