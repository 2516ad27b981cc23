#include "store/list_sort.h"

#include <algorithm>
#include <cwchar>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/code_page.h"
#include "platform/decimal.h"
#include "platform/text_compare.h"

namespace zelk::store {

namespace {

std::string_view TextOf(const OptionalText& text) { return text ? std::string_view(*text) : std::string_view(); }

const OptionalText& SecondColumn(const MailItem& item, bool outbox) { return outbox ? item.To : item.From; }

// The text a date sorts by: "yyyyMMddHHmm" when the display string reads back with the date
// pictures, else the display string itself. Outbox dates are first given the display form, which
// leaves a string that is already one unchanged.
Text DateSortText(const MailItem& item, const SortContext& context, const std::optional<std::string>& pattern) {
  // Dates are read in the local code page; under UTF-8 that is the text itself, and copying it
  // twice per item would be a good part of a sort.
  const bool utf8 = platform::LocalCodePageIsUtf8();
  std::string local = utf8 ? std::string() : platform::TextToLocal(TextOf(item.Date));
  std::string_view date = utf8 ? TextOf(item.Date) : std::string_view(local);
  if (context.outbox) {
    local = mime::FormatDisplayDate(date, context.localOffset, context.datePictures).text;
    date = local;
  }
  std::string key = mime::DisplayDateToSortKeyByPattern(date, pattern).text;
  if (utf8) return key;
  return platform::LocalToText(key);
}

int Sign(std::int64_t d) { return d < 0 ? -1 : d > 0 ? 1 : 0; }

// The criterion of a key, or 0 for none (INT_MIN has no positive counterpart and names none).
int Criterion(int key) { return key == std::numeric_limits<int>::min() ? 0 : key < 0 ? -key : key; }

// Sizes, numbers and positions are compared in 64 bits: a 32-bit difference of two extreme values
// would overflow and turn the order round.
std::int64_t NumberOf(const MailItem& item, int criterion) {
  switch (criterion) {
    case kSortBySize: return platform::ReadDecimal(TextOf(item.Size));
    case kSortByNo: return item.No;
    case kSortByIcon: return IconRank(item);
    case kSortByThread: return item.ThreadOrder;
    default: return 0;
  }
}

// Sorts entries of (value, row) by value in the key's direction, equal values in their order.
template <typename Entry, typename Less>
void StableSortEntries(std::vector<Entry>& entries, bool descending, Less less) {
  if (descending) {
    std::stable_sort(entries.begin(), entries.end(), [&less](const Entry& a, const Entry& b) { return less(b, a); });
  } else {
    std::stable_sort(entries.begin(), entries.end(), less);
  }
}

// Orders rows by one number each (values[i] belongs to rows[i]).
template <typename Number>
void SortByValues(std::vector<std::size_t>& rows, const std::vector<Number>& values, bool descending) {
  std::vector<std::pair<Number, std::size_t>> entries;
  entries.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) entries.emplace_back(values[i], rows[i]);
  StableSortEntries(entries, descending, [](const auto& a, const auto& b) { return a.first < b.first; });
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = entries[i].second;
}

// Digit strings of one length order alike by value and in every locale's collation, so sort
// texts that are all such strings (dates that all read back) are compared as numbers.
std::optional<std::vector<std::uint64_t>> AsEqualLengthNumbers(const std::vector<Text>& texts) {
  constexpr std::size_t kMaxDigits = 19;  // fits an unsigned 64-bit value
  if (texts.empty()) return std::vector<std::uint64_t>();
  const std::size_t length = texts.front().size();
  if (length == 0 || length > kMaxDigits) return std::nullopt;
  std::vector<std::uint64_t> numbers;
  numbers.reserve(texts.size());
  for (const Text& text : texts) {
    if (text.size() != length) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
      if (c < '0' || c > '9') return std::nullopt;
      value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    numbers.push_back(value);
  }
  return numbers;
}

struct KeyEntry {
  std::size_t offset;
  std::size_t length;
  std::size_t row;
};

void SortByTexts(std::vector<std::size_t>& rows, const std::vector<std::string_view>& texts, bool descending) {
  std::wstring keys;
  std::vector<KeyEntry> entries;
  entries.reserve(rows.size());
  for (std::size_t i = 0; i < rows.size(); ++i) {
    const std::size_t offset = keys.size();
    platform::AppendCollationKeyIgnoringCase(texts[i], keys);
    entries.push_back({offset, keys.size() - offset, rows[i]});
  }
  const wchar_t* base = keys.data();
  StableSortEntries(entries, descending, [base](const KeyEntry& a, const KeyEntry& b) {
    const int order = std::wmemcmp(base + a.offset, base + b.offset, std::min(a.length, b.length));
    return order != 0 ? order < 0 : a.length < b.length;
  });
  for (std::size_t i = 0; i < rows.size(); ++i) rows[i] = entries[i].row;
}

void SortByDates(std::vector<std::size_t>& rows, const std::vector<const MailItem*>& items, bool descending,
                 const SortContext& context) {
  std::vector<Text> dates;
  dates.reserve(rows.size());
  const std::optional<std::string> pattern = mime::SortKeyPattern(context.datePictures);
  for (const MailItem* item : items) dates.push_back(DateSortText(*item, context, pattern));
  if (const auto numbers = AsEqualLengthNumbers(dates)) {
    SortByValues(rows, *numbers, descending);
    return;
  }
  SortByTexts(rows, std::vector<std::string_view>(dates.begin(), dates.end()), descending);
}

}  // namespace

