#include "viewer/find.h"

#include <vector>

#include "mime/display_text.h"
#include "platform/unicode_class.h"
#include "platform/utf8.h"
#include "viewer/shown_message.h"

namespace zelk::viewer {

namespace {

char16_t Folded(char16_t unit) {
  // Surrogates stay as they are: a character outside the first plane compares exactly.
  if (unit >= 0xD800 && unit <= 0xDFFF) return unit;
  const char32_t folded = platform::FoldCase(unit);
  return folded <= 0xFFFF ? static_cast<char16_t>(folded) : unit;
}

std::u16string FoldedText(std::u16string_view text) {
  std::u16string out(text);
  for (char16_t& unit : out) unit = Folded(unit);
  return out;
}

}  // namespace

std::u16string ToUtf16(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const platform::Utf8Char c = platform::DecodeUtf8At(text, i);
    if (c.code > 0xFFFF) {
      out += static_cast<char16_t>(0xD800 + ((c.code - 0x10000) >> 10));
      out += static_cast<char16_t>(0xDC00 + ((c.code - 0x10000) & 0x3FF));
    } else {
      out += static_cast<char16_t>(c.code);
    }
    i += c.length;
  }
  return out;
}

std::optional<std::size_t> FindInText(std::u16string_view text, std::u16string_view needle, std::size_t from,
                                      bool matchCase) {
  if (needle.empty() || from > text.size()) return std::nullopt;
  std::size_t hit;
  if (matchCase) {
    hit = text.find(needle, from);
  } else {
    // Folding unit by unit keeps every position where it was.
    hit = FoldedText(text).find(FoldedText(needle), from);
  }
  if (hit == std::u16string_view::npos) return std::nullopt;
  return hit;
}

std::size_t SearchStart(std::size_t findPosition, std::size_t selectionStart) {
  return selectionStart + 1 != findPosition ? selectionStart : findPosition;
}

ShownResult FindInShownText(std::u16string_view pane, std::u16string_view needle, std::size_t findPosition,
                            std::size_t selectionStart, bool matchCase, bool allFind) {
  const std::size_t start = SearchStart(findPosition, selectionStart);
  if (const auto hit = FindInText(pane, needle, start, matchCase)) return {ShownOutcome::kHit, *hit};
  if (allFind) return {ShownOutcome::kSearchRows};
  if (const auto hit = FindInText(pane, needle, 0, matchCase)) return {ShownOutcome::kHit, *hit};
  return {ShownOutcome::kNotFound};
}

RowsResult FindInRows(const store::ListModel& list, int from, const FindRequest& request,
                      std::string_view fallbackCharset, const std::function<bool()>& aborted) {
  RowsResult result;
  std::vector<mime::MimePart> parts;
  for (int row = store::NextRowWithBody(list, from - 1); row >= 0; row = store::NextRowWithBody(list, row)) {
    if (aborted()) {
      result.outcome = RowsOutcome::kAborted;
      return result;
    }
    const store::MailItem& item = *store::ItemOfRow(list, row);
    if (request.subjectFind &&
        FindInText(ToUtf16(item.Subject.value_or("")), request.text, 0, request.matchCase)) {
      return {RowsOutcome::kFound, row, true};
    }
    const mime::DisplayText shown = mime::GetDisplayText(item, false, parts, fallbackCharset);
    if (FindInText(ToUtf16(PaneText(shown.text)), request.text, 0, request.matchCase)) {
      return {RowsOutcome::kFound, row, false};
    }
  }
  return result;
}

RowsResult FindThroughRows(const store::ListModel& list, int from, const FindRequest& request,
                           std::string_view fallbackCharset, const std::function<bool()>& aborted,
                           const std::function<bool()>& redoFromStart) {
  for (;;) {
    const RowsResult result = FindInRows(list, from, request, fallbackCharset, aborted);
    if (result.outcome != RowsOutcome::kNotFound || !redoFromStart()) return result;
    from = 0;
  }
}

platform::Text NotFoundText(const platform::Text& findText) { return "\"" + findText + "\" not found"; }

platform::Text RedoCaption(const platform::Text& findText) { return "Look up \"" + findText + "\""; }

}  // namespace zelk::viewer
