#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "net/ip_address.h"
#include "platform/event_loop.h"

namespace zelk::net {

// Asks for every address of a host name (local code page bytes), in the order the answer gives
// them; empty when the name is unknown. Blocks, so it only ever runs on a worker thread. May
// throw std::bad_alloc.
using Resolver = std::function<std::vector<IpAddress>(const std::string& name)>;
// getaddrinfo(3) for IPv6 and IPv4 stream sockets.
std::vector<IpAddress> SystemResolver(const std::string& name);

enum class LookupOutcome { kFound, kNotFound, kOutOfMemory };

// One name lookup off the event loop's thread: the resolver runs on a worker of its own and its
// answer comes back through the loop's Post. Destroying the lookup abandons it: the answer of a
// worker still running is dropped when it comes, and the worker ends on its own.
class HostLookup {
 public:
  using Answer = std::function<void(LookupOutcome outcome, std::vector<IpAddress> addresses)>;
  // `answer` runs on the loop's thread, at most once, never after the lookup is destroyed.
  HostLookup(platform::EventLoop& loop, const Resolver& resolver, std::string name, Answer answer);
  ~HostLookup();
  HostLookup(const HostLookup&) = delete;
  HostLookup& operator=(const HostLookup&) = delete;

 private:
  struct Shared;
  static void Deliver(Shared& shared, LookupOutcome outcome, std::vector<IpAddress> addresses);
  std::shared_ptr<Shared> shared_;
};

}  // namespace zelk::net
