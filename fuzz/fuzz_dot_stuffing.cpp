// The outgoing message text read back as an SMTP server reads DATA. The first byte chooses the
// body encoding, the body charset and whether a file is attached; the second is the length of a
// Subject taken from what follows; the rest is the stored body. The text must end in the one end
// marker, have CR LF line ends only and a well-formed header; with the dot-stuffing removed (and
// the transfer encoding undone) the body must be the stored one with its dots un-doubled, its
// lone CR and LF made CR LF and its NUL bytes dropped. A Subject is refused exactly when it
// holds a line break that is not a fold, or a NUL.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "codec/base64.h"
#include "codec/charset.h"
#include "codec/quoted_printable.h"
#include "mime/display_text.h"
#include "mime/outgoing_message.h"
#include "support/fixed_clock.h"
#include "temp_file.h"

namespace {

using namespace zelk;

void Fail(const char* why) {
  std::fputs(why, stderr);
  std::fputc('\n', stderr);
  std::abort();
}

std::string Canonical(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\0') continue;
    if (text[i] == '\r' || text[i] == '\n') {
      out += "\r\n";
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

bool SafeHeaderValue(std::string_view value) {
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] == '\0') return false;
    if (value.substr(i, 2) == "\r\n" && i + 2 < value.size() && (value[i + 2] == ' ' || value[i + 2] == '\t')) {
      ++i;
    } else if (value[i] == '\r' || value[i] == '\n') {
      return false;
    }
  }
  return true;
}

// The payload with the dots the server removes removed, checking the line ends and the marker.
std::string ReadData(const std::string& text) {
  if (text.size() < 5 || text.find("\r\n.\r\n") != text.size() - 5) Fail("the end marker is not once, at the end");
  std::string payload;
  for (std::size_t pos = 0; pos + 3 < text.size();) {
    const std::size_t end = text.find_first_of("\r\n", pos);
    if (text.compare(end, 2, "\r\n") != 0) Fail("a lone CR or LF");
    payload.append(text, pos + (text[pos] == '.' ? 1 : 0), end + 2 - pos - (text[pos] == '.' ? 1 : 0));
    pos = end + 2;
  }
  return payload;
}

void CheckHeader(std::string_view header) {
  for (std::size_t pos = 0; pos < header.size();) {
    const std::size_t end = header.find("\r\n", pos);
    const std::string_view line = header.substr(pos, end - pos);
    const std::size_t colon = line.find(':');
    const bool continued = !line.empty() && (line[0] == ' ' || line[0] == '\t');
    if (!continued && (colon == std::string_view::npos || colon == 0 ||
                       line.substr(0, colon).find_first_of(" \t") != std::string_view::npos)) {
      Fail("a header line that is neither a field nor a fold");
    }
    pos = end + 2;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const bool utf8 = platform::SelectLocalCodePage("UTF-8");
  if (!utf8 || size < 2) return 0;
  static const std::string attachment = fuzz::WriteScratch("attached bytes");
  static const char* const kCharsets[] = {"UTF-8", "ISO-8859-1", "ISO-2022-JP", "X-UNKNOWN"};
  const std::string input(reinterpret_cast<const char*>(data + 2), size - 2);
  const std::size_t subjectSize = std::min<std::size_t>(data[1], input.size());

  store::MailItem item;
  item.To = "bob@example.com";
  item.Subject = input.substr(0, subjectSize);
  item.Body = input.substr(subjectSize);
  const bool multipart = (data[0] & 0x10) != 0;
  if (multipart) item.Attach = attachment;
  store::MailBox account;
  account.MailAddress = "jane@example.com";
  mime::OutgoingOptions options;
  options.bodyEncoding = data[0] & 3;
  options.bodyCharset = kCharsets[(data[0] >> 2) & 3];
  platform::Text error;
  const std::optional<std::string> text = mime::BuildMessageText(item, account, options, test::FixedClock(test::kTuesday, -540), error);
  if (!text) {
    if (SafeHeaderValue(*item.Subject) || !error.starts_with("Header field Subject")) Fail("refused without cause");
    return 0;
  }
  if (!SafeHeaderValue(*item.Subject)) Fail("an unsafe Subject was sent");

  const std::string payload = ReadData(*text);
  const std::size_t split = payload.find("\r\n\r\n");
  if (split == std::string::npos) Fail("no end of header");
  CheckHeader(std::string_view(payload).substr(0, split + 2));
  std::string_view body = std::string_view(payload).substr(split + 4);
  const std::string headerText = payload.substr(0, split + 2);

  std::string_view partHeader = headerText;
  if (multipart) {
    const std::size_t textStart = body.find("\r\n\r\n") + 4;
    const std::size_t textEnd = body.rfind("\r\n\r\n--", body.rfind("\r\nContent-Type: application/octet-stream"));
    if (textEnd == std::string_view::npos || textEnd < textStart) Fail("no text part");
    partHeader = body.substr(0, textStart);
    body = body.substr(textStart, textEnd - textStart);
  }
  const std::string expectedText = Canonical(mime::UnescapeDots(*item.Body));
  std::string expected = expectedText;
  auto eightBit = [](char c) { return static_cast<unsigned char>(c) >= 0x80; };
  if (std::any_of(expectedText.begin(), expectedText.end(), eightBit)) {
    std::optional<codec::CharsetText> converted = codec::LocalToCharset(expectedText, options.bodyCharset);
    if (!converted) converted = codec::LocalToCharset(expectedText, codec::kFallbackCharset);
    expected = converted->bytes;
    const std::string label = "\r\nContent-Type: text/plain; charset=\"" + converted->charset + "\"\r\n";
    if (partHeader.find(label) == std::string_view::npos) Fail("mislabelled charset");
  }
  // The line end that the end marker or the part's closing adds to a last line left open.
  const std::string closed = expected.empty() || expected.ends_with("\r\n") ? expected : expected + "\r\n";

  std::string received(body);
  if (partHeader.find("\r\nContent-Transfer-Encoding: base64\r\n") != std::string_view::npos) {
    received = codec::Base64Decode(received);
  } else if (partHeader.find("\r\nContent-Transfer-Encoding: quoted-printable\r\n") != std::string_view::npos) {
    received = codec::QuotedPrintableDecode(received);
  }
  if (received != expected && received != closed) Fail("the body did not arrive as written");
  return 0;
}
