#pragma once
#include <string>
#include <vector>

namespace zelk::test {

// A listener on `address` whose accept queue is full and never served: the kernel drops every
// further SYN, so a connect to it hangs as one to a server behind a silent firewall does.
class UnansweredListener {
 public:
  // Port 0: any free port. Throws std::runtime_error when it cannot listen or fill its queue.
  explicit UnansweredListener(const std::string& address = "127.0.0.1", int port = 0);
  ~UnansweredListener();
  UnansweredListener(const UnansweredListener&) = delete;
  UnansweredListener& operator=(const UnansweredListener&) = delete;

  int port() const { return port_; }

 private:
  int listener_ = -1;
  std::vector<int> fillers_;  // the connections that fill the queue
  int port_ = 0;
};

}  // namespace zelk::test
