// Multipart bodies are read in one pass over their lines. The boundaries of every multipart that
// is open at a point are held together, innermost last, so a boundary line of an enclosing
// multipart also ends the inner one (an inner multipart left without its closing boundary then
// stops there instead of swallowing the rest of the message) and no line is looked at twice.
#include "platform/ascii.h"
#include "mime/multipart.h"

#include <cstdint>
#include <cstring>
#include <map>
#include <string>

#include "codec/header_words.h"
#include "codec/rfc2231.h"
#include "platform/decimal.h"

namespace zelk::mime {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

using platform::StartsWithIgnoringAsciiCase;

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

bool IsLineStart(std::string_view text, std::size_t pos) {
  return pos == 0 || (pos >= 2 && text[pos - 2] == '\r' && text[pos - 1] == '\n');
}

// The start of the line after the one that holds pos; the end of the text on the last line.
std::size_t NextLine(std::string_view text, std::size_t pos) {
  const std::size_t crlf = text.find("\r\n", pos);
  return crlf == kNone ? text.size() : crlf + 2;
}

// The first line start at or after pos that begins with "--". The search runs on the dashes
// alone, so a base64 attachment, which holds none, is passed at the speed of memchr.
std::size_t NextDashLine(std::string_view text, std::size_t pos) {
  while (pos + 1 < text.size()) {
    const void* dash = std::memchr(text.data() + pos, '-', text.size() - pos - 1);
    if (dash == nullptr) return kNone;
    const std::size_t at = static_cast<std::size_t>(static_cast<const char*>(dash) - text.data());
    if (text[at + 1] == '-' && IsLineStart(text, at)) return at;
    pos = at + 1;
  }
  return kNone;
}

using Boundaries = std::vector<std::string>;

// Which open multipart a line beginning with "--" belongs to: the longest boundary it matches,
// so that a boundary that merely begins with another one still finds its own multipart; between
// equal ones the innermost. -1 for none.
int MatchBoundary(std::string_view text, std::size_t line, const Boundaries& open) {
  const std::string_view rest = text.substr(line + 2);
  int best = -1;
  for (int level = static_cast<int>(open.size()) - 1; level >= 0; --level) {
    const std::string& boundary = open[static_cast<std::size_t>(level)];
    if ((best < 0 || boundary.size() > open[static_cast<std::size_t>(best)].size()) &&
        StartsWithIgnoringAsciiCase(rest, boundary)) {
      best = level;
    }
  }
  return best;
}

struct PartHeader {
  OptionalText contentType;
  OptionalText encoding;
  OptionalText disposition;
  std::size_t bodyStart = 0;
};

// The value of a header line after its name and the blanks that follow, unfolded: each CR LF is
// removed with the one blank after it.
Text UnfoldedValue(std::string_view line, std::size_t nameLength) {
  std::string_view value = line.substr(SkipBlanks(line, nameLength));
  Text out;
  out.reserve(value.size());
  for (std::size_t crlf = value.find("\r\n"); crlf != kNone; crlf = value.find("\r\n")) {
    out.append(value.substr(0, crlf));
    value.remove_prefix(std::min(crlf + 3, value.size()));
  }
  out.append(value);
  return out;
}

void TakeField(std::string_view line, std::string_view name, OptionalText& field) {
  if (!field && StartsWithIgnoringAsciiCase(line, name)) field = UnfoldedValue(line, name.size());
}

// Reads the header block that starts at pos. It ends at the first empty line; a boundary line
// of an open multipart or the end of the text also ends it, and then the part's body is empty.
PartHeader ReadPartHeader(std::string_view text, std::size_t pos, const Boundaries& open) {
  PartHeader header;
  while (pos < text.size()) {
    if (text.compare(pos, 2, "\r\n") == 0) {
      header.bodyStart = pos + 2;
      return header;
    }
    if (text.compare(pos, 2, "--") == 0 && MatchBoundary(text, pos, open) >= 0) {
      header.bodyStart = pos;
      return header;
    }
    // A logical line runs on over CR LF followed by a blank.
    std::size_t end = pos;
    for (;;) {
      end = text.find("\r\n", end);
      if (end == kNone || end + 2 >= text.size() || !IsBlank(text[end + 2])) break;
      end += 2;
    }
    if (end == kNone) end = text.size();
    const std::string_view line = text.substr(pos, end - pos);
    TakeField(line, "Content-Type:", header.contentType);
    TakeField(line, "Content-Transfer-Encoding:", header.encoding);
    TakeField(line, "Content-Disposition:", header.disposition);
    pos = end == text.size() ? end : end + 2;
  }
  header.bodyStart = text.size();
  return header;
}

OptionalText FileNameOf(const PartHeader& header) {
  if (header.disposition) {
    if (OptionalText name = FileNameStarValue(*header.disposition)) return name;
    if (OptionalText name = DecodedParamValue(*header.disposition, "filename")) return name;
  }
  if (header.contentType) return DecodedParamValue(*header.contentType, "name");
  return std::nullopt;
}

}  // namespace

