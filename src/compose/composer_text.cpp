#include "compose/composer_text.h"

#include "compose/address_list.h"
#include "compose/property_pages.h"
#include "mime/display_text.h"
#include "mime/multipart_builder.h"
#include "platform/line_breaks.h"
#include "platform/utf8.h"

namespace zelk::compose {

namespace {

constexpr std::size_t kTitleLimit = 256;

// " (Cc: a, b)" for a header that holds addresses.
platform::Text CopiesPart(const char* name, const store::OptionalText& list) {
  if (!list) return {};
  platform::Text joined;
  for (const platform::Text& address : BareAddresses(*list)) {
    if (!joined.empty()) joined += ", ";
    joined += address;
  }
  return std::string(" (") + name + ": " + joined + ")";
}

}  // namespace

platform::Text ComposerTitle(const store::MailItem& item) {
  if (item.Subject.value_or("").empty()) return "Mail Edit";
  return platform::Text(platform::CutToUtf16Units("Mail Edit - [" + *item.Subject + "]", kTitleLimit));
}

std::vector<platform::Text> AttachedFileNames(const store::OptionalText& attach) {
  std::vector<platform::Text> names;
  for (const platform::Text& path : AttachPaths(attach)) names.emplace_back(mime::FileNameOf(path));
  return names;
}

platform::Text HeaderSummary(const store::MailItem& item) {
  platform::Text summary = "Account: " + item.MailBoxName.value_or("");
  summary += "\nTo: " + item.To.value_or("") + CopiesPart("Cc", item.Cc) + CopiesPart("Bcc", item.Bcc);
  summary += "\nSubject: " + item.Subject.value_or("");
  const std::vector<platform::Text> names = AttachedFileNames(item.Attach);
  if (!names.empty()) {
    summary += " (";
    for (std::size_t i = 0; i < names.size(); ++i) summary += (i == 0 ? "" : "\u00A0 ") + names[i];
    summary += ")";
  }
  return summary;
}

platform::Text EditorText(const store::MailItem& item) {
  return platform::WithLfLineBreaks(mime::UnescapeDots(item.Body.value_or("")));
}

}  // namespace zelk::compose
