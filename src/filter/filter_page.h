#pragma once
#include <array>
#include <optional>
#include <string_view>
#include <vector>

#include "platform/code_page.h"
#include "store/mailbox.h"

// The account's filter page and its rule dialog without the widgets: the rows as the list shows
// them, the commands on them and what confirming the account's settings makes of them.
namespace zelk::filter {

// The header names the rule dialog offers for "Item1:" and "Item2:" (any other may be typed).
inline constexpr std::array<std::string_view, 15> kOfferedHeaderNames = {
    "From:", "To:", "Cc:", "Subject:", "Organization:", "Reply-To:", "Comments:", "Content-Type:",
    "Date:", "Keywords:", "Sender:", "X-Mailer:", "X-Priority:", "X-Sender:", "X-ML-Name:"};

inline constexpr char kItemOneNotSet[] = "Item 1 not set";

// One row of the list: "Use"/"Unused", the action, the two conditions.
struct FilterRow {
  bool use = true;  // a new rule starts enabled
  int action = 0;
  platform::Text item1;
  platform::Text content1;
  platform::Text item2;
  platform::Text content2;
};

// The list's column texts of a row, in column order.
std::array<platform::Text, 6> RowTexts(const FilterRow& row);

// The rule dialog's OK: nothing when the row may be written, else the text of the refusal.
std::optional<std::string_view> CheckRule(const FilterRow& row);

class FilterPage {
 public:
  // The account's switch and rules as the page shows them first.
  explicit FilterPage(const store::MailBox& account);

  bool enabled = false;
  const std::vector<FilterRow>& rows() const { return rows_; }
  int selected() const { return selected_; }  // -1: none
  void Select(int row);

  // A new rule goes to the end of the list; an edited one stays in its place. Either becomes the
  // only selected row. The texts are cut to the field limit.
  void Add(const FilterRow& row);
  void Replace(int index, const FilterRow& row);
  // The row goes; the row that takes its position is selected (none when it was the last).
  void Delete(int index);
  // Swap the row with its neighbour and keep it selected; nothing at the list's ends.
  void MoveUp(int index);
  void MoveDown(int index);

  // The settings confirmed: the switch and a new set of rules built row by row.
  void Store(store::MailBox& account) const;

 private:
  std::vector<FilterRow> rows_;
  int selected_ = -1;
};

}  // namespace zelk::filter