int IconRank(const MailItem& item) {
  switch (item.Mark) {
    case kStatusUnread: return item.Download == 1 ? 1 : 2;
    case kStatusRead: return item.Download == 1 ? 3 : 4;
    case kStatusSent: return 5;
    case kStatusSendFailed: return 6;
    case kMarkDownload: return 7;
    case kMarkDelete: return 8;
    case kMarkSend: return 9;
    case kStatusHeaderOnly: return 10;
    default: return 0;
  }
}

int Compare(const MailItem* a, const MailItem* b, int key, const SortContext& context) {
  if (a == nullptr || b == nullptr) return 0;
  int d = 0;
  switch (const int criterion = Criterion(key)) {
    case kSortBySubject: d = platform::CompareIgnoringCase(TextOf(a->Subject), TextOf(b->Subject)); break;
    case kSortByFrom:
      d = platform::CompareIgnoringCase(TextOf(SecondColumn(*a, context.outbox)),
                                        TextOf(SecondColumn(*b, context.outbox)));
      break;
    case kSortByDate: {
      const std::optional<std::string> pattern = mime::SortKeyPattern(context.datePictures);
      d = platform::CompareIgnoringCase(DateSortText(*a, context, pattern), DateSortText(*b, context, pattern));
      break;
    }
    case kSortBySize:
    case kSortByNo:
    case kSortByIcon:
    case kSortByThread: d = Sign(NumberOf(*a, criterion) - NumberOf(*b, criterion)); break;
    default: break;
  }
  return (key > 0 && d > 0) || (key < 0 && d < 0) ? 1 : -1;
}

void SortRows(std::vector<std::size_t>& rows, const MailBox& box, int key, const SortContext& context) {
  const auto present = [&box](std::size_t row) { return row < box.Items.size() && box.Items[row]; };
  // Rows whose item has gone cannot be compared; they keep their order after all the others.
  const auto missing = std::stable_partition(rows.begin(), rows.end(), present);
  std::vector<std::size_t> sorted(rows.begin(), missing);
  std::vector<const MailItem*> items;
  items.reserve(sorted.size());
  for (const std::size_t row : sorted) items.push_back(box.Items[row].get());

  const int criterion = Criterion(key);
  const bool descending = key < 0;
  switch (criterion) {
    case kSortBySubject:
    case kSortByFrom: {
      std::vector<std::string_view> texts;
      texts.reserve(items.size());
      for (const MailItem* item : items) {
        texts.push_back(TextOf(criterion == kSortBySubject ? item->Subject : SecondColumn(*item, context.outbox)));
      }
      SortByTexts(sorted, texts, descending);
      break;
    }
    case kSortByDate: SortByDates(sorted, items, descending, context); break;
    case kSortBySize:
    case kSortByNo:
    case kSortByIcon:
    case kSortByThread: {
      std::vector<std::int64_t> numbers;
      numbers.reserve(items.size());
      for (const MailItem* item : items) numbers.push_back(NumberOf(*item, criterion));
      SortByValues(sorted, numbers, descending);
      break;
    }
    default: return;  // every pair compares alike: the order stays
  }
  std::copy(sorted.begin(), sorted.end(), rows.begin());
}

}  // namespace zelk::store
