// Decoding runs on the wire form of a part: the dot-doubling of the transfer is undone before a
// transfer encoding is removed, not after. Quoted-printable can join lines with a soft break or
// write a line-initial dot as "=2E", and base64 text can hold a line that begins with a dot, so
// undoing the dots after decoding would drop or keep the wrong ones.
#include "platform/ascii.h"
#include "mime/display_text.h"

#include "codec/base64.h"
#include "codec/charset.h"
#include "codec/quoted_printable.h"

namespace zelk::mime {
namespace {

constexpr std::size_t kNone = std::string_view::npos;

using platform::StartsWithIgnoringAsciiCase;

// A part's transfer encoding is the whole value, letter case ignored; blanks around it (as left
// by "Content-Transfer-Encoding: base64 ") do not count.
bool EncodingIs(const OptionalText& encoding, std::string_view name) {
  if (!encoding) return false;
  std::string_view value = *encoding;
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
  return value.size() == name.size() && StartsWithIgnoringAsciiCase(value, name);
}

bool HasLineStartDot(std::string_view text) {
  for (std::size_t dot = text.find('.'); dot != kNone; dot = text.find('.', dot + 1)) {
    if (dot == 0 || text[dot - 1] == '\n') return true;
  }
  return false;
}

// The transfer's dot-doubling put back on decoded text, so that it is stored as received text is.
std::string StuffDots(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  if (!text.empty() && text.front() == '.') out += '.';
  std::size_t pos = 0;
  for (std::size_t dot = text.find("\n."); dot != kNone; dot = text.find("\n.", pos)) {
    out.append(text.substr(pos, dot + 1 - pos)).append(".");
    pos = dot + 1;
  }
  out.append(text.substr(pos));
  return out;
}

// The part's text in the local code page with its transfer encoding removed.
std::string DecodedLocal(const MimePart& part, std::string_view text) {
  // Under UTF-8 a part without doubled dots is decoded straight from the body: a large
  // attachment is then neither copied nor converted first.
  std::string converted;
  std::string_view local = text;
  if (!platform::LocalCodePageIsUtf8() || HasLineStartDot(text)) {
    converted = platform::TextToLocal(UnescapeDots(text));
    local = converted;
  }
  if (EncodingIs(part.transferEncoding, "base64")) return codec::Base64Decode(local);
  if (EncodingIs(part.transferEncoding, "quoted-printable")) return codec::QuotedPrintableDecode(local);
  return converted.empty() ? std::string(local) : std::move(converted);
}

// Text shown as it is stored, declaring no charset.
Text ShownUndeclared(std::string_view text, std::string_view fallbackCharset) {
  return platform::LocalToText(codec::UndeclaredToLocal(platform::TextToLocal(text), fallbackCharset));
}

}  // namespace

std::string UnescapeDots(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  std::size_t pos = !text.empty() && text.front() == '.' ? 1 : 0;
  for (std::size_t dot = text.find("\n.", pos); dot != kNone; dot = text.find("\n.", pos)) {
    out.append(text.substr(pos, dot + 1 - pos));
    pos = dot + 2;
  }
  out.append(text.substr(pos));
  return out;
}

std::string DecodeStoredBody(store::MailItem& item, std::string_view bytes) {
  if (!item.ContentType || !item.Encoding || !StartsWithIgnoringAsciiCase(*item.ContentType, "text")) return std::string(bytes);
  std::string decoded;
  if (StartsWithIgnoringAsciiCase(*item.Encoding, "base64")) {
    decoded = StuffDots(codec::Base64Decode(UnescapeDots(bytes)));
  } else if (StartsWithIgnoringAsciiCase(*item.Encoding, "quoted-printable")) {
    decoded = StuffDots(codec::QuotedPrintableDecode(UnescapeDots(bytes)));
  } else {
    decoded = std::string(bytes);
  }
  item.Encoding.reset();
  return decoded;
}

DisplayText GetDisplayText(const store::MailItem& item, bool source, std::vector<MimePart>& parts,
                           std::string_view fallbackCharset) {
  parts.clear();
  const std::string_view body = item.Body ? std::string_view(*item.Body) : std::string_view();
  DisplayText shown;
  if (item.Multipart == 1 && !source && item.ContentType) {
    ParseMultipart(*item.ContentType, body, parts, fallbackCharset);
    shown.selected = FirstTextPart(parts);
  }
  if (parts.empty()) {
    // The whole body as one part; when it is no text, the viewer offers it as an attachment.
    MimePart whole;
    if (!source) {
      whole.contentType = item.ContentType;
      whole.transferEncoding = item.Encoding;
    }
    const OptionalText name = FileName(item.Disposition, item.ContentType, fallbackCharset);
    if (source || IsTextPart(whole)) {
      shown.selected = 0;
      // A text file sent alone (a CSV, a calendar) is shown and offered for saving as well.
      if (!source && name) {
        MimePart file = whole;
        file.fileName = name;
        parts.push_back(std::move(whole));
        whole = std::move(file);
      }
    } else {
      whole.fileName = name;
    }
    parts.push_back(std::move(whole));
  }
  if (!shown.selected) {
    shown.text = ShownUndeclared(UnescapeDots(body), fallbackCharset);
    return shown;
  }
  const MimePart& part = parts[*shown.selected];
  const std::string local = DecodedLocal(part, PartText(part, body));
  shown.text = platform::LocalToText(
      codec::ContentCharsetToLocal(local, part.contentType.value_or(Text()), fallbackCharset));
  return shown;
}

std::string DecodePartData(const MimePart& part, std::string_view body) {
  return DecodedLocal(part, PartText(part, body));
}

bool KeepFirstTextPart(store::MailItem& item) {
  if (!item.ContentType || !item.Body) return false;
  std::vector<MimePart> parts;
  // Only the text stays: no file name is read for anything.
  ParseMultipart(*item.ContentType, *item.Body, parts, codec::kDefaultUndeclaredCharset);
  const std::optional<std::size_t> first = FirstTextPart(parts);
  if (!first) return false;
  MimePart& part = parts[*first];
  Text text(PartText(part, *item.Body));
  item.Body = std::move(text);
  item.Encoding = std::move(part.transferEncoding);
  item.ContentType = std::move(part.contentType);
  item.Attach.emplace(1, '_');  // the one-character marker of a message whose attachments were removed
  return true;
}

}  // namespace zelk::mime
