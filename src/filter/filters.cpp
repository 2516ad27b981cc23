#include "filter/filters.h"

#include <array>
#include <new>

#include "filter/wildcard.h"
#include "store/header_fields.h"

namespace zelk::filter {

namespace {

constexpr std::array<std::string_view, kActionCount> kActionNames = {
    "Not download", "Download", "Mark for download", "Mark for deletion", "Mark as read", "Copy to Savebox",
};

bool IsEmpty(const store::OptionalText& text) { return !text || text->empty(); }

std::string_view OrEmpty(const store::OptionalText& text) {
  return text ? std::string_view(*text) : std::string_view();
}

// A damaged profile can hold any action number; the rule then acts as the name the filter list
// shows for it, so what the user sees is what the rule does.
int VerdictBit(int action) { return 1 << FilterRuleCode(FilterRuleName(action)); }

bool RuleMatches(const store::FilterRule& rule, store::HeaderBlock header, std::string_view fallbackCharset) {
  if (rule.Enable != 1 || IsEmpty(rule.Header1)) return false;
  if (!FilterMatch(header, *rule.Header1, OrEmpty(rule.Content1), fallbackCharset)) return false;
  return IsEmpty(rule.Header2) || FilterMatch(header, *rule.Header2, OrEmpty(rule.Content2), fallbackCharset);
}

}  // namespace

int EvaluateFilters(const store::MailBox& account, std::string_view raw, std::string_view fallbackCharset) {
  if (account.FilterEnable != 1 || account.Filters.empty() || raw.empty()) return kVerdictNone;
  const store::HeaderBlock header = store::HeaderBlockOf(raw);
  int verdict = 0;
  // Every rule is looked at, even after a match: a later rule may still add a mark or a copy.
  for (const store::FilterRule& rule : account.Filters) {
    if (!RuleMatches(rule, header, fallbackCharset)) continue;
    const int bit = VerdictBit(rule.Action);
    switch (bit) {
      case kVerdictNotDownload:
      case kVerdictDownload:
        // The first of the two to match decides.
        if ((verdict & (kVerdictNotDownload | kVerdictDownload)) == 0) verdict |= bit;
        break;
      case kVerdictMarkDownload:
      case kVerdictMarkDelete:
        // The first mark wins; an earlier "Download" means "list it as it is".
        if ((verdict & (kVerdictDownload | kVerdictMarkDownload | kVerdictMarkDelete)) == 0) verdict |= bit;
        break;
      default:
        if ((verdict & kVerdictDownload) == 0) verdict |= bit;
        break;
    }
  }
  return verdict == 0 ? kVerdictNone : verdict;
}

bool FilterMatch(store::HeaderBlock header, std::string_view name, std::string_view pattern,
                 std::string_view fallbackCharset) {
  if (pattern.empty()) return true;
  // No field has an empty name; the lookup would otherwise take every line.
  store::OptionalText value;
  if (!name.empty()) value = store::DecodedHeader(header, platform::TextToLocal(name), true, fallbackCharset);
  return WildcardMatch(pattern, OrEmpty(value));
}

FilterOutcome ApplyFilterVerdict(int verdict, store::ItemRef item, store::MailBox& account, store::MailBox& savebox) {
  if (verdict == kVerdictNotDownload) return FilterOutcome::kNotListed;
  if (!item) return FilterOutcome::kFailed;
  const bool listed = (verdict & kVerdictNotDownload) == 0;
  bool appended = false;
  try {
    if (listed) {
      store::Append(account, item);
      appended = true;
    }
    const bool holdsBody = item->Status != store::kStatusHeaderOnly;
    if ((verdict & kVerdictMarkRead) != 0 && holdsBody) {
      item->Status = store::kStatusRead;
      item->Mark = store::kStatusRead;
    }
    if ((verdict & kVerdictMarkDownload) != 0) {
      item->Mark = store::kMarkDownload;
    } else if ((verdict & kVerdictMarkDelete) != 0) {
      item->Mark = store::kMarkDelete;
    }
    // A message the Savebox already holds (same Message-Id) is not copied twice, so checking an
    // account afresh does not fill the Savebox with duplicates.
    if ((verdict & kVerdictCopyToSavebox) != 0 && holdsBody &&
        store::FindByMessageId(savebox, item->MessageId, static_cast<int>(savebox.Items.size())) < 0) {
      store::AppendCopy(savebox, *item, account.Name, false);
    }
  } catch (const std::bad_alloc&) {
    // Leave the account as it was, so that a failure is never taken for a listed message.
    if (appended) {
      account.Items.pop_back();
      store::InvalidateThreadOrder(account);
    }
    return FilterOutcome::kFailed;
  }
  return listed ? FilterOutcome::kListed : FilterOutcome::kNotListed;
}

std::string_view FilterRuleName(int code) {
  if (code < kActionDownload || code >= kActionCount) return kActionNames[kActionNotDownload];
  return kActionNames[static_cast<std::size_t>(code)];
}

int FilterRuleCode(std::string_view name) {
  for (int code = kActionDownload; code < kActionCount; ++code) {
    if (kActionNames[static_cast<std::size_t>(code)] == name) return code;
  }
  return kActionNotDownload;
}

}  // namespace zelk::filter
