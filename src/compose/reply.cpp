#include "compose/reply.h"

#include <vector>

#include "compose/address_list.h"
#include "compose/escape.h"
#include "mime/display_text.h"
#include "platform/ascii.h"
#include "platform/text_compare.h"
#include "platform/utf8.h"

namespace zelk::compose {

namespace {

using store::OptionalText;

bool IsRealMessageId(const OptionalText& id) { return id && id->starts_with('<'); }

const store::MailBox* FindAccount(const store::MailBoxTable& table, const OptionalText& name) {
  const int index = store::FindMailBox(table, name);
  return index < 0 ? nullptr : table.boxes[static_cast<std::size_t>(index)].get();
}

platform::Text ReplySubject(const OptionalText& answered, const platform::Text& prefix) {
  std::string_view rest = answered ? std::string_view(*answered) : std::string_view();
  const std::string_view head = platform::CutToUtf16Units(rest, platform::Utf16Length(prefix));
  if (platform::EqualIgnoringCase(head, prefix)) {
    rest.remove_prefix(head.size());
  } else if (platform::StartsWithIgnoringAsciiCase(rest, "Re:")) {
    rest.remove_prefix(3);
  }
  while (rest.starts_with(' ')) rest.remove_prefix(1);
  return prefix + platform::Text(rest);
}

OptionalText ReplyToAllCc(const store::MailItem& reply, const store::MailItem& answered,
                          const store::MailBoxTable& table) {
  const store::MailBox* account = FindAccount(table, reply.MailBoxName);
  const OptionalText own = account ? account->MailAddress : std::nullopt;
  const platform::Text target = ReadAddress(reply.To.value_or(""), 0).address;
  const auto isDropped = [&](std::string_view address) {
    // An element without an address (an empty one between commas) has no one to copy to.
    return address.empty() || (own && platform::EqualIgnoringCase(address, *own)) ||
           platform::EqualIgnoringCase(address, target);
  };

  OptionalText cc;
  const auto keepFrom = [&](const OptionalText& list) {
    if (!list) return;
    for (std::size_t pos = 0; pos <= list->size();) {
      ListElement element = CopyListElement(*list, pos);
      pos = element.end + 1;
      if (isDropped(ReadAddress(element.text, 0).address)) continue;
      if (cc) {
        cc->append(",\r\n ").append(element.text);
      } else {
        cc = std::move(element.text);
      }
    }
  };
  keepFrom(answered.To);
  keepFrom(answered.Cc);
  if (answered.ReplyTo) keepFrom(answered.From);
  return cc;
}

}  // namespace

void PrepareReply(store::MailItem& reply, const store::MailItem& answered, int shownMailbox, bool replyToAll,
                  const store::MailBoxTable& table, const config::Settings& settings) {
  if (shownMailbox >= store::kFirstAccountIndex && static_cast<std::size_t>(shownMailbox) < table.boxes.size()) {
    reply.MailBoxName = table.boxes[static_cast<std::size_t>(shownMailbox)]->Name;
  } else if (answered.MailBoxName) {
    reply.MailBoxName = answered.MailBoxName;
  }
  reply.To = answered.ReplyTo ? answered.ReplyTo : answered.From;
  if (replyToAll) reply.Cc = ReplyToAllCc(reply, answered, table);
  if (IsRealMessageId(answered.MessageId)) {
    reply.InReplyTo = answered.MessageId;
    reply.References = IsRealMessageId(answered.InReplyTo) ? *answered.InReplyTo + " " + *answered.MessageId
                                                            : *answered.MessageId;
  }
  reply.Subject = ReplySubject(answered.Subject, settings.ReSubject);
}

void BuildReplyBody(store::MailItem& reply, const store::MailItem* answered, bool quote,
                    const store::MailBoxTable& table, const config::Settings& settings) {
  const store::MailBox* account = FindAccount(table, reply.MailBoxName);
  const bool hasSignature = account && account->Signature && !account->Signature->empty();
  platform::Text body;
  if (quote && answered && answered->Body) {
    std::vector<mime::MimePart> parts;
    body = ExpandReplyHeader(settings.ReHeader, *answered) + "\r\n" +
           QuoteText(mime::GetDisplayText(*answered, false, parts, settings.UndeclaredCharset).text, settings.QuotationChar);
  } else if (!hasSignature) {
    return;
  }
  if (hasSignature) body += "\r\n" + *account->Signature;
  reply.Body = EscapeForSending(body);
}

platform::Text ExpandReplyHeader(std::string_view pattern, const store::MailItem& answered) {
  platform::Text out;
  for (std::size_t pos = 0; pos < pattern.size();) {
    const std::size_t percent = pattern.find('%', pos);
    out.append(pattern.substr(pos, percent - pos));
    if (percent == std::string_view::npos || percent + 1 == pattern.size()) break;
    const OptionalText* field = nullptr;
    switch (platform::AsciiLower(pattern[percent + 1])) {
      case 'f': field = &answered.From; break;
      case 't': field = &answered.To; break;
      case 'c': field = &answered.Cc; break;
      case 'b': field = &answered.Bcc; break;
      case 'd': field = &answered.Date; break;
      case 's': field = &answered.Subject; break;
      case 'i': field = IsRealMessageId(answered.MessageId) ? &answered.MessageId : nullptr; break;
      case '%': out += '%'; break;
      default: break;
    }
    if (field && *field) out += **field;
    // An unknown code goes whole, all the bytes of its character.
    pos = percent + 1 + platform::DecodeUtf8At(pattern, percent + 1).length;
  }
  return out;
}

platform::Text QuoteText(std::string_view text, std::string_view quotationMark) {
  if (quotationMark.empty()) return platform::Text(text);
  while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.remove_suffix(1);
  platform::Text out(quotationMark);
  out.reserve(text.size() + text.size() / 16 + quotationMark.size() + 2);
  for (std::size_t pos = 0; pos < text.size();) {
    const std::size_t lineFeed = text.find('\n', pos);
    if (lineFeed == std::string_view::npos) {
      out.append(text.substr(pos));
      break;
    }
    out.append(text.substr(pos, lineFeed + 1 - pos)).append(quotationMark);
    pos = lineFeed + 1;
  }
  out += "\r\n";
  return out;
}

}  // namespace zelk::compose
