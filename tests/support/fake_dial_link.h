#pragma once
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "net/dial_link.h"
#include "platform/event_loop.h"

namespace zelk::test {

// A dial-up link played from a script: which entries exist and are up, whether a dial starts,
// the reports each dial sends (posted to the event loop one by one, as the platform would send
// them). Every dial and hang-up is recorded as one line in `calls`.
class FakeDialLink final : public net::DialLink {
 public:
  explicit FakeDialLink(platform::EventLoop& loop) : loop_(loop) {}

  bool available = true;
  std::vector<platform::Text> entries;
  std::optional<std::vector<platform::Text>> active = std::vector<platform::Text>{};  // nothing: cannot tell
  bool dialStarts = true;
  platform::Text dialError;  // the error of a dial that does not start
  std::vector<net::DialEvent> script{{net::DialState::kOpenPort, {}},
                                     {net::DialState::kConnectDevice, {}},
                                     {net::DialState::kAuthenticate, {}},
                                     {net::DialState::kConnected, {}}};
  std::vector<std::string> calls;

  // A report of dial number `dial` (0 = the first) now, even one the link would no longer send.
  void Report(const net::DialEvent& event, std::size_t dial) {
    const Progress call = progress_.at(dial);  // a copy: the report may start another dial
    call(event);
  }
  // A report of the current dial, as the platform sends it when the line drops.
  void Report(const net::DialEvent& event) {
    if (dialled_) Deliver(event, progress_.size() - 1);
  }

  bool Available() const override { return available; }
  std::vector<platform::Text> Entries() override { return entries; }
  std::optional<std::vector<platform::Text>> ActiveEntries() override { return active; }
  bool Dial(const platform::Text& entry, const platform::Text& user, const platform::Text& password,
            Progress progress, platform::Text& error) override {
    calls.push_back("dial " + entry + " " + user + " " + password);
    if (!dialStarts) {
      error = dialError;
      return false;
    }
    dialled_ = entry;
    progress_.push_back(std::move(progress));
    const std::size_t dial = progress_.size() - 1;
    for (const net::DialEvent& event : script) {
      loop_.Post([this, event, dial] {
        if (dialled_ && dial == progress_.size() - 1) Deliver(event, dial);
      });
    }
    return true;
  }
  void HangUp() override {
    calls.push_back("hang up");
    if (dialled_ && active) std::erase(*active, *dialled_);
    dialled_.reset();
  }

 private:
  void Deliver(const net::DialEvent& event, std::size_t dial) {
    if (event.state == net::DialState::kConnected && event.error.empty() && active) active->push_back(*dialled_);
    const Progress call = progress_[dial];
    call(event);
  }

  platform::EventLoop& loop_;
  std::optional<platform::Text> dialled_;
  std::vector<Progress> progress_;
};

}  // namespace zelk::test
