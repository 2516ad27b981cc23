// A message as a server sends it: any text parses into an item without harm, the item shows and
// lists its parts, and a filtered store of it leaves the account and the Savebox consistent.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "mime/display_text.h"
#include "store/message_parse.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string raw(reinterpret_cast<const char*>(data), size);
  zelk::store::MailItem item;
  zelk::store::ParseMessage(item, raw, std::string("12"), zelk::store::ParseContext{});
  std::vector<zelk::mime::MimePart> parts;
  for (const bool source : {false, true}) {
    const zelk::mime::DisplayText shown = zelk::mime::GetDisplayText(item, source, parts, "Windows-1252");
    if (shown.selected && *shown.selected >= parts.size()) std::abort();
  }
  for (const zelk::mime::MimePart& part : parts) (void)zelk::mime::DecodePartData(part, item.Body.value_or(""));

  zelk::store::MailBox account;
  zelk::store::MailBox savebox;
  account.FilterEnable = 1;
  account.Filters = {{1, 5, "Subject:", "*a*", "", ""}, {1, 4, "From:", "*", "", ""}};
  const zelk::store::StoredHeader stored = zelk::store::StoreHeader(account, savebox, raw, std::nullopt, {});
  if ((stored.outcome == zelk::store::StoreOutcome::kListed) != (account.Items.size() == 1)) std::abort();
  return 0;
}
