#include "mime/body_encoding.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "codec/charset.h"
#include "codec/quoted_printable.h"
#include "mime/data_lines.h"

namespace zelk::mime {
namespace {

// The encoder breaks a line after the character or escape that reaches its limit, which may add
// two characters and the "=" to it; this limit keeps encoded lines within the 76 characters
// RFC 2045 allows.
constexpr int kQuotedPrintableLimit = 73;

// RFC 5322 allows 998 characters a line; servers cut or refuse longer ones.
constexpr std::size_t kLongestLine = 998;

bool HasEightBit(std::string_view bytes) {
  return std::any_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
}

bool HasLongLine(std::string_view bytes) {
  for (std::size_t start = 0; start < bytes.size();) {
    const std::size_t lf = bytes.find('\n', start);
    const std::size_t end = lf == std::string_view::npos ? bytes.size() : lf;
    const std::size_t length = end - start - (end > start && bytes[end - 1] == '\r' ? 1 : 0);
    if (length > kLongestLine) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace

EncodedBody EncodeBody(const platform::Text& text, std::string_view charset, int encoding) {
  std::string local = platform::TextToLocal(text);
  codec::CharsetText converted;
  if (!HasEightBit(local)) {
    converted = {std::move(local), "US-ASCII"};
    encoding = kBody7bit;
  } else {
    std::optional<codec::CharsetText> inCharset = codec::LocalToCharset(local, charset);
    // Local bytes sent under a name nobody here knows would be mislabelled; UTF-8 always converts.
    if (!inCharset) inCharset = codec::LocalToCharset(local, codec::kFallbackCharset);
    converted = std::move(*inCharset);
  }
  EncodedBody body{{}, "text/plain; charset=\"" + converted.charset + "\"", {}};

  if (encoding != kBody8bit && encoding != kBodyBase64 && encoding != kBodyQuotedPrintable) {
    encoding = HasEightBit(converted.bytes) ? kBodyQuotedPrintable : kBody7bit;
  }
  if ((encoding == kBody7bit || encoding == kBody8bit) && HasLongLine(converted.bytes)) encoding = kBodyQuotedPrintable;
  switch (encoding) {
    case kBody8bit:
      body.transferEncoding = "8bit";
      body.bytes = std::move(converted.bytes);
      break;
    case kBodyBase64:
      body.transferEncoding = "base64";
      AppendBase64Lines(body.bytes, converted.bytes);
      break;
    case kBodyQuotedPrintable:
      body.transferEncoding = "quoted-printable";
      body.bytes = codec::QuotedPrintableEncode(converted.bytes, kQuotedPrintableLimit);
      break;
    default:
      body.transferEncoding = "7bit";
      body.bytes = std::move(converted.bytes);
      break;
  }
  return body;
}

}  // namespace zelk::mime
