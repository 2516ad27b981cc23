// RFC 2231 splits a long or non-ASCII value into sections "name*0*=utf-8''...", "name*1*=...",
// which may arrive in any order; a reader that matched names by prefix took "boundary-x" for
// "boundary" and "name*1" for "name".
#include "codec/header_params.h"

#include <map>

#include "codec/charset.h"
#include "codec/header_words.h"
#include "codec/hex_digit.h"
#include "codec/up_to_nul.h"
#include "platform/ascii.h"

namespace zelk::codec {
namespace {

using platform::IsBlankOrLineBreak;

void SkipBlanks(const char*& cursor, const char* end) {
  while (cursor != end && IsBlankOrLineBreak(*cursor)) ++cursor;
}

// A quoted string after its opening quote: backslash pairs stand for their second character; an
// unclosed string runs to the end. The text goes to `out` when one is given.
void ReadQuoted(const char*& cursor, const char* end, std::string* out) {
  while (cursor != end && *cursor != '"') {
    if (*cursor == '\\' && end - cursor >= 2) ++cursor;
    if (out != nullptr) *out += *cursor;
    ++cursor;
  }
  if (cursor != end) ++cursor;
}

// One "name=value" of a parameter list as written: the name with any RFC 2231 "*N" and "*" still
// on it, the value with its quotes; only a value whose name matches is unquoted.
struct RawParameter {
  std::string_view name;
  std::string_view value;
};

std::string Unquoted(std::string_view written) {
  if (!written.starts_with('"')) return std::string(written);
  std::string out;
  const char* cursor = written.data() + 1;
  ReadQuoted(cursor, written.data() + written.size(), &out);
  return out;
}

// Reads the parameter after the next ";" at or after cursor (so the leading type or disposition
// is passed over) and moves the cursor past it. A part that holds no "=" is skipped. False when no
// ";" is left.
bool ReadParameter(const char*& cursor, const char* end, RawParameter& out) {
  for (;;) {
    while (cursor != end && *cursor != ';') {
      // A quoted string may hold ";" ("a;b.txt"), also in what comes before the first parameter.
      if (*cursor++ == '"') ReadQuoted(cursor, end, nullptr);
    }
    if (cursor == end) return false;
    ++cursor;
    SkipBlanks(cursor, end);
    const char* const nameStart = cursor;
    while (cursor != end && *cursor != '=' && *cursor != ';' && !IsBlankOrLineBreak(*cursor)) ++cursor;
    out.name = std::string_view(nameStart, static_cast<std::size_t>(cursor - nameStart));
    SkipBlanks(cursor, end);
    if (cursor == end || *cursor != '=' || out.name.empty()) continue;
    ++cursor;
    SkipBlanks(cursor, end);
    const char* const valueStart = cursor;
    if (cursor != end && *cursor == '"') {
      ++cursor;
      ReadQuoted(cursor, end, nullptr);
      out.value = std::string_view(valueStart, static_cast<std::size_t>(cursor - valueStart));
      return true;
    }
    // A bare value runs to the next ";" without the blanks before it: mailers write file names
    // with spaces unquoted.
    while (cursor != end && *cursor != ';') ++cursor;
    const char* valueEnd = cursor;
    while (valueEnd != valueStart && IsBlankOrLineBreak(valueEnd[-1])) --valueEnd;
    out.value = std::string_view(valueStart, static_cast<std::size_t>(valueEnd - valueStart));
    return true;
  }
}

// How a written parameter name relates to the one looked for.
struct NameMatch {
  bool matches = false;
  bool extended = false;         // RFC 2231: a "*" follows the name
  std::optional<int> section;    // "*N": one section of a continued value
  bool encoded = false;          // a final "*": charset'language'%XX text
};

// Section numbers are kept to what real mail uses; a larger one is no section at all, so a
// crafted number cannot make the joined value huge.
constexpr int kMaxSection = 999;

NameMatch MatchName(std::string_view written, std::string_view wanted) {
  NameMatch match;
  if (written.size() < wanted.size() || !platform::StartsWithIgnoringAsciiCase(written, wanted)) return match;
  std::string_view rest = written.substr(wanted.size());
  if (rest.empty()) {
    match.matches = true;
    return match;
  }
  if (rest.front() != '*') return match;
  rest.remove_prefix(1);
  match.extended = true;
  if (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') {
    int number = 0;
    while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') {
      number = number * 10 + (rest.front() - '0');
      if (number > kMaxSection) return match;
      rest.remove_prefix(1);
    }
    match.section = number;
    if (!rest.empty() && rest.front() == '*') {
      match.encoded = true;
      rest.remove_prefix(1);
    }
  } else {
    match.encoded = true;  // "name*=" is section 0, always with a charset
  }
  match.matches = rest.empty();
  return match;
}

// "%XX" with two hex digits is a byte; any other "%" stays as written.
std::string Unescape(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    char byte;
    if (text[i] == '%' && text.size() - i >= 3 && ReadHexPair(text[i + 1], text[i + 2], byte)) {
      out += byte;
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

struct Section {
  std::string text;
  bool encoded;
};

struct FoundValue {
  std::string bytes;
  std::string charset;  // RFC 2231 only; empty: as written
  bool extended = false;
};

std::optional<FoundValue> FindValue(std::string_view value, std::string_view name) {
  std::optional<std::string> plain;
  std::map<int, Section> sections;  // by number: they may come in any order
  const char* cursor = value.data();
  const char* const end = cursor + value.size();
  for (RawParameter parameter; ReadParameter(cursor, end, parameter);) {
    const NameMatch match = MatchName(parameter.name, name);
    if (!match.matches) continue;
    if (!match.extended) {
      if (!plain) plain = Unquoted(parameter.value);
    } else {
      sections.try_emplace(match.section.value_or(0), Section{Unquoted(parameter.value), match.encoded});
    }
  }
  if (sections.empty()) {
    if (!plain) return std::nullopt;
    return FoundValue{std::move(*plain), {}, false};
  }
  FoundValue found;
  found.extended = true;
  for (auto& [number, section] : sections) {
    std::string_view text = section.text;
    if (section.encoded && number == sections.begin()->first) {
      // charset'language'text; without both apostrophes and text after them the whole value is
      // the text.
      const std::size_t first = text.find('\'');
      const std::size_t second = first == std::string_view::npos ? first : text.find('\'', first + 1);
      if (second != std::string_view::npos && second + 1 < text.size()) {
        found.charset = std::string(text.substr(0, first));
        text.remove_prefix(second + 1);
      }
    }
    found.bytes += section.encoded ? Unescape(text) : std::string(text);
  }
  return found;
}

// Printable ASCII without an encoded word: what most names are, the same text in every code page
// and unchanged by decoding.
bool IsPlainName(std::string_view bytes) {
  for (const char c : bytes) {
    if (c < ' ' || c > '~') return false;
  }
  return bytes.find("=?") == std::string_view::npos;
}

}  // namespace

std::optional<std::string> ParamBytes(std::string_view value, std::string_view name) {
  std::optional<FoundValue> found = FindValue(value, name);
  if (!found) return std::nullopt;
  return std::move(found->bytes);
}

std::optional<platform::Text> ParamText(std::string_view value, std::string_view name, std::string_view fallbackCharset) {
  // Parameter syntax is ASCII, which no multi-byte character of the text holds, so the value is
  // found in the text and only what is found is made local.
  std::optional<FoundValue> found = FindValue(value, name);
  if (!found) return std::nullopt;
  std::string text;
  if (found->extended) {
    // Escaped bytes of the named charset join the characters written as they are, which must then
    // be local bytes too: these values, rare, are read again from the local form.
    found = FindValue(platform::TextToLocal(value), name);
    if (!found) return std::nullopt;
    std::optional<std::string> converted = found->charset.empty() ? std::nullopt : CharsetToLocal(found->bytes, found->charset);
    text = converted ? std::move(*converted) : UndeclaredToLocal(found->bytes, fallbackCharset);
  } else if (IsPlainName(found->bytes)) {
    return std::move(found->bytes);
  } else {
    text = DecodeHeaderWords(platform::TextToLocal(found->bytes), fallbackCharset);
  }
  // A name goes on to file paths, where a zero byte would end it anyway.
  return platform::LocalToText(UpToNul(text));
}

}  // namespace zelk::codec
