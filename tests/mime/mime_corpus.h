#pragma once
// The messages under tests/data/mime/: whole messages as RETR gives them (CR LF lines, dot-doubled,
// without the final "." line), stored with CR LF in the files.
#include <gtest/gtest.h>

#include "mime/display_text.h"
#include "platform/files.h"
#include "store/message_parse.h"

namespace zelk::test {

// The item that header parsing makes of a message file, under the current local code page.
inline store::MailItem ItemFromFile(const std::string& name, std::string_view fallbackCharset = "Windows-1252") {
  const std::optional<std::string> raw = platform::ReadWholeFile(std::string(ZELK_TEST_DATA) + "/mime/" + name);
  EXPECT_TRUE(raw) << name;
  store::ParseContext context;
  context.fallbackCharset = fallbackCharset;
  store::MailItem item;
  store::ParseMessage(item, raw.value_or(""), std::nullopt, context);
  return item;
}

}  // namespace zelk::test
