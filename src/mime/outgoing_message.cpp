#include "mime/outgoing_message.h"

#include <algorithm>
#include <new>
#include <stdexcept>
#include <string_view>
#include <vector>

#include "codec/header_words.h"
#include "mime/body_encoding.h"
#include "mime/data_lines.h"
#include "mime/display_text.h"
#include "mime/message_id.h"
#include "mime/multipart_builder.h"
#include "platform/version.h"

// The text after "354": the header lines in a fixed order, an empty line, the body, ".".
//   From: Jane Doe <jane@example.com>
//   To: bob@example.com
//   Date: Tue, 3 Jan 2006 10:00:00 +0900
//   Subject: Hello
//   Message-Id: <20060103100000.1A2B3C4D.jane@example.com>
//   MIME-Version: 1.0
//   Content-Type: text/plain; charset="US-ASCII"
//   Content-Transfer-Encoding: 7bit
//   X-Mailer: Zelk Ver 1.0.1 (UK fix-1)
//
//   ..a line that began with a dot
//   .
namespace zelk::mime {
namespace {

using platform::Text;

constexpr std::string_view kMailer = platform::kVersionText;

bool Empty(const store::OptionalText& value) { return !value || value->empty(); }

// A value may break its line only by folding: CR LF followed by a space or a tab. Any other CR
// or LF would end the header line there and let the rest stand as a header of its own.
std::optional<Text> HeaderFault(std::string_view name, std::string_view value) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\0') return "Header field " + Text(name) + " holds a NUL character";
    if (value[i] == '\r' && value.substr(i + 1, 1) == "\n" && i + 2 < value.size() &&
        (value[i + 2] == ' ' || value[i + 2] == '\t')) {
      ++i;
    } else if (value[i] == '\r' || value[i] == '\n') {
      return "Header field " + Text(name) + " holds a line break";
    }
  }
  return std::nullopt;
}

// The From value: the account's name, with the characters that would make it an address list
// replaced, before its address. None without an address.
store::OptionalText FromValue(const store::MailBox& account) {
  if (Empty(account.MailAddress)) return std::nullopt;
  Text name = account.UserName.value_or(Text());
  std::replace_if(name.begin(), name.end(), [](char c) { return c == ',' || c == '<' || c == '>'; }, '_');
  const Text address = "<" + *account.MailAddress + ">";
  return name.empty() ? address : name + " " + address;
}

const store::OptionalText& ReplyToValue(const store::MailItem& item, const store::MailBox& account) {
  return Empty(item.ReplyTo) ? account.ReplyTo : item.ReplyTo;
}

class HeaderWriter {
 public:
  HeaderWriter(std::string& out, const OutgoingOptions& options) : out_(out), options_(options) {}

  // Nothing for an empty value.
  void Plain(std::string_view name, std::string_view local) {
    if (local.empty()) return;
    out_.append(name).append(" ").append(local).append("\r\n");
  }
  // A stored value sent as it stands.
  void Stored(std::string_view name, const store::OptionalText& value) {
    if (!Empty(value)) Plain(name, platform::TextToLocal(*value));
  }
  // Through the header encoder; false, with the error, when what it gives would cut the line.
  bool Encoded(std::string_view name, const store::OptionalText& value, bool addressAware, Text& error) {
    if (Empty(value)) return true;
    const Text encoded = codec::EncodeHeaderText(*value, addressAware, {options_.headCharset, options_.headEncoding});
    if (std::optional<Text> fault = HeaderFault(name.substr(0, name.size() - 1), encoded)) {
      error = std::move(*fault);
      return false;
    }
    Plain(name, platform::TextToLocal(encoded));
    return true;
  }

 private:
  std::string& out_;
  const OutgoingOptions& options_;
};

