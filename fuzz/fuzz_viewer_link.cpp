// Words double-clicked in a message and the names of its attachments: the word picked lies in its
// line, any text gives either no link or a web or mail link without a blank or control character, and a name that is never a
// path (no separator, no control character, never "." or "..").
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/ascii.h"
#include "viewer/links.h"
#include "viewer/saving.h"

namespace {

void Fail(const char* why) {
  std::fputs(why, stderr);
  std::abort();
}

bool HasControlOrBlank(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const zelk::viewer::Link link = zelk::viewer::LinkInSelection(text);
  if (link.kind == zelk::viewer::LinkKind::kNone && !link.text.empty()) Fail("text for no link\n");
  if (HasControlOrBlank(link.text)) Fail("a blank or control character in a link\n");
  if (link.kind == zelk::viewer::LinkKind::kWeb &&
      !(zelk::platform::StartsWithIgnoringAsciiCase(link.text, "http://") ||
        zelk::platform::StartsWithIgnoringAsciiCase(link.text, "https://") ||
        zelk::platform::StartsWithIgnoringAsciiCase(link.text, "ftp://"))) {
    Fail("a web link of another scheme\n");
  }

  // Any position of any line gives a word inside the line that holds the position.
  const std::u16string line(text.begin(), text.end());
  const zelk::viewer::WordSpan word = zelk::viewer::WordAround(line, size / 2);
  if (word.start > size / 2 || word.end < size / 2 || word.end > line.size()) Fail("a word outside its line\n");

  zelk::mime::MimePart part;
  part.fileName = std::string(text);
  const std::string name = zelk::viewer::AttachmentSaveName(part).name;
  if (name.empty() || name == "." || name == ".." || name.find('/') != std::string::npos ||
      name.find('\\') != std::string::npos) {
    Fail("an attachment name that makes a path\n");
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) Fail("a control character in a name\n");
  }
  return 0;
}
