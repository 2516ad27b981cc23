#include "net/host_lookup.h"

#include <netdb.h>
#include <netinet/in.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

namespace zelk::net {

std::vector<IpAddress> SystemResolver(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  const int rc = ::getaddrinfo(name.c_str(), nullptr, &hints, &found);
  if (rc == EAI_MEMORY) throw std::bad_alloc();
  std::vector<IpAddress> addresses;
  if (rc != 0) return addresses;
  const std::unique_ptr<addrinfo, void (*)(addrinfo*)> owner(found, ::freeaddrinfo);
  for (const addrinfo* each = found; each != nullptr; each = each->ai_next) {
    IpAddress address;
    address.family = each->ai_family;
    if (each->ai_family == AF_INET) {
      const auto* v4 = reinterpret_cast<const sockaddr_in*>(each->ai_addr);
      std::memcpy(address.bytes.data(), &v4->sin_addr, 4);
    } else if (each->ai_family == AF_INET6) {
      const auto* v6 = reinterpret_cast<const sockaddr_in6*>(each->ai_addr);
      std::memcpy(address.bytes.data(), &v6->sin6_addr, 16);
    } else {
      continue;
    }
    if (std::find(addresses.begin(), addresses.end(), address) == addresses.end()) addresses.push_back(address);
  }
  return addresses;
}

// What the worker and the loop's side share. The worker posts only while `abandoned` is false,
// under the mutex, so once the destructor has set it no post can reach a loop that may be gone.
struct HostLookup::Shared {
  std::mutex mutex;
  bool abandoned = false;  // written under the mutex; read by the posted call on the loop's thread
  platform::EventLoop* loop;
  Answer answer;
};

// On the loop's thread: the answer, once, unless the lookup was abandoned.
void HostLookup::Deliver(Shared& shared, LookupOutcome outcome, std::vector<IpAddress> addresses) {
  if (shared.abandoned) return;
  shared.abandoned = true;  // answered once
  // Out of the shared state first: the answer may destroy the HostLookup.
  const Answer answer = std::move(shared.answer);
  answer(outcome, std::move(addresses));
}

HostLookup::HostLookup(platform::EventLoop& loop, const Resolver& resolver, std::string name, Answer answer)
    : shared_(std::make_shared<Shared>()) {
  shared_->loop = &loop;
  shared_->answer = std::move(answer);
  const auto work = [shared = shared_, resolver, name = std::move(name)] {
    LookupOutcome outcome = LookupOutcome::kOutOfMemory;
    std::vector<IpAddress> addresses;
    try {
      addresses = resolver(name);
      outcome = addresses.empty() ? LookupOutcome::kNotFound : LookupOutcome::kFound;
    } catch (const std::bad_alloc&) {
      addresses.clear();
    }
    const std::lock_guard lock(shared->mutex);
    if (shared->abandoned) return;
    shared->loop->Post([shared, outcome, addresses = std::move(addresses)]() mutable {
      Deliver(*shared, outcome, std::move(addresses));
    });
  };
  try {
    std::thread(work).detach();
  } catch (const std::system_error&) {
    // No thread to be had: the answer comes at once, through the loop like any other.
    loop.Post([shared = shared_] { Deliver(*shared, LookupOutcome::kOutOfMemory, {}); });
  }
}

HostLookup::~HostLookup() {
  const std::lock_guard lock(shared_->mutex);
  shared_->abandoned = true;
  shared_->answer = nullptr;
}

}  // namespace zelk::net
