#pragma once
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/code_page.h"

namespace zelk::net {

// Zelk.log in the home directory: what every network conversation said and did, for the user who
// wants to see why a check or a send failed. Written only when SocLog is 1.
class ConversationLog {
 public:
  ConversationLog(std::string homeDirectory, bool enabled);

  // At start-up the log of the previous run goes, so the file holds the current run only.
  void DeleteOldLog() const;
  // "\r\n", 32 hyphens, the date and time, and the kind ("recv", "exec" or "send").
  void StartConversation(std::string_view kind, const platform::Clock& clock) const;
  // One text, followed by a line end unless it has one. A password command is written as
  // "PASS ****" or "APOP ****".
  void Append(const platform::Text& text) const;

  bool enabled() const { return enabled_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  bool enabled_;
};

}  // namespace zelk::net
