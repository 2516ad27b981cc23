#include "store/header_fields.h"

#include "codec/header_words.h"
#include "mime/header_lines.h"
#include "platform/ascii.h"

namespace zelk::store {

namespace {

// Calls found(value) for each field of that name, the value unfolded as RFC 5322 unfolds.
template <typename Found>
void ForEachField(HeaderBlock header, std::string_view name, Found found) {
  const char* cursor = header.text.data();
  const char* const end = cursor + header.text.size();
  for (std::string_view line; mime::ReadFoldedLine(cursor, end, line);) {
    if (platform::StartsWithIgnoringAsciiCase(line, name) && !found(mime::UnfoldedFieldValue(line, name.size()))) return;
  }
}

// LastMessageId values stored in profiles were made with this reading, so a message key keeps it:
// the header block running to the first empty line, each CR LF removed with the one blank after it.
std::optional<std::string> KeyFieldValue(std::string_view raw, std::string_view name) {
  if (raw.starts_with("\r\n")) return std::nullopt;
  const std::size_t blockEnd = raw.find("\r\n\r\n");
  const std::string_view block = blockEnd == std::string_view::npos ? raw : raw.substr(0, blockEnd + 2);
  const char* cursor = block.data();
  for (std::string_view line; mime::ReadFoldedLine(cursor, block.data() + block.size(), line);) {
    if (!platform::StartsWithIgnoringAsciiCase(line, name)) continue;
    std::string_view value = line.substr(name.size());
    value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
    std::string unfolded;
    for (std::size_t crlf = value.find("\r\n"); crlf != std::string_view::npos; crlf = value.find("\r\n")) {
      unfolded.append(value.substr(0, crlf));
      value.remove_prefix(std::min(crlf + 3, value.size()));
    }
    return unfolded.append(value);
  }
  return std::nullopt;
}

}  // namespace

HeaderBlock HeaderBlockOf(std::string_view raw) { return {raw.substr(0, mime::FindHeaderBounds(raw).headerEnd)}; }

std::optional<std::string> HeaderValue(HeaderBlock header, std::string_view name) {
  std::optional<std::string> result;
  ForEachField(header, name, [&result](std::string value) {
    result = std::move(value);
    return false;
  });
  return result;
}

std::optional<std::string> HeaderValues(HeaderBlock header, std::string_view name) {
  std::optional<std::string> result;
  ForEachField(header, name, [&result](std::string value) {
    if (result) {
      result->append(",").append(value);
    } else {
      result = std::move(value);
    }
    return true;
  });
  return result;
}

OptionalText DecodedHeader(HeaderBlock header, std::string_view name, bool all, std::string_view fallbackCharset) {
  const std::optional<std::string> value = all ? HeaderValues(header, name) : HeaderValue(header, name);
  if (!value) return std::nullopt;
  return platform::LocalToText(codec::DecodeHeaderWords(*value, fallbackCharset));
}

std::optional<std::string> FirstAngleGroup(std::string_view value) {
  const std::size_t open = value.find('<');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = value.find('>', open);
  if (close == std::string_view::npos) return std::nullopt;
  return std::string(value.substr(open, close - open + 1));
}

std::string MessageKey(std::string_view raw) {
  if (const auto id = KeyFieldValue(raw, "Message-Id:")) {
    if (auto group = FirstAngleGroup(*id); group && !group->empty()) return *group;
  }
  if (auto uidl = KeyFieldValue(raw, "X-UIDL:"); uidl && !uidl->empty()) return *uidl;
  return KeyFieldValue(raw, "Date:").value_or("") + "." + KeyFieldValue(raw, "From:").value_or("");
}

}  // namespace zelk::store
