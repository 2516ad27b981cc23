#include "store/header_fields.h"

#include "codec/header_words.h"
#include "platform/ascii.h"

namespace zelk::store {

namespace {

std::string_view HeaderBlock(std::string_view raw) {
  if (raw.starts_with("\r\n")) return {};
  const std::size_t end = raw.find("\r\n\r\n");
  return end == std::string_view::npos ? raw : raw.substr(0, end + 2);
}

// Calls found(value) for each field of that name, the value already unfolded.
template <typename Found>
void ForEachField(std::string_view raw, std::string_view name, Found found) {
  const std::string_view block = HeaderBlock(raw);
  for (std::size_t pos = 0; pos < block.size();) {
    // A logical line runs on over CR LF followed by a space or tab.
    std::size_t end = pos;
    for (;;) {
      end = block.find("\r\n", end);
      if (end == std::string_view::npos) {
        end = block.size();
        break;
      }
      if (end + 2 < block.size() && (block[end + 2] == ' ' || block[end + 2] == '\t')) {
        end += 2;
        continue;
      }
      break;
    }
    const std::string_view line = block.substr(pos, end - pos);
    if (platform::StartsWithIgnoringAsciiCase(line, name)) {
      std::string_view value = line.substr(name.size());
      value.remove_prefix(std::min(value.find_first_not_of(" \t"), value.size()));
      std::string unfolded;
      for (std::size_t crlf = value.find("\r\n"); crlf != std::string_view::npos; crlf = value.find("\r\n")) {
        unfolded.append(value.substr(0, crlf));
        value.remove_prefix(std::min(crlf + 3, value.size()));
      }
      unfolded.append(value);
      if (!found(std::move(unfolded))) return;
    }
    pos = end + 2;
  }
}

}  // namespace

std::optional<std::string> HeaderValue(std::string_view raw, std::string_view name) {
  std::optional<std::string> result;
  ForEachField(raw, name, [&result](std::string value) {
    result = std::move(value);
    return false;
  });
  return result;
}

std::optional<std::string> HeaderValues(std::string_view raw, std::string_view name) {
  std::optional<std::string> result;
  ForEachField(raw, name, [&result](std::string value) {
    if (result) {
      result->append(",").append(value);
    } else {
      result = std::move(value);
    }
    return true;
  });
  return result;
}

OptionalText DecodedHeader(std::string_view raw, std::string_view name, bool all) {
  const std::optional<std::string> value = all ? HeaderValues(raw, name) : HeaderValue(raw, name);
  if (!value) return std::nullopt;
  return platform::LocalToText(codec::DecodeHeaderWords(*value));
}

std::optional<std::string> FirstAngleGroup(std::string_view value) {
  const std::size_t open = value.find('<');
  if (open == std::string_view::npos) return std::nullopt;
  const std::size_t close = value.find('>', open);
  if (close == std::string_view::npos) return std::nullopt;
  return std::string(value.substr(open, close - open + 1));
}

std::string MessageKey(std::string_view raw) {
  if (const auto id = HeaderValue(raw, "Message-Id:")) {
    if (auto group = FirstAngleGroup(*id); group && !group->empty()) return *group;
  }
  if (auto uidl = HeaderValue(raw, "X-UIDL:"); uidl && !uidl->empty()) return *uidl;
  return HeaderValue(raw, "Date:").value_or("") + "." + HeaderValue(raw, "From:").value_or("");
}

}  // namespace zelk::store
