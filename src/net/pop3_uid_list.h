#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

// The server's answer to UIDL without a message number (RFC 1939): each message's number and
// the unique id the server keeps for it across sessions, whatever the numbering does.
namespace zelk::net {

class Pop3UidList {
 public:
  // A new list for a mailbox of `count` messages.
  void Begin(int count);
  // One line "n uid". False when the list and the count disagree (more lines than messages, a
  // number naming none), so that no item may be trusted to a number from it.
  [[nodiscard]] bool Add(std::string_view line);
  // The number of the first message listed with `uid`, or 0.
  int NumberOf(std::string_view uid) const;
  // The unique id of message `number`, when listed.
  std::optional<std::string_view> UidOf(int number) const;
  void Clear();

 private:
  int count_ = 0;
  std::int64_t lines_ = 0;
  std::unordered_map<std::string, int> numbers_;
  std::unordered_map<int, std::string> uids_;
};

}  // namespace zelk::net
