#pragma once
#include <string_view>

#include "store/header_fields.h"
#include "store/mailbox.h"

// Receive filters: an account's rules judge the header block of each message a check fetches,
// before the message becomes an item of the account.
namespace zelk::filter {

// Action codes of a rule, in the order the rule dialog offers them.
inline constexpr int kActionNotDownload = 0;
inline constexpr int kActionDownload = 1;
inline constexpr int kActionMarkDownload = 2;
inline constexpr int kActionMarkDelete = 3;
inline constexpr int kActionMarkRead = 4;
inline constexpr int kActionCopyToSavebox = 5;
inline constexpr int kActionCount = 6;

// A verdict is a set of these bits, one per action (bit = 1 << action code).
inline constexpr int kVerdictNotDownload = 1;
inline constexpr int kVerdictDownload = 2;
inline constexpr int kVerdictMarkDownload = 4;
inline constexpr int kVerdictMarkDelete = 8;
inline constexpr int kVerdictMarkRead = 16;
inline constexpr int kVerdictCopyToSavebox = 32;
// What a message gets when no rule applies: listed, unmarked.
inline constexpr int kVerdictNone = kVerdictDownload;

// Judges a message's header (8-bit text as received) by the account's rules, in list order. Fields
// are read as DecodedHeader reads them, with `fallbackCharset`.
int EvaluateFilters(const store::MailBox& account, std::string_view raw, std::string_view fallbackCharset);

// Whether the value of the field `name` (every occurrence joined with ",", encoded words decoded;
// empty when the field is absent) matches `pattern`. An empty pattern matches every message.
bool FilterMatch(store::HeaderBlock header, std::string_view name, std::string_view pattern,
                 std::string_view fallbackCharset);

enum class FilterOutcome {
  kListed,     // the item is now in the account
  kNotListed,  // a rule kept the message out of the account (a Savebox copy may still exist)
  kFailed,     // out of memory or no item; the account and the Savebox are as they were
};

// Carries out a verdict on the item just made from the message: appends it to the account unless
// "Not download" is in the verdict, marks it, marks it read and copies it to the Savebox as the
// verdict says. A verdict of "Not download" alone needs no item (it may be null).
FilterOutcome ApplyFilterVerdict(int verdict, store::ItemRef item, store::MailBox& account, store::MailBox& savebox);

// The name shown for an action code ("Not download" for any code outside 1-5), and back (0 for
// any text that is not one of the other five names).
std::string_view FilterRuleName(int code);
int FilterRuleCode(std::string_view name);

}  // namespace zelk::filter
