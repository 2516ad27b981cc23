#include "config/initialise_rules.h"

#include <string>

namespace zelk::config {

namespace {

platform::Text Grouped(long long number) {
  const std::string digits = std::to_string(number < 0 ? -number : number);
  platform::Text text = number < 0 ? "-" : "";
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += ',';
    text += digits[i];
  }
  return text;
}

}  // namespace

int LastNoAfterInitialise(InitialiseFrom from, int itemNumber) {
  return from == InitialiseFrom::kItemNumber && itemNumber >= 1 ? itemNumber : -1;
}

platform::Text MailCountText(int mailCount) { return std::to_string(mailCount); }

platform::Text TotalSizeText(int mailSize) {
  if (mailSize < 1024) return Grouped(mailSize) + " bytes";
  return Grouped(mailSize / 1024) + " KB";
}

}  // namespace zelk::config
