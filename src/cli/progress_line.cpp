#include "cli/progress_line.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include "platform/char_width.h"
#include "platform/utf8.h"

namespace zelk::cli {

namespace {

constexpr int kDefaultColumns = 80;

int TerminalColumns(std::FILE* out) {
  winsize size{};
  if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return kDefaultColumns;
}

}  // namespace

std::string ProgressText(std::string_view text, int columns) {
  std::string line;
  int used = 0;
  for (std::size_t at = 0; at < text.size();) {
    const platform::Utf8Char c = platform::DecodeUtf8At(text, at);
    at += c.length;
    if (c.code < 0x20 || c.code == 0x7f || !c.valid) continue;
    const int width = platform::CharWidth(c.code);
    if (used + width > columns - 1) break;
    used += width;
    platform::AppendUtf8(line, c.code);
  }
  return line;
}

void ProgressLine::Show(const platform::Text& text) {
  if (!terminal_) return;
  // "\r" back to the start, then the text, then the rest of an older, longer line erased.
  std::fprintf(out_, "\r%s\x1b[K", ProgressText(text, TerminalColumns(out_)).c_str());
  std::fflush(out_);
  showing_ = true;
}

void ProgressLine::Clear() {
  if (!showing_) return;
  std::fputs("\r\x1b[K", out_);
  std::fflush(out_);
  showing_ = false;
}

}  // namespace zelk::cli
