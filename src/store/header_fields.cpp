#include "store/header_fields.h"

#include "codec/header_words.h"
#include "mime/header_lines.h"
#include "platform/ascii.h"

namespace zelk::store {

namespace {

// How fields are read: as the user sees them (RFC 5322), or as message keys have always been
// built. LastMessageId values stored in profiles were made with the second reading, so a message
// key must keep it: the header block running to the first empty line, each CR LF removed with
// the one blank after it.
enum class FieldReading { kShown, kMessageKey };

std::string_view HeaderBlock(std::string_view raw, FieldReading reading) {
  if (reading == FieldReading::kShown) return raw.substr(0, mime::FindHeaderBounds(raw).headerEnd);
  if (raw.starts_with("\r\n")) return {};
  const std::size_t end = raw.find("\r\n\r\n");
  return end == std::string_view::npos ? raw : raw.substr(0, end + 2);
}

std::string KeyValue(std::string_view line, std::size_t nameLength) {
  std::string_view value = line.substr(nameLength);
  value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
  std::string unfolded;
  for (std::size_t crlf = value.find("\r\n"); crlf != std::string_view::npos; crlf = value.find("\r\n")) {
    unfolded.append(value.substr(0, crlf));
    value.remove_prefix(std::min(crlf + 3, value.size()));
  }
  unfolded.append(value);
  return unfolded;
}

// Calls found(value) for each field of that name, the value already unfolded.
template <typename Found>
void ForEachField(std::string_view raw, std::string_view name, FieldReading reading, Found found) {
  const std::string_view block = HeaderBlock(raw, reading);
  const char* cursor = block.data();
  const char* const end = cursor + block.size();
  for (std::string_view line; mime::ReadFoldedLine(cursor, end, line);) {
    if (!platform::StartsWithIgnoringAsciiCase(line, name)) continue;
    std::string value = reading == FieldReading::kShown ? mime::UnfoldedFieldValue(line, name.size())
                                                        : KeyValue(line, name.size());
    if (!found(std::move(value))) return;
  }
}

std::optional<std::string> FirstValue(std::string_view raw, std::string_view name, FieldReading reading) {
  std::optional<std::string> result;
  ForEachField(raw, name, reading, [&result](std::string value) {
    result = std::move(value);
    return false;
  });
  return result;
}

}  // namespace

std::optional<std::string> HeaderValue(std::string_view raw, std::string_view name) {
  return FirstValue(raw, name, FieldReading::kShown);
}

std::optional<std::string> HeaderValues(std::string_view raw, std::string_view name) {
  std::optional<std::string> result;
  ForEachField(raw, name, FieldReading::kShown, [&result](std::string value) {
    if (result) {
      result->append(",").append(value);
    } else {
      result = std::move(value);
    }
    return true;
  });
  return result;
}

OptionalText DecodedHeader(std::string_view raw, std::string_view name, bool all, std::string_view fallbackCharset) {
  const std::optional<std::string> value = all ? HeaderValues(raw, name) : HeaderValue(raw, name);
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
  constexpr FieldReading kKey = FieldReading::kMessageKey;
  if (const auto id = FirstValue(raw, "Message-Id:", kKey)) {
    if (auto group = FirstAngleGroup(*id); group && !group->empty()) return *group;
  }
  if (auto uidl = FirstValue(raw, "X-UIDL:", kKey); uidl && !uidl->empty()) return *uidl;
  return FirstValue(raw, "Date:", kKey).value_or("") + "." + FirstValue(raw, "From:", kKey).value_or("");
}

}  // namespace zelk::store
