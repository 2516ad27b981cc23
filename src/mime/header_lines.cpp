#include "mime/header_lines.h"

#include "platform/ascii.h"

namespace zelk::mime {
namespace {

using platform::IsBlank;

}  // namespace

bool ReadFoldedLine(const char*& cursor, const char* end, std::string_view& line) {
  if (cursor == end) return false;
  const std::string_view rest(cursor, static_cast<std::size_t>(end - cursor));
  std::size_t lineEnd = 0;
  for (;;) {
    lineEnd = rest.find("\r\n", lineEnd);
    if (lineEnd == std::string_view::npos || lineEnd + 2 >= rest.size() || !IsBlank(rest[lineEnd + 2])) break;
    lineEnd += 2;
  }
  if (lineEnd == std::string_view::npos) {
    line = rest;
    cursor = end;
  } else {
    line = rest.substr(0, lineEnd);
    cursor += lineEnd + 2;
  }
  return true;
}

bool IsFieldLine(std::string_view line) {
  std::size_t pos = 0;
  while (pos < line.size() && line[pos] > ' ' && line[pos] < '\x7F' && line[pos] != ':') ++pos;
  if (pos == 0) return false;
  while (pos < line.size() && IsBlank(line[pos])) ++pos;
  return pos < line.size() && line[pos] == ':';
}

HeaderBounds FindHeaderBounds(std::string_view text) {
  const char* cursor = text.data();
  const char* const end = cursor + text.size();
  for (std::string_view line;;) {
    const auto at = static_cast<std::size_t>(cursor - text.data());
    if (text.compare(at, 2, "\r\n") == 0) return {at, at + 2};
    if (!ReadFoldedLine(cursor, end, line)) return {at, at};
    if (!IsFieldLine(line) && !(at == 0 && line.starts_with("From "))) return {at, at};
  }
}

std::string Unfold(std::string_view value) {
  std::string out;
  out.reserve(value.size());
  for (std::size_t crlf = value.find("\r\n"); crlf != std::string_view::npos; crlf = value.find("\r\n")) {
    out.append(value.substr(0, crlf));
    value.remove_prefix(crlf + 2);
  }
  out.append(value);
  return out;
}

std::string UnfoldedFieldValue(std::string_view line, std::size_t nameLength) {
  std::string_view value = line.substr(std::min(nameLength, line.size()));
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  // A value that begins on the next line ("Subject:" CR LF " text") has no blank left to keep.
  while (value.starts_with("\r\n")) {
    value.remove_prefix(2);
    while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  }
  return Unfold(value);
}

}  // namespace zelk::mime
