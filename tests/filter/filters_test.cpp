#include "filter/filters.h"

#include <gtest/gtest.h>

#include "filter/wildcard.h"
#include "support/code_page_scope.h"

namespace zelk::filter {
namespace {

TEST(Wildcard, MatchesWholeTextByCharacterWithAsciiFoldingOnly) {
  const struct { const char *pattern, *text; bool match; } cases[] = {
      {"*news*", "Daily NEWS digest", true}, {"news", "NeWs", true}, {"news", "newsletter", false},
      {"*[spam]*", "[SPAM] offer", true}, {"", "", true}, {"", "a", false}, {"*", "", true}, {"*?", "", false},
      {"a?", "ab", true}, {"a?", "a", false}, {"a*b*c", "axbxcx", false}, {"a*", "a,b", true}, {"a", "a,b", false},
      {"[", "{", false}, {"é", "É", false}, {"?", "é", true}, {"??", "é", false}, {"?", "\xF0\x9F\x98\x80", true},
      {"?", "\xFF", true}, {"*\xA9", "é", false}, {"*é?", "xéy", true},
  };
  for (const auto& c : cases) EXPECT_EQ(WildcardMatch(c.pattern, c.text), c.match) << c.pattern << " / " << c.text;
}

TEST(Wildcard, ManyStarsAgainstALongValueStayCheap) {
  std::string pattern;
  for (int i = 0; i < 30; ++i) pattern += "*a";
  const std::string text = std::string(9999, 'a') + "b";
  EXPECT_FALSE(WildcardMatch(pattern, text));
  EXPECT_TRUE(WildcardMatch(pattern + "*b", text));
}

store::FilterRule Rule(int action, const char* content1, int enable = 1, store::OptionalText header1 = "Subject:",
                       const char* header2 = "", const char* content2 = "") {
  return {enable, action, header1, content1, header2, content2};
}

TEST(EvaluateFilters, FollowsTheOrderOfTheRules) {
  const char* hit = "hello";
  const struct { std::vector<store::FilterRule> rules; int verdict; } cases[] = {
      {{}, 2},
      {{Rule(1, hit), Rule(0, hit)}, 2},
      {{Rule(0, hit), Rule(1, hit)}, 1},
      {{Rule(3, hit), Rule(2, hit)}, 8},
      {{Rule(1, hit), Rule(4, hit), Rule(2, hit), Rule(5, hit)}, 2},
      {{Rule(4, hit), Rule(2, hit), Rule(1, hit), Rule(3, hit)}, 2 | 4 | 16},
      {{Rule(0, hit), Rule(5, hit), Rule(3, hit)}, 1 | 8 | 32},
      {{Rule(0, "bye"), Rule(4, "HEL*")}, 16},
      {{Rule(0, hit, 0), Rule(0, hit, 2), Rule(0, "", 1, ""), Rule(0, "", 1, std::nullopt)}, 2},
      {{Rule(0, "", 1, "X-ML-Name:")}, 1},
      {{Rule(0, hit, 1, "Subject:", "From:", "z*"), Rule(4, hit, 1, "Subject:", "from:", "x@*")}, 16},
      {{Rule(4, hit, 1, "Subject:", "", "no such value")}, 16},
      {{Rule(9, hit)}, 1},
      {{Rule(-1, hit)}, 1},
  };
  const char* header = "Subject: hello\r\nFrom: x@y\r\n\r\nbody";
  store::MailBox account;
  account.FilterEnable = 1;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    account.Filters = cases[i].rules;
    EXPECT_EQ(EvaluateFilters(account, header, "Windows-1252"), cases[i].verdict) << "case " << i;
  }
  EXPECT_EQ(EvaluateFilters(account, "", "Windows-1252"), 2);
  account.FilterEnable = 0;
  EXPECT_EQ(EvaluateFilters(account, header, "Windows-1252"), 2);
}

TEST(FilterMatch, TestsEveryFieldOfTheNameJoinedAndDecoded) {
  const store::HeaderBlock twoTo = store::HeaderBlockOf("To: a\r\nCc: c\r\nto: b\r\n\r\n");
  EXPECT_FALSE(FilterMatch(twoTo, "To:", "a", "Windows-1252"));
  EXPECT_TRUE(FilterMatch(twoTo, "To:", "A,B", "Windows-1252"));
  EXPECT_TRUE(FilterMatch(twoTo, "Subject:", "*", "Windows-1252"));
  EXPECT_FALSE(FilterMatch(twoTo, "Subject:", "?", "Windows-1252"));
  EXPECT_FALSE(FilterMatch(twoTo, "", "*a*", "Windows-1252"));
  for (const char* codePage : {"UTF-8", "CP1252"}) {
    const test::CodePageScope scope(codePage);
    EXPECT_TRUE(FilterMatch(store::HeaderBlockOf("Subject: =?UTF-8?B?Y2Fmw6k=?= menu\r\n\r\n"), "Subject:", "café ?enu", "Windows-1252")) << codePage;
  }
}

TEST(ApplyFilterVerdict, ListsMarksAndCopiesAFreshItem) {
  // The copy keeps the read state but not the mark; a header-only item (status 0) is neither read nor copied.
  const struct {
    int verdict, status;
    FilterOutcome outcome;
    std::size_t listed;
    int mark, status2;
    std::size_t copies;
  } cases[] = {
      {2, 1, FilterOutcome::kListed, 1, 1, 1, 0},     {16, 1, FilterOutcome::kListed, 1, 2, 2, 0},
      {16, 0, FilterOutcome::kListed, 1, 0, 0, 0},    {4 | 8, 1, FilterOutcome::kListed, 1, 3, 1, 0},
      {8 | 16, 1, FilterOutcome::kListed, 1, 4, 2, 0}, {32 | 4, 1, FilterOutcome::kListed, 1, 3, 1, 1},
      {32, 0, FilterOutcome::kListed, 1, 0, 0, 0},    {1 | 32 | 16, 1, FilterOutcome::kNotListed, 0, 2, 2, 1},
      {1 | 32, 0, FilterOutcome::kNotListed, 0, 0, 0, 0}, {1 | 4, 1, FilterOutcome::kNotListed, 0, 3, 1, 0},
  };
  for (const auto& c : cases) {
    store::MailBox account, savebox;
    account.Name = "Work";
    auto item = std::make_shared<store::MailItem>();
    item->Status = item->Mark = c.status;
    EXPECT_EQ(ApplyFilterVerdict(c.verdict, item, account, savebox), c.outcome) << c.verdict;
    EXPECT_EQ(account.Items.size(), c.listed) << c.verdict;
    EXPECT_EQ(std::pair(item->Mark, item->Status), std::pair(c.mark, c.status2)) << c.verdict;
    ASSERT_EQ(savebox.Items.size(), c.copies) << c.verdict;
    if (c.copies == 0) continue;
    const store::MailItem& copy = *savebox.Items[0];
    EXPECT_EQ(std::tuple(copy.Mark, copy.Status, *copy.MailBoxName), std::tuple(c.status2, c.status2, "Work"));
  }
  store::MailBox account, savebox;
  EXPECT_EQ(ApplyFilterVerdict(1, nullptr, account, savebox), FilterOutcome::kNotListed);
  EXPECT_EQ(ApplyFilterVerdict(2, nullptr, account, savebox), FilterOutcome::kFailed);
}

TEST(ApplyFilterVerdict, CopiesAMessageToTheSaveboxOnlyOnce) {
  store::MailBox account, savebox;
  account.FilterEnable = 1;
  account.Filters = {Rule(0, "*offer*"), Rule(5, "*")};
  const char* raw = "Subject: [SPAM] offer\r\n\r\nbuy\r\n";
  // The same id twice, an id differing in case, then two items without an id.
  for (const char* id : {"<id@x>", "<id@x>", "<ID@x>", "", ""}) {
    auto item = std::make_shared<store::MailItem>();
    item->Status = item->Mark = store::kStatusUnread;
    if (*id) item->MessageId = id;
    EXPECT_EQ(ApplyFilterVerdict(EvaluateFilters(account, raw, "Windows-1252"), item, account, savebox), FilterOutcome::kNotListed);
  }
  EXPECT_TRUE(account.Items.empty());
  EXPECT_EQ(savebox.Items.size(), 4u);
}

TEST(FilterRuleNames, NameAndCodeTurnIntoEachOther) {
  const char* names[] = {"Not download", "Not download", "Download", "Mark for download",
                         "Mark for deletion", "Mark as read", "Copy to Savebox", "Not download"};
  for (int code = -1; code <= 6; ++code) {
    EXPECT_EQ(FilterRuleName(code), names[code + 1]) << code;
    EXPECT_EQ(FilterRuleCode(names[code + 1]), code >= 1 && code <= 5 ? code : 0) << code;
  }
  for (const char* other : {"", "download", "Copy to Savebox "}) EXPECT_EQ(FilterRuleCode(other), 0) << other;
}

}  // namespace
}  // namespace zelk::filter
