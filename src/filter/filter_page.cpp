#include "filter/filter_page.h"

#include <utility>

#include "config/sheet_fields.h"
#include "filter/filters.h"

namespace zelk::filter {

namespace {

FilterRow CutRow(const FilterRow& row) {
  FilterRow cut = row;
  for (platform::Text* text : {&cut.item1, &cut.content1, &cut.item2, &cut.content2}) *text = config::CutField(*text);
  return cut;
}

bool Valid(const std::vector<FilterRow>& rows, int index) {
  return index >= 0 && index < static_cast<int>(rows.size());
}

}  // namespace

std::array<platform::Text, 6> RowTexts(const FilterRow& row) {
  return {row.use ? "Use" : "Unused", platform::Text(FilterRuleName(row.action)), row.item1, row.content1, row.item2,
          row.content2};
}

std::optional<std::string_view> CheckRule(const FilterRow& row) {
  if (row.item1.empty()) return kItemOneNotSet;
  return std::nullopt;
}

FilterPage::FilterPage(const store::MailBox& account) : enabled(account.FilterEnable == 1) {
  for (const store::FilterRule& rule : account.Filters) {
    rows_.push_back({rule.Enable == 1, rule.Action, config::FieldText(rule.Header1), config::FieldText(rule.Content1),
                     config::FieldText(rule.Header2), config::FieldText(rule.Content2)});
  }
}

void FilterPage::Select(int row) { selected_ = Valid(rows_, row) ? row : -1; }

void FilterPage::Add(const FilterRow& row) {
  rows_.push_back(CutRow(row));
  selected_ = static_cast<int>(rows_.size()) - 1;
}

void FilterPage::Replace(int index, const FilterRow& row) {
  if (!Valid(rows_, index)) return;
  rows_[static_cast<std::size_t>(index)] = CutRow(row);
  selected_ = index;
}

void FilterPage::Delete(int index) {
  if (!Valid(rows_, index)) return;
  rows_.erase(rows_.begin() + index);
  Select(index);
}

void FilterPage::MoveUp(int index) {
  if (!Valid(rows_, index) || index == 0) return;
  std::swap(rows_[static_cast<std::size_t>(index)], rows_[static_cast<std::size_t>(index - 1)]);
  selected_ = index - 1;
}

void FilterPage::MoveDown(int index) {
  if (!Valid(rows_, index + 1)) return;
  std::swap(rows_[static_cast<std::size_t>(index)], rows_[static_cast<std::size_t>(index + 1)]);
  selected_ = index + 1;
}

void FilterPage::Store(store::MailBox& account) const {
  account.FilterEnable = enabled ? 1 : 0;
  std::vector<store::FilterRule> rules;
  rules.reserve(rows_.size());
  for (const FilterRow& row : rows_) {
    // The action goes through its name, as the list shows it: an unknown code reads back as 0.
    rules.push_back({row.use ? 1 : 0, FilterRuleCode(FilterRuleName(row.action)), row.item1, row.content1, row.item2,
                     row.content2});
  }
  account.Filters = std::move(rules);
}

}  // namespace zelk::filter
