// "mailto:" texts: any text parses without harm; a link from a received message never names an
// attachment, and no field but the body holds a line break or a zero byte. The composer's rules
// then take the message as its windows would: the summary, the body to edit, the Property
// dialog's rows and attachment list.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "compose/composer_text.h"
#include "compose/mailto.h"
#include "compose/property_pages.h"

namespace {

using zelk::store::MailItem;
using zelk::store::OptionalText;

bool SingleLine(const OptionalText& field) {
  return !field || field->find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

void Check(const MailItem& item) {
  for (const OptionalText* field : {&item.To, &item.Cc, &item.Bcc, &item.ReplyTo, &item.Subject, &item.MailBoxName,
                                    &item.Attach}) {
    if (!SingleLine(*field)) {
      std::fputs("a line break in a header field\n", stderr);
      std::abort();
    }
  }
  (void)zelk::compose::ComposerTitle(item);
  (void)zelk::compose::HeaderSummary(item);
  (void)zelk::compose::EditorText(item);
  for (const zelk::compose::CopyRow& row : zelk::compose::CopyRowsOf(item.Cc, item.Bcc)) {
    if (!SingleLine(row.address)) {
      std::fputs("a line break in a Cc or Bcc row\n", stderr);
      std::abort();
    }
  }
  if (!SingleLine(zelk::compose::JoinAttachPaths(zelk::compose::AttachPaths(item.Attach)))) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  MailItem received;
  zelk::compose::ParseMailtoText(text, received, zelk::compose::MailtoSource::kReceivedMessage);
  Check(received);
  if (received.Attach) {
    std::fputs("a received link named an attachment\n", stderr);
    std::abort();
  }
  MailItem typed;
  zelk::compose::ParseMailtoText(text, typed, zelk::compose::MailtoSource::kCommandLine);
  Check(typed);
  return 0;
}
