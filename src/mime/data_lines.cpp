#include "mime/data_lines.h"

#include <cstring>

#include "codec/base64.h"

namespace zelk::mime {
namespace {

constexpr std::size_t kNone = std::string_view::npos;
constexpr std::size_t kBase64LineLength = 76;

// Copies runs of ordinary bytes whole; stops at CR, LF and (when asked) NUL.
void AppendLines(std::string& out, std::string_view in, bool doubleDots, bool dropNul) {
  const std::string_view stops = dropNul ? std::string_view("\r\n\0", 3) : std::string_view("\r\n");
  bool lineStart = out.empty() || out.back() == '\n';
  std::size_t pos = 0;
  while (pos < in.size()) {
    const std::size_t stop = in.find_first_of(stops, pos);
    const std::string_view run = in.substr(pos, stop == kNone ? kNone : stop - pos);
    if (!run.empty()) {
      if (lineStart && doubleDots && run.front() == '.') out += '.';
      out.append(run);
      lineStart = false;
    }
    if (stop == kNone) break;
    pos = stop + 1;
    if (in[stop] == '\0') continue;
    if (in[stop] == '\r' && pos < in.size() && in[pos] == '\n') ++pos;
    out += "\r\n";
    lineStart = true;
  }
}

}  // namespace

std::string CanonicalText(std::string_view text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  AppendLines(out, text, false, true);
  return out;
}

void AppendDataLines(std::string& out, std::string_view bytes) { AppendLines(out, bytes, true, false); }

void AppendBase64Lines(std::string& out, std::string_view bytes) {
  const std::string text = codec::Base64Encode(bytes);
  if (text.empty()) return;
  // Sized once and filled through a pointer: attachments come to over a hundred thousand lines.
  const std::size_t breaks = (text.size() - 1) / kBase64LineLength;
  const std::size_t at = out.size();
  out.resize(at + text.size() + 2 * breaks);
  char* o = out.data() + at;
  const char* t = text.data();
  for (std::size_t line = 0; line < breaks; ++line, t += kBase64LineLength) {
    std::memcpy(o, t, kBase64LineLength);
    o += kBase64LineLength;
    *o++ = '\r';
    *o++ = '\n';
  }
  std::memcpy(o, t, static_cast<std::size_t>(text.data() + text.size() - t));
}

}  // namespace zelk::mime
