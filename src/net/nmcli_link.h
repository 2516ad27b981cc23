#pragma once
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "net/dial_link.h"
#include "platform/event_loop.h"

// Dial-up through NetworkManager's command-line client: the entries are its connection profiles,
// dialling is "connection up" (run in the background, its end watched on the event loop) and
// hanging up "connection down" of the one profile this program brought up.
namespace zelk::net {

class NmcliLink final : public DialLink {
 public:
  // `program` is looked up on PATH now; without it dial-up is unavailable.
  explicit NmcliLink(platform::EventLoop& loop, std::string_view program = "nmcli");
  // A dial under way is abandoned; a connection that is up stays up (the exit rules decide).
  ~NmcliLink() override;
  NmcliLink(const NmcliLink&) = delete;
  NmcliLink& operator=(const NmcliLink&) = delete;

  bool Available() const override { return program_.has_value(); }
  // Every profile but the loopback one.
  std::vector<platform::Text> Entries() override;
  // Profiles whose activation has completed, the loopback one left out.
  std::optional<std::vector<platform::Text>> ActiveEntries() override;
  // A profile that is up already is reported connected at once and is never taken down by
  // HangUp. The password reaches nmcli through a passwd-file (mode 0600, removed when the dial
  // ends) for mobile broadband and PPPoE profiles; the user name is the profile's own.
  bool Dial(const platform::Text& entry, const platform::Text& user, const platform::Text& password,
            Progress progress, platform::Text& error) override;
  void HangUp() override;

 private:
  struct Activation;
  struct Profile {
    platform::Text name;
    std::string type;
    std::string state;
  };
  // The profiles `connection show` lists (only the active ones with `active`); nothing when
  // nmcli fails.
  std::optional<std::vector<Profile>> Profiles(bool active) const;
  void OnOutput();
  void EndActivation();

  platform::EventLoop& loop_;
  std::optional<std::string> program_;
  std::shared_ptr<Activation> activation_;  // the last dial, while it runs or is reported
  std::optional<platform::Text> dialled_;   // brought up by this program: the one to take down
};

}  // namespace zelk::net
