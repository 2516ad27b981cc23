#pragma once
#include <functional>
#include <optional>
#include <vector>

#include "platform/code_page.h"

// The platform's side of dial-up: which connections are up, dialling one with progress reports,
// hanging up what was dialled. The dial-up request (dial_up.h) decides when; a link only does.
namespace zelk::net {

enum class DialState { kOpenPort, kConnectDevice, kAuthenticate, kConnected, kDisconnected };

// One report of a dial under way, or of its connection dropping later.
struct DialEvent {
  DialState state = DialState::kOpenPort;
  platform::Text error;  // not empty: the dial failed or the line dropped, with this text
};

class DialLink {
 public:
  using Progress = std::function<void(const DialEvent&)>;
  virtual ~DialLink() = default;

  // False where the platform has no dial-up at all: every request is then answered yes.
  virtual bool Available() const = 0;
  // The names of the connection entries the user can dial, for the account settings.
  virtual std::vector<platform::Text> Entries() = 0;
  // The names of the connections that are up now; nothing when that cannot be told.
  virtual std::optional<std::vector<platform::Text>> ActiveEntries() = 0;
  // Starts dialling `entry`. Reports arrive later through the event loop, never from inside this
  // call. False, with `error` set, when the dial could not even be started.
  virtual bool Dial(const platform::Text& entry, const platform::Text& user, const platform::Text& password,
                    Progress progress, platform::Text& error) = 0;
  // Hangs up, or cancels, what the last Dial brought up; no further reports come from it. A
  // connection that was up before this program dialled it is left alone.
  virtual void HangUp() = 0;
};

}  // namespace zelk::net