std::optional<Text> ParamValue(std::string_view value, std::string_view name) {
  // The first "parameter" tried is the leading word (such as "attachment"), which never equals
  // a parameter name in practice.
  for (std::size_t pos = SkipBlanks(value, 0); pos < value.size();) {
    if (StartsWithIgnoringAsciiCase(value.substr(pos), name)) {
      std::size_t start = SkipBlanks(value, pos + name.size());
      if (start < value.size() && value[start] == '=') ++start;
      start = SkipBlanks(value, start);
      const bool quoted = start < value.size() && value[start] == '"';
      if (quoted) ++start;
      std::size_t end = std::min(value.find_first_of("\";", start), value.size());
      // Blanks after an unquoted value are not part of it ("boundary=abc ; charset=...").
      while (!quoted && end > start && IsBlank(value[end - 1])) --end;
      return Text(value.substr(start, end - start));
    }
    const std::size_t semicolon = value.find(';', pos);
    if (semicolon == kNone) break;
    pos = SkipBlanks(value, semicolon + 1);
  }
  return std::nullopt;
}

OptionalText DecodedParamValue(std::string_view value, std::string_view name) {
  const std::optional<Text> raw = ParamValue(value, name);
  if (!raw) return std::nullopt;
  return platform::LocalToText(codec::DecodeHeaderWords(platform::TextToLocal(*raw)));
}

OptionalText FileNameStarValue(std::string_view disposition) {
  constexpr std::string_view kName = "filename*";
  // Sections by number; a map, since a number is read from the message and may be anything.
  std::map<std::int32_t, std::string_view> sections;
  bool extended = false;
  for (std::size_t pos = SkipBlanks(disposition, 0); pos < disposition.size();) {
    if (StartsWithIgnoringAsciiCase(disposition.substr(pos), kName)) {
      const std::size_t afterStar = pos + kName.size();
      // "filename*=" is the single, charset-tagged section 0; "filename*N=" and "filename*N*="
      // are numbered sections, plain and charset-tagged.
      const bool unnumbered = afterStar < disposition.size() && disposition[afterStar] == '=';
      const std::int32_t number = unnumbered ? 0 : platform::ReadDecimal(disposition.substr(afterStar));
      const std::size_t mark = std::min(disposition.find_first_of("*=", afterStar), disposition.size());
      std::size_t start = mark;
      while (start < disposition.size() && std::string_view("\"*=").find(disposition[start]) != kNone) ++start;
      const std::size_t end = std::min(disposition.find_first_of("\";", start), disposition.size());
      if (number >= 0) {
        sections[number] = disposition.substr(start, end - start);
        if (number == 0) extended = unnumbered || (mark < disposition.size() && disposition[mark] == '*');
      }
      pos = end;
    }
    const std::size_t semicolon = disposition.find(';', pos);
    if (semicolon == kNone) break;
    pos = SkipBlanks(disposition, semicolon + 1);
  }
  if (sections.empty()) return std::nullopt;
  Text joined;
  for (const auto& [number, text] : sections) joined.append(text);
  return extended ? codec::DecodeRfc2231Value(joined) : joined;
}

std::size_t ParseMultipart(std::string_view contentType, std::string_view body, std::vector<MimePart>& parts) {
  std::optional<Text> boundary = ParamValue(contentType, "boundary");
  if (!boundary) return parts.size();
  Boundaries open{std::move(*boundary)};
  std::size_t running = kNone;  // the part that the next boundary line ends
  for (std::size_t pos = 0;;) {
    const std::size_t line = NextDashLine(body, pos);
    if (line == kNone) break;
    const int level = MatchBoundary(body, line, open);
    if (level < 0) {
      pos = line + 2;
      continue;
    }
    if (running != kNone) parts[running].bodyEnd = line;
    running = kNone;
    // Multiparts inside this one that were never closed end here.
    open.resize(static_cast<std::size_t>(level) + 1);
    const std::size_t after = line + 2 + open.back().size();
    if (body.compare(after, 2, "--") == 0) {
      // Closing boundary; what follows up to a boundary of an enclosing multipart is ignored.
      open.pop_back();
      if (open.empty()) break;
      pos = after + 2;
      continue;
    }
    PartHeader header = ReadPartHeader(body, NextLine(body, after), open);
    if (header.contentType && StartsWithIgnoringAsciiCase(*header.contentType, "multipart")) {
      // The nested multipart's parts join the same flat list; one without a boundary adds none.
      std::optional<Text> inner = ParamValue(*header.contentType, "boundary");
      if (inner && open.size() < kMaxMultipartDepth) open.push_back(std::move(*inner));
    } else {
      MimePart part;
      part.fileName = FileNameOf(header);
      part.contentType = std::move(header.contentType);
      part.transferEncoding = std::move(header.encoding);
      part.bodyStart = header.bodyStart;
      parts.push_back(std::move(part));
      running = parts.size() - 1;
    }
    pos = header.bodyStart;
  }
  return parts.size();
}

std::string_view PartText(const MimePart& part, std::string_view body) {
  const std::size_t start = std::min(part.bodyStart, body.size());
  if (!part.bodyEnd) return body.substr(start);
  const std::size_t end = std::min(*part.bodyEnd, body.size());
  if (end < start + 2) return {};
  return body.substr(start, end - start - 2);
}

bool IsTextPart(const MimePart& part) { return !part.contentType || StartsWithIgnoringAsciiCase(*part.contentType, "text"); }

std::optional<std::size_t> FirstTextPart(const std::vector<MimePart>& parts) {
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (IsTextPart(parts[i])) return i;
  }
  return std::nullopt;
}

}  // namespace zelk::mime
