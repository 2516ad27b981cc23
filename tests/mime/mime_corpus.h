#pragma once
// The messages under tests/data/mime/: whole messages as RETR gives them (CR LF lines, dot-doubled,
// without the final "." line), stored with CR LF in the files.
#include <gtest/gtest.h>

#include "mime/display_text.h"
#include "platform/files.h"
#include "store/header_fields.h"

namespace zelk::test {

// The item that header parsing makes of a message file, under the current local code page.
inline store::MailItem ItemFromFile(const std::string& name) {
  const std::optional<std::string> raw = platform::ReadWholeFile(std::string(ZELK_TEST_DATA) + "/mime/" + name);
  EXPECT_TRUE(raw) << name;
  const std::string_view message = raw ? std::string_view(*raw) : std::string_view();
  store::MailItem item;
  item.ContentType = store::DecodedHeader(message, "Content-Type:", false, "Windows-1252");
  item.Multipart = item.ContentType && item.ContentType->starts_with("multipart") ? 1 : 0;
  if (auto encoding = store::HeaderValue(message, "Content-Transfer-Encoding:"); encoding && !item.Multipart) {
    item.Encoding = platform::LocalToText(*encoding);
  }
  const std::size_t blank = message.find("\r\n\r\n");
  item.Body = platform::LocalToText(mime::DecodeStoredBody(item, message.substr(blank == std::string_view::npos ? message.size() : blank + 4)));
  return item;
}

}  // namespace zelk::test