// Refuses before anything of the item changes.
std::optional<Text> CheckHeaderValues(const store::MailItem& item, const store::MailBox& account) {
  const store::OptionalText from = FromValue(account);
  const std::pair<std::string_view, const store::OptionalText*> fields[] = {
      {"From", &from},
      {"To", &item.To},
      {"Cc", &item.Cc},
      {"Subject", &item.Subject},
      {"Reply-To", &ReplyToValue(item, account)},
      {"In-Reply-To", &item.InReplyTo},
      {"References", &item.References},
  };
  for (const auto& [name, value] : fields) {
    if (!*value) continue;
    if (std::optional<Text> fault = HeaderFault(name, **value)) return fault;
  }
  return std::nullopt;
}

std::optional<std::string> Build(store::MailItem& item, const store::MailBox& account, const OutgoingOptions& options,
                                 const platform::Clock& clock, Text& error) {
  if (std::optional<Text> fault = CheckHeaderValues(item, account)) {
    error = std::move(*fault);
    return std::nullopt;
  }
  std::string out;
  HeaderWriter header(out, options);

  item.From = FromValue(account);
  if (!header.Encoded("From:", item.From, true, error)) return std::nullopt;
  if (!header.Encoded("To:", item.To, true, error)) return std::nullopt;
  if (!header.Encoded("Cc:", item.Cc, true, error)) return std::nullopt;

  const std::string date = FormatDateHeader(options.timeZone, clock);
  if (options.sendDate == 1) header.Plain("Date:", date);
  item.Date = platform::LocalToText(
      FormatDisplayDate(date, LocalZoneOffset(options.timeZone, clock), options.datePictures).text);

  if (!header.Encoded("Subject:", item.Subject, false, error)) return std::nullopt;
  if (!header.Encoded("Reply-To:", ReplyToValue(item, account), true, error)) return std::nullopt;
  header.Stored("In-Reply-To:", item.InReplyTo);
  header.Stored("References:", item.References);
  if (options.sendMessageId == 1) {
    const std::string address = platform::TextToLocal(account.MailAddress.value_or(Text()));
    item.MessageId = platform::LocalToText(MakeMessageId(address, clock));
    header.Stored("Message-Id:", item.MessageId);
  }
  header.Plain("MIME-Version:", "1.0");

  // The stored body keeps the dots the composer doubled; the doubling that travels is the one
  // added to the finished lines below, after any transfer encoding.
  const EncodedBody body =
      EncodeBody(CanonicalText(UnescapeDots(item.Body.value_or(Text()))), options.bodyCharset, options.bodyEncoding);
  const std::vector<Text> paths = AttachmentPaths(item.Attach);
  if (paths.empty()) {
    header.Plain("Content-Type:", body.contentType);
    header.Plain("Content-Transfer-Encoding:", body.transferEncoding);
    header.Plain("X-Mailer:", kMailer);
    out += "\r\n";
    AppendDataLines(out, body.bytes);
  } else {
    const std::string boundary = MakeBoundary(*item.Attach, clock);
    header.Plain("Content-Type:", MultipartContentType(boundary));
    header.Plain("X-Mailer:", kMailer);
    out += "\r\n";
    if (!BuildMultipart(paths, boundary, body, {options.headCharset, options.headEncoding, options.encodeType}, out)) {
      error = "Attached file was not found";
      return std::nullopt;
    }
  }
  // The end marker's CR LF ends the last line: a body that already ends its last line gets no
  // empty line added.
  if (!out.ends_with("\r\n")) out += "\r\n";
  out += ".\r\n";
  return out;
}

}  // namespace

std::optional<std::string> BuildMessageText(store::MailItem& item, const store::MailBox& account,
                                            const OutgoingOptions& options, const platform::Clock& clock,
                                            Text& error) {
  try {
    return Build(item, account, options, clock, error);
  } catch (const std::bad_alloc&) {
  } catch (const std::length_error&) {
  }
  error = "Memory Allocation error";
  return std::nullopt;
}

}  // namespace zelk::mime
