// Multipart bodies are read in one pass over their lines. The boundaries of every multipart that
// is open at a point are held together, innermost last, so a boundary line of an enclosing
// multipart also ends the inner one (an inner multipart left without its closing boundary then
// stops there instead of swallowing the rest of the message) and no line is looked at twice.
#include "platform/ascii.h"
#include "mime/multipart.h"

#include <array>
#include <cstring>
#include <string>

#include "codec/header_params.h"
#include "mime/header_lines.h"

namespace zelk::mime {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

using platform::EqualIgnoringAsciiCase;
using platform::StartsWithIgnoringAsciiCase;

using platform::IsBlank;

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsBlank(text[pos])) ++pos;
  return pos;
}

// Whether the two characters stand at pos; called at every line of every part header.
bool HasPairAt(std::string_view text, std::size_t pos, const char (&pair)[3]) {
  return pos + 2 <= text.size() && text[pos] == pair[0] && text[pos + 1] == pair[1];
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

// An open multipart: its boundary, and whether it is a digest, whose parts are messages unless
// they say otherwise (RFC 2046 §5.1.5).
struct OpenMultipart {
  std::string boundary;
  bool digest;
};
using Boundaries = std::vector<OpenMultipart>;

enum class BoundaryCase { kExact, kIgnored };

// Whether the line at `line` is "--" + boundary, optionally "--", then only blanks (RFC 2046
// §5.1.1): "--zzTOP is not a boundary" under the boundary "zz" is text.
bool IsBoundaryLine(std::string_view text, std::size_t line, std::string_view boundary, BoundaryCase letterCase) {
  const std::string_view rest = text.substr(line + 2);
  if (rest.size() < boundary.size()) return false;
  const std::string_view head = rest.substr(0, boundary.size());
  if (letterCase == BoundaryCase::kExact ? head != boundary : !StartsWithIgnoringAsciiCase(head, boundary)) return false;
  std::size_t pos = boundary.size();
  if (HasPairAt(rest, pos, "--")) pos += 2;
  pos = SkipBlanks(rest, pos);
  return pos == rest.size() || HasPairAt(rest, pos, "\r\n");
}

// Which open multipart a line beginning with "--" belongs to: the longest boundary it is a line
// of, between equal ones the innermost. -1 for none.
int MatchBoundary(std::string_view text, std::size_t line, const Boundaries& open, BoundaryCase letterCase) {
  int best = -1;
  for (int level = static_cast<int>(open.size()) - 1; level >= 0; --level) {
    const std::string& boundary = open[static_cast<std::size_t>(level)].boundary;
    if ((best < 0 || boundary.size() > open[static_cast<std::size_t>(best)].boundary.size()) &&
        IsBoundaryLine(text, line, boundary, letterCase)) {
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

// Whether the line is that field; the first one of the name is kept.
bool TakeField(std::string_view line, std::string_view name, OptionalText& field) {
  if (!StartsWithIgnoringAsciiCase(line, name)) return false;
  if (!field) field = UnfoldedFieldValue(line, name.size());
  return true;
}

// Reads the header block that starts at pos. It ends at the first empty line, or at a line that
// is no header field (the body then starts there); a boundary line of an open multipart or the
// end of the text also ends it, and then the part's body is empty.
PartHeader ReadPartHeader(std::string_view text, std::size_t pos, const Boundaries& open, BoundaryCase letterCase) {
  PartHeader header;
  const char* cursor = text.data() + pos;
  const char* const end = text.data() + text.size();
  for (std::string_view line;;) {
    pos = static_cast<std::size_t>(cursor - text.data());
    header.bodyStart = pos;
    if (HasPairAt(text, pos, "\r\n")) {
      header.bodyStart = pos + 2;
      break;
    }
    if (HasPairAt(text, pos, "--") && MatchBoundary(text, pos, open, letterCase) >= 0) break;
    if (!ReadFoldedLine(cursor, end, line)) break;
    const bool taken = TakeField(line, "Content-Type:", header.contentType) ||
                       TakeField(line, "Content-Transfer-Encoding:", header.encoding) ||
                       TakeField(line, "Content-Disposition:", header.disposition);
    if (!taken && !IsFieldLine(line)) break;
    header.bodyStart = text.size();
  }
  return header;
}

// RFC 2045 §5.1: printable ASCII but the blank and the tspecials.
constexpr std::array<bool, 256> kTokenChars = [] {
  std::array<bool, 256> table{};
  for (int c = '!'; c < 0x7F; ++c) table[static_cast<std::size_t>(c)] = true;
  for (const char c : std::string_view("()<>@,;:\\\"/[]?=")) table[static_cast<unsigned char>(c)] = false;
  return table;
}();

bool IsTokenChar(char c) { return kTokenChars[static_cast<unsigned char>(c)]; }

std::size_t ReadToken(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsTokenChar(text[pos])) ++pos;
  return pos;
}

struct MediaType {
  std::string_view type;
  std::string_view subtype;
};

// The "type/subtype" a Content-Type value begins with, blanks allowed around the "/". None when
// the value does not begin so: RFC 2045 §5.2 reads such a value as text/plain.
std::optional<MediaType> ReadMediaType(std::string_view contentType) {
  const std::size_t start = SkipBlanks(contentType, 0);
  const std::size_t typeEnd = ReadToken(contentType, start);
  const std::size_t slash = SkipBlanks(contentType, typeEnd);
  if (typeEnd == start || slash >= contentType.size() || contentType[slash] != '/') return std::nullopt;
  const std::size_t subtypeStart = SkipBlanks(contentType, slash + 1);
  const std::size_t subtypeEnd = ReadToken(contentType, subtypeStart);
  if (subtypeEnd == subtypeStart) return std::nullopt;
  return MediaType{contentType.substr(start, typeEnd - start), contentType.substr(subtypeStart, subtypeEnd - subtypeStart)};
}

std::optional<MediaType> MediaTypeOf(const OptionalText& contentType) {
  return contentType ? ReadMediaType(*contentType) : std::nullopt;
}

// The media type when it is a multipart; most parts are not, and their first letters tell so.
std::optional<MediaType> MultipartTypeOf(const OptionalText& contentType) {
  if (!contentType) return std::nullopt;
  const std::string_view value = std::string_view(*contentType).substr(SkipBlanks(*contentType, 0));
  if (!StartsWithIgnoringAsciiCase(value, "multipart")) return std::nullopt;
  return ReadMediaType(value);
}

bool Is(const std::optional<MediaType>& media, std::string_view type, std::string_view subtype = {}) {
  return media && EqualIgnoringAsciiCase(media->type, type) &&
         (subtype.empty() || EqualIgnoringAsciiCase(media->subtype, subtype));
}

std::size_t ParseMultipartOnce(std::string_view contentType, std::string_view body, std::vector<MimePart>& parts,
                               BoundaryCase letterCase, std::string_view fallbackCharset) {
  const std::optional<MediaType> media = ReadMediaType(contentType);
  if (!Is(media, "multipart")) return parts.size();
  std::optional<std::string> boundary = codec::ParamBytes(contentType, "boundary");
  if (!boundary || boundary->empty()) return parts.size();
  Boundaries open{{std::move(*boundary), Is(media, "multipart", "digest")}};
  std::size_t running = kNone;  // the part that the next boundary line ends
  for (std::size_t pos = 0;;) {
    const std::size_t line = NextDashLine(body, pos);
    if (line == kNone) break;
    const int level = MatchBoundary(body, line, open, letterCase);
    if (level < 0) {
      pos = line + 2;
      continue;
    }
    if (running != kNone) parts[running].bodyEnd = line;
    running = kNone;
    // Multiparts inside this one that were never closed end here.
    open.resize(static_cast<std::size_t>(level) + 1);
    const std::size_t after = line + 2 + open.back().boundary.size();
    if (HasPairAt(body, after, "--")) {
      // Closing boundary; what follows up to a boundary of an enclosing multipart is ignored.
      open.pop_back();
      if (open.empty()) break;
      pos = after + 2;
      continue;
    }
    PartHeader header = ReadPartHeader(body, NextLine(body, after), open, letterCase);
    if (!header.contentType && open.back().digest) header.contentType = "message/rfc822";
    const std::optional<MediaType> partMedia = MultipartTypeOf(header.contentType);
    if (Is(partMedia, "multipart")) {
      // The nested multipart's parts join the same flat list; one without a boundary adds none.
      std::optional<std::string> inner = codec::ParamBytes(*header.contentType, "boundary");
      if (inner && !inner->empty() && open.size() < kMaxMultipartDepth) {
        open.push_back({std::move(*inner), Is(partMedia, "multipart", "digest")});
      }
    } else {
      MimePart part;
      part.fileName = FileName(header.disposition, header.contentType, fallbackCharset);
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

}  // namespace

std::size_t ParseMultipart(std::string_view contentType, std::string_view body, std::vector<MimePart>& parts,
                           std::string_view fallbackCharset) {
  const std::size_t before = parts.size();
  const std::size_t count = ParseMultipartOnce(contentType, body, parts, BoundaryCase::kExact, fallbackCharset);
  if (count > before) return count;
  // RFC 2046 compares boundaries exactly; a message whose boundary lines differ from its header
  // in letter case alone would show no part at all, so it is read the way it always was.
  return ParseMultipartOnce(contentType, body, parts, BoundaryCase::kIgnored, fallbackCharset);
}

std::string_view PartText(const MimePart& part, std::string_view body) {
  const std::size_t start = std::min(part.bodyStart, body.size());
  if (!part.bodyEnd) return body.substr(start);
  const std::size_t end = std::min(*part.bodyEnd, body.size());
  if (end < start + 2) return {};
  return body.substr(start, end - start - 2);
}

OptionalText FileName(const OptionalText& disposition, const OptionalText& contentType, std::string_view fallbackCharset) {
  if (disposition) {
    if (OptionalText name = codec::ParamText(*disposition, "filename", fallbackCharset)) return name;
  }
  if (contentType) return codec::ParamText(*contentType, "name", fallbackCharset);
  return std::nullopt;
}

bool IsTextPart(const MimePart& part) {
  const std::optional<MediaType> media = MediaTypeOf(part.contentType);
  return !media || Is(media, "text");
}

std::optional<std::size_t> FirstTextPart(const std::vector<MimePart>& parts) {
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (IsTextPart(parts[i])) return i;
  }
  return std::nullopt;
}

}  // namespace zelk::mime
