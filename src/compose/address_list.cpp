#include "compose/address_list.h"

#include "platform/ascii.h"

namespace zelk::compose {

namespace {

using platform::IsBlankOrLineBreak;

// From the opening character at `open`, the position after its closing character. Backslashes
// escape, and a quoted string inside a comment is skipped whole.
std::size_t SkipEnclosed(std::string_view text, std::size_t open, char close) {
  std::size_t i = open + 1;
  while (i < text.size()) {
    const char c = text[i];
    if (c == '\\') {
      i += 2;
    } else if (c == close) {
      return i + 1;
    } else if (c == '"') {
      i = SkipEnclosed(text, i, '"');
    } else {
      ++i;
    }
  }
  return text.size();
}

std::size_t NextComma(std::string_view text, std::size_t i) {
  while (i < text.size() && text[i] != ',') i = text[i] == '"' ? SkipEnclosed(text, i, '"') : i + 1;
  return i;
}

struct Scan {
  AddressElement element;
  bool skippedQuote = false;
  bool sawAngle = false;
};

Scan ScanElement(std::string_view text, std::size_t pos, bool keepQuotes) {
  Scan scan;
  platform::Text& out = scan.element.address;
  bool inAngle = false;
  std::size_t i = pos;
  while (i < text.size()) {
    const char c = text[i];
    if (c == ',') break;
    if (IsBlankOrLineBreak(c)) {
      ++i;
    } else if (c == '(') {
      i = SkipEnclosed(text, i, ')');
    } else if (c == '"') {
      const std::size_t after = SkipEnclosed(text, i, '"');
      if (inAngle || keepQuotes) {
        out.append(text.substr(i, after - i));
      } else {
        scan.skippedQuote = true;  // a display name
      }
      i = after;
    } else if (c == '<') {
      out.clear();
      inAngle = scan.sawAngle = true;
      ++i;
    } else if (c == '>' && inAngle) {
      i = NextComma(text, i + 1);
      break;
    } else {
      out += c;
      ++i;
    }
  }
  scan.element.end = std::min(i, text.size());
  return scan;
}

}  // namespace

AddressElement ReadAddress(std::string_view list, std::size_t pos) {
  Scan scan = ScanElement(list, pos, false);
  // A quoted local part ("john smith"@example.org) is no display name: read it again with quotes.
  if (scan.skippedQuote && !scan.sawAngle) {
    scan = ScanElement(list, pos, true);
  }
  return scan.element;
}

std::vector<platform::Text> BareAddresses(std::string_view list) {
  std::vector<platform::Text> addresses;
  for (std::size_t pos = 0; pos <= list.size();) {
    AddressElement element = ReadAddress(list, pos);
    if (!element.address.empty()) addresses.push_back(std::move(element.address));
    pos = element.end + 1;
  }
  return addresses;
}

ListElement CopyListElement(std::string_view list, std::size_t pos) {
  ListElement element{{}, list.size()};
  platform::Text& out = element.text;
  const auto dropped = [](char c) { return c == '\t' || c == '\r' || c == '\n'; };
  // The lists this program writes continue after ",\r\n ": the line break is no element's.
  while (pos < list.size() && (list[pos] == ' ' || dropped(list[pos]))) ++pos;
  bool quoted = false;
  for (std::size_t i = pos; i < list.size(); ++i) {
    const char c = list[i];
    if (c == ',' && !quoted) {
      element.end = i;
      break;
    }
    if (dropped(c)) continue;
    out += c;
    if (c == '"') {
      quoted = !quoted;
    } else if (c == '\\' && i + 1 < list.size() && !dropped(list[i + 1])) {
      out += list[++i];  // an escaped quote or comma
    }
  }
  while (!out.empty() && out.back() == ' ') out.pop_back();
  return element;
}

}  // namespace zelk::compose
