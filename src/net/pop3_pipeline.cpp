#include "net/pop3_pipeline.h"

#include <algorithm>

#include "net/pop3_login.h"
#include "platform/ascii.h"

namespace zelk::net {

namespace {

// The commands whose positive answer is a list ending in a "." line: TOP, RETR, CAPA, and LIST
// and UIDL without a message number.
bool IsMultiLine(std::string_view command) {
  const std::string_view name = command.substr(0, std::min(command.find_first_of(" \r"), command.size()));
  const bool wholeList = command.find(' ') == std::string_view::npos;
  return platform::EqualIgnoringAsciiCase(name, "TOP") || platform::EqualIgnoringAsciiCase(name, "RETR") ||
         platform::EqualIgnoringAsciiCase(name, "CAPA") ||
         (wholeList && (platform::EqualIgnoringAsciiCase(name, "LIST") || platform::EqualIgnoringAsciiCase(name, "UIDL")));
}

// The check passes over a lone "." where the status line of a fetched message is due, so the
// status line is still to come.
bool IsFetch(std::string_view command) {
  return platform::StartsWithIgnoringAsciiCase(command, "TOP ") || platform::StartsWithIgnoringAsciiCase(command, "RETR ");
}

}  // namespace

std::size_t Pop3Pipeline::AheadCount() const {
  return static_cast<std::size_t>(
      std::count_if(inFlight_.begin(), inFlight_.end(), [](const Command& command) { return command.turn == Turn::kAhead; }));
}

bool Pop3Pipeline::SendAhead(Conversation& conversation, std::string command) {
  if (conversation.Send(command) != 0) return false;
  bytesInFlight_ += command.size();
  const bool multiLine = IsMultiLine(command);
  inFlight_.push_back({std::move(command), multiLine, Turn::kAhead});
  return true;
}

bool Pop3Pipeline::Send(Conversation& conversation, std::string_view command, const platform::Text& shown,
                        platform::Text& error) {
  const auto next = std::find_if(inFlight_.begin(), inFlight_.end(), [](const Command& c) { return c.turn == Turn::kAhead; });
  if (next != inFlight_.end() && next->text == command) {
    next->turn = Turn::kTaken;
    conversation.SetStatus(shown, 1);
    return true;
  }
  // Another command than foreseen: whatever was sent ahead will never have its turn.
  for (auto it = next; it != inFlight_.end(); ++it) it->turn = Turn::kAbandoned;
  if (!SendCommand(conversation, command, shown, error)) return false;
  bytesInFlight_ += command.size();
  inFlight_.push_back({std::string(command), IsMultiLine(command), Turn::kTaken});
  return true;
}

bool Pop3Pipeline::ForHandler(std::string_view line) {
  // Lines nobody here asked for (the greeting, the login's answers, those to RSET and QUIT sent
  // by Stop) are the handler's.
  if (inFlight_.empty()) return true;
  const Command& oldest = inFlight_.front();
  const bool handlers = oldest.turn == Turn::kTaken;
  if (!oldest.multiLine) {
    Answered();
  } else if (inBody_) {
    if (line == ".") Answered();
  } else if (IsPositive(line)) {
    inBody_ = true;
  } else if (!(line == "." && IsFetch(oldest.text))) {
    Answered();
  }
  return handlers;
}

void Pop3Pipeline::Answered() {
  bytesInFlight_ -= inFlight_.front().text.size();
  inFlight_.pop_front();
  inBody_ = false;
}

}  // namespace zelk::net
