#pragma once
#include <cstdio>
#include <string>
#include <string_view>

#include "platform/code_page.h"

namespace zelk::cli {

// The conversations' status texts ("LIST 12", "48213 byte Recv") as one line on a terminal that
// each new text rewrites, so a long check shows what it is doing. Nothing when the stream is no
// terminal: a log or a pipe gets only the outcome.
class ProgressLine {
 public:
  ProgressLine(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
  ~ProgressLine() { Clear(); }
  ProgressLine(const ProgressLine&) = delete;
  ProgressLine& operator=(const ProgressLine&) = delete;

  void Show(const platform::Text& text);
  // Takes the line away: before other output, and at the end.
  void Clear();

 private:
  std::FILE* out_;
  bool terminal_;
  bool showing_ = false;
};

// `text` as it fits one line of `columns` columns: line breaks and other control characters are
// gone (a command's CR LF, a server's stray bytes), and it is cut to leave the last column free.
std::string ProgressText(std::string_view text, int columns);

}  // namespace zelk::cli
