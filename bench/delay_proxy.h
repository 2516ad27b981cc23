#pragma once
#include <atomic>
#include <chrono>
#include <cstdint>
#include <string>
#include <thread>

namespace zelk::bench {

// A TCP relay on 127.0.0.1 that holds every byte for half the round trip in each direction, so a
// conversation on loopback meets the delays of a real network. Without `pipelining` it hides the
// server's PIPELINING capability, so a client falls back to waiting for each answer. One
// connection at a time, each relayed until either side closes.
class DelayProxy {
 public:
  DelayProxy(int serverPort, std::chrono::milliseconds roundTrip, bool pipelining = true);
  ~DelayProxy();
  DelayProxy(const DelayProxy&) = delete;
  DelayProxy& operator=(const DelayProxy&) = delete;

  int port() const { return port_; }

 private:
  void Run();
  void Relay(int client);

  int serverPort_;
  std::chrono::microseconds oneWay_;
  bool pipelining_;
  int listener_ = -1;
  int port_ = 0;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace zelk::bench
