// Multipart bodies: ParseMultipart, GetDisplayText, DecodePartData and KeepFirstTextPart on any
// content type and body, under a UTF-8, a Western and a Japanese local code page (chosen by the
// first byte). The content type runs up to the first LF, the body is the rest. Nothing may crash;
// every part must lie inside the body with its start not after its end, parts come in body order,
// and a shown part must be a text part.
#include <cstdint>
#include <string>
#include <vector>

#include "mime/display_text.h"
#include "mime/multipart.h"
#include "text_target.h"

namespace {

using namespace zelk::mime;
using zelk::fuzz::Fail;

void CheckParts(const std::vector<MimePart>& parts, std::size_t bodySize) {
  std::size_t previous = 0;
  for (const MimePart& part : parts) {
    if (part.bodyStart > bodySize) Fail("a body start past the end of the body");
    if (part.bodyEnd && (*part.bodyEnd > bodySize || *part.bodyEnd < part.bodyStart)) Fail("a body end out of place");
    if (part.bodyStart < previous) Fail("parts out of body order");
    previous = part.bodyEnd.value_or(part.bodyStart);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  zelk::fuzz::UseCodePage(data[0]);
  const std::string input(reinterpret_cast<const char*>(data + 1), size - 1);
  const std::size_t lf = input.find('\n');
  zelk::store::MailItem item;
  item.ContentType = input.substr(0, lf);
  item.Body = lf == std::string::npos ? std::string() : input.substr(lf + 1);
  item.Multipart = 1;

  std::vector<MimePart> parts;
  const std::size_t count = ParseMultipart(*item.ContentType, *item.Body, parts, "Windows-1252");
  if (count != parts.size()) Fail("the count differs from the parts");
  CheckParts(parts, item.Body->size());
  for (const MimePart& part : parts) {
    if (PartText(part, *item.Body).size() > item.Body->size()) Fail("a part text longer than the body");
    (void)DecodePartData(part, *item.Body);
  }

  for (const bool source : {false, true}) {
    std::vector<MimePart> shownParts;
    const DisplayText shown = GetDisplayText(item, source, shownParts, "Windows-1252");
    if (shownParts.empty()) Fail("GetDisplayText left no part");
    CheckParts(shownParts, item.Body->size());
    if (shown.selected && (*shown.selected >= shownParts.size() || (!source && !IsTextPart(shownParts[*shown.selected])))) {
      Fail("the shown part is out of range or no text");
    }
    if (!source && parts.empty() == false && shownParts.size() != parts.size()) Fail("parsing gave two answers");
  }

  zelk::store::MailItem cut = item;
  const bool kept = KeepFirstTextPart(cut);
  if (kept != FirstTextPart(parts).has_value()) Fail("KeepFirstTextPart disagrees with the parts");
  if (kept && (cut.Attach != "_" || cut.Body->size() > item.Body->size())) Fail("a cut item is not smaller");
  return 0;
}
