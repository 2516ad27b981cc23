#include "net/pop3_uid_list.h"

#include "net/pop3_login.h"

namespace zelk::net {

void Pop3UidList::Begin(int count) {
  Clear();
  count_ = count;
}

bool Pop3UidList::Add(std::string_view line) {
  const std::size_t space = line.find(' ');
  const std::optional<int> number = space == std::string_view::npos ? std::nullopt : PlainNumber(line.substr(0, space));
  if (++lines_ > count_ || !number || *number < 1 || *number > count_) return false;
  const std::string uid(line.substr(space + 1));
  numbers_.emplace(uid, *number);  // the first of equal ids wins
  uids_.emplace(*number, uid);
  return true;
}

int Pop3UidList::NumberOf(std::string_view uid) const {
  const auto found = numbers_.find(std::string(uid));
  return found == numbers_.end() ? 0 : found->second;
}

std::optional<std::string_view> Pop3UidList::UidOf(int number) const {
  const auto found = uids_.find(number);
  if (found == uids_.end()) return std::nullopt;
  return found->second;
}

void Pop3UidList::Clear() {
  std::unordered_map<std::string, int>().swap(numbers_);
  std::unordered_map<int, std::string>().swap(uids_);
  lines_ = 0;
  count_ = 0;
}

}  // namespace zelk::net
