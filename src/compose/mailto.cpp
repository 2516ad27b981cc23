#include "compose/mailto.h"

#include <algorithm>

#include "codec/percent.h"
#include "compose/escape.h"
#include "platform/ascii.h"

namespace zelk::compose {

namespace {

using store::OptionalText;

platform::Text SingleLine(platform::Text text) {
  std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
  return text;
}

std::string_view SkipSpaces(std::string_view text) {
  while (text.starts_with(' ')) text.remove_prefix(1);
  return text;
}

// The value of a query field that begins with `name`, blanks around "=" skipped; none when the
// field is not that one.
std::optional<std::string_view> FieldValue(std::string_view field, std::string_view name) {
  if (!platform::StartsWithIgnoringAsciiCase(field, name)) return std::nullopt;
  field = SkipSpaces(field.substr(name.size()));
  if (!field.starts_with('=')) return std::nullopt;
  return SkipSpaces(field.substr(1));
}

void SetField(std::string_view field, store::MailItem& item, MailtoSource source) {
  struct Target {
    std::string_view name;
    OptionalText store::MailItem::*member;
  };
  static constexpr Target kLines[] = {
      {"to", &store::MailItem::To},           {"cc", &store::MailItem::Cc},
      {"bcc", &store::MailItem::Bcc},         {"replyto", &store::MailItem::ReplyTo},
      {"subject", &store::MailItem::Subject}, {"mailbox", &store::MailItem::MailBoxName},
  };
  for (const Target& target : kLines) {
    if (const auto value = FieldValue(field, target.name)) {
      item.*target.member = SingleLine(codec::PercentDecodeText(*value));
      return;
    }
  }
  if (const auto value = FieldValue(field, "body")) {
    item.Body = EscapeForSending(codec::PercentDecodeText(*value));
  } else if (const auto files = FieldValue(field, "attach"); files && source == MailtoSource::kCommandLine) {
    item.Attach = SingleLine(codec::PercentDecodeText(*files));
  }
}

}  // namespace

void ParseMailtoText(std::string_view text, store::MailItem& item, MailtoSource source) {
  text = SkipSpaces(text);
  constexpr std::string_view kScheme = "mailto:";
  if (!platform::StartsWithIgnoringAsciiCase(text, kScheme)) {
    item.To = SingleLine(platform::Text(text));
    return;
  }
  text.remove_prefix(kScheme.size());
  const std::size_t question = std::min(text.find('?'), text.size());
  if (question > 0) item.To = SingleLine(codec::PercentDecodeText(text.substr(0, question)));
  if (question == text.size()) return;
  std::string_view query = text.substr(question + 1);
  for (;;) {
    const std::size_t ampersand = query.find('&');
    SetField(SkipSpaces(query.substr(0, ampersand)), item, source);
    if (ampersand == std::string_view::npos) break;
    query.remove_prefix(ampersand + 1);
  }
}

}  // namespace zelk::compose
