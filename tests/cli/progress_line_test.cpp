#include "cli/progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace zelk::cli {
namespace {

TEST(ProgressLine, TextsFitOneLineWithoutControlCharacters) {
  struct Case {
    const char* text;
    int columns;
    const char* line;
  };
  const Case cases[] = {
      {"[Work] LIST 12\r\n", 80, "[Work] LIST 12"},
      {"[Work] 48213 byte Recv", 12, "[Work] 4821"},
      {"tab\there\x1b[2Jbell\a", 80, "tabhere[2Jbell"},
      {"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E", 6, "\xE6\x97\xA5\xE6\x9C\xAC"},  // wide characters take two columns
      {"\xE6\x97\xA5\xE6\x9C\xAC", 4, "\xE6\x97\xA5"},
      {"broken \xFF byte", 80, "broken  byte"},
      {"anything", 1, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ProgressText(c.text, c.columns), c.line) << c.text;
}

TEST(ProgressLine, RewritesOneLineOnATerminalAndWritesNothingElsewhere) {
  for (const bool terminal : {true, false}) {
    char* buffer = nullptr;
    std::size_t size = 0;
    std::FILE* out = ::open_memstream(&buffer, &size);
    {
      ProgressLine line(out, terminal);
      line.Show("one\r\n");
      line.Show("two");
    }
    std::fclose(out);
    EXPECT_EQ(std::string(buffer, size), terminal ? "\rone\x1b[K\rtwo\x1b[K\r\x1b[K" : "");
    std::free(buffer);
  }
}

}  // namespace
}  // namespace zelk::cli
