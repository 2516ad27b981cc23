#include "filter/filter_page.h"

#include <gtest/gtest.h>

#include <functional>

namespace zelk::filter {
namespace {

FilterRow Row(const char* item1, int action = 0, bool use = true) { return {use, action, item1, "*x*", "", ""}; }

std::string Items(const FilterPage& page) {
  std::string items;
  for (const FilterRow& row : page.rows()) items += row.item1.substr(0, 1);
  return items;
}

TEST(FilterPage, CommandsKeepTheOrderAndTheSelectionWhereTheListSays) {
  using Command = std::function<void(FilterPage&)>;
  const struct {
    const char* what;
    Command command;
    const char* items;
    int selected;
  } cases[] = {
      {"add goes to the end", [](FilterPage& p) { p.Add(Row("D:")); }, "ABCD", 3},
      {"edit stays in place", [](FilterPage& p) { p.Replace(0, Row("Z:")); }, "ZBC", 0},
      {"delete selects the same position", [](FilterPage& p) { p.Delete(1); }, "AC", 1},
      {"delete of the last selects none", [](FilterPage& p) { p.Delete(2); }, "AB", -1},
      {"up swaps with the row above", [](FilterPage& p) { p.MoveUp(2); }, "ACB", 1},
      {"up at the top does nothing", [](FilterPage& p) { p.Select(0), p.MoveUp(0); }, "ABC", 0},
      {"down swaps with the row below", [](FilterPage& p) { p.MoveDown(0); }, "BAC", 1},
      {"down at the bottom does nothing", [](FilterPage& p) { p.Select(2), p.MoveDown(2); }, "ABC", 2},
      {"out of range does nothing",
       [](FilterPage& p) { p.Select(1), p.Delete(5), p.Replace(-1, Row("Z:")); }, "ABC", 1},
  };
  for (const auto& c : cases) {
    store::MailBox box;
    FilterPage page(box);
    for (const char* item : {"A:", "B:", "C:"}) page.Add(Row(item));
    c.command(page);
    EXPECT_EQ(Items(page), c.items) << c.what;
    EXPECT_EQ(page.selected(), c.selected) << c.what;
  }
}

TEST(FilterPage, RowsShowUseAndTheActionNameAndTheRulesAreRebuiltOnConfirm) {
  store::MailBox box;
  box.FilterEnable = 1;
  box.Filters = {{1, 3, "Subject:", "*[spam]*", "From:", "*@ads*"}, {0, 9, "To:", std::nullopt, std::nullopt, ""}};
  FilterPage page(box);
  EXPECT_TRUE(page.enabled);
  const std::array<platform::Text, 6> first = {"Use", "Mark for deletion", "Subject:", "*[spam]*", "From:", "*@ads*"};
  EXPECT_EQ(RowTexts(page.rows()[0]), first);
  EXPECT_EQ(RowTexts(page.rows()[1])[0], "Unused");
  EXPECT_EQ(RowTexts(page.rows()[1])[1], "Not download");  // a code out of range shows as 0

  page.enabled = false;
  page.Add({true, 5, "X-ML-Name:", std::string(300, 'c'), "", ""});
  page.Store(box);
  EXPECT_EQ(box.FilterEnable, 0);
  ASSERT_EQ(box.Filters.size(), 3u);
  EXPECT_EQ(box.Filters[1].Action, 0);  // and stores as 0
  EXPECT_EQ(box.Filters[1].Enable, 0);
  EXPECT_EQ(box.Filters[2].Action, 5);
  EXPECT_EQ(box.Filters[2].Content1->size(), 254u);
}

TEST(FilterPage, ARuleNeedsItsFirstItem) {
  EXPECT_EQ(CheckRule({true, 0, "", "*", "From:", "*"}), std::optional<std::string_view>("Item 1 not set"));
  EXPECT_EQ(CheckRule({true, 0, "Subject:", "", "", ""}), std::nullopt);
}

}  // namespace
}  // namespace zelk::filter
