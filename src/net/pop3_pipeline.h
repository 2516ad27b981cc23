#pragma once
#include <cstddef>
#include <deque>
#include <string>
#include <string_view>

#include "net/conversation.h"

// Commands sent ahead of their turn to a server that offers PIPELINING (RFC 2449). The handler
// still asks for each command when its turn comes, exactly as it would without pipelining; a
// command already on the wire is then only shown and logged. When the handler asks for another
// command than the one sent ahead (a refused TOP, a failed verification, the end), the answers
// still owed for what was sent ahead are read and passed over, so the handler sees the same
// lines in the same order either way.
namespace zelk::net {

class Pop3Pipeline {
 public:
  // What may be on the wire unanswered: some 300 messages' LIST and TOP, still far below any
  // socket buffer, so that neither side ever blocks writing while the other waits to be read
  // (RFC 2449 section 6.6).
  static constexpr std::size_t kMostBytesInFlight = 8192;

  void Enable(bool enabled) { enabled_ = enabled; }
  bool enabled() const { return enabled_; }
  // The commands sent ahead that still wait for their turn.
  std::size_t AheadCount() const;
  bool HasAhead() const { return AheadCount() > 0; }
  // Whether `bytes` more may be sent ahead now.
  bool HasRoom(std::size_t bytes) const { return bytesInFlight_ + bytes <= kMostBytesInFlight; }

  // Sends `command` before its turn. False when the connection has failed.
  [[nodiscard]] bool SendAhead(Conversation& conversation, std::string command);
  // The handler's command at its turn: shown and logged as `shown`, and sent unless it is the
  // next one already sent ahead. False with "Send error".
  [[nodiscard]] bool Send(Conversation& conversation, std::string_view command, const platform::Text& shown,
                          platform::Text& error);
  // Each received line, in order: false for a line answering a command sent ahead whose turn
  // never came (or has not come yet), which the handler must not see.
  bool ForHandler(std::string_view line);

 private:
  enum class Turn { kAhead, kTaken, kAbandoned };
  struct Command {
    std::string text;
    bool multiLine;
    Turn turn;
  };
  void Answered();

  std::deque<Command> inFlight_;  // in the order sent, so in the order answered
  std::size_t bytesInFlight_ = 0;
  bool inBody_ = false;  // the oldest command's multi-line answer was accepted
  bool enabled_ = false;
};

}  // namespace zelk::net
