#include "mime/content_types.h"

#include <array>

#include "platform/ascii.h"

namespace zelk::mime {
namespace {

using platform::EqualIgnoringAsciiCase;

struct ContentTypeRow {
  std::string_view type;
  std::string_view extension;
};

// Searched top to bottom both ways: the first row of a type gives its extension.
constexpr std::array<ContentTypeRow, 32> kTable{{
    {"application/mac-binhex40", ".hqx"},
    {"application/postscript", ".eps"},
    {"application/postscript", ".ps"},
    {"application/postscript", ".ai"},
    {"application/rtf", ".rtf"},
    {"application/x-stuffit", ".sit"},
    {"application/x-uuencode", ".uue"},
    {"application/x-uuencode", ".uu"},
    {"application/x-zip-compressed", ".zip"},
    {"audio/basic", ".au"},
    {"audio/basic", ".snd"},
    {"audio/x-aiff", ".aiff"},
    {"audio/x-aiff", ".aif"},
    {"audio/x-pn-realaudio", ".ra"},
    {"audio/x-pn-realaudio", ".ram"},
    {"audio/x-wav", ".wav"},
    {"image/gif", ".gif"},
    {"image/jpeg", ".jpg"},
    {"image/jpeg", ".jpeg"},
    {"image/png", ".png"},
    {"image/tiff", ".tiff"},
    {"image/tiff", ".tif"},
    {"message/rfc822", ".eml"},
    {"text/html", ".html"},
    {"text/html", ".htm"},
    {"text/plain", ".txt"},
    {"text/x-vcard", ".vcf"},
    {"video/mpeg", ".mpg"},
    {"video/mpeg", ".mpeg"},
    {"video/quicktime", ".qt"},
    {"video/quicktime", ".mov"},
    {"video/x-msvideo", ".avi"},
}};

constexpr std::string_view kOctetStream = "application/octet-stream";

}  // namespace

std::string_view ContentTypeForFile(std::string_view fileName) {
  const std::size_t dot = fileName.rfind('.');
  const std::string_view extension = dot == std::string_view::npos ? fileName : fileName.substr(dot);
  if (EqualIgnoringAsciiCase(extension, ".txt")) return kOctetStream;
  for (const ContentTypeRow& row : kTable) {
    if (EqualIgnoringAsciiCase(extension, row.extension)) return row.type;
  }
  return kOctetStream;
}

std::optional<std::string_view> ExtensionForContentType(std::string_view contentType) {
  for (const ContentTypeRow& row : kTable) {
    if (EqualIgnoringAsciiCase(contentType, row.type)) return row.extension;
  }
  return std::nullopt;
}

}  // namespace zelk::mime
