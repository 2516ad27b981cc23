#include "viewer/header_pane.h"

#include "compose/address_list.h"
#include "platform/text_compare.h"

namespace zelk::viewer {

namespace {

void AppendGroup(platform::Text& out, std::string_view name, const std::vector<platform::Text>& addresses) {
  out.append(" (").append(name).append(": ");
  for (std::size_t i = 0; i < addresses.size(); ++i) {
    if (i > 0) out += ", ";
    out += addresses[i];
  }
  out += ")";
}

// A To that names only the reader's own account says nothing worth the room.
bool ShowsToGroup(const std::vector<platform::Text>& to, const store::OptionalText& accountAddress) {
  if (to.empty()) return false;
  if (to.size() > 1 || !accountAddress || accountAddress->empty()) return true;
  return !platform::EqualIgnoringCase(to.front(), *accountAddress);
}

}  // namespace

platform::Text HeaderPaneText(const store::MailItem& item, const store::OptionalText& accountAddress, bool showDate) {
  platform::Text out = "From: " + item.From.value_or("") + "\r\nSubject: " + item.Subject.value_or("");
  const std::vector<platform::Text> to = compose::BareAddresses(item.To.value_or(""));
  if (ShowsToGroup(to, accountAddress)) AppendGroup(out, "To", to);
  if (item.Cc) AppendGroup(out, "Cc", compose::BareAddresses(*item.Cc));
  if (item.Bcc) AppendGroup(out, "Bcc", compose::BareAddresses(*item.Bcc));
  if (showDate) out += "\r\nDate: " + item.Date.value_or("");
  return out;
}

}  // namespace zelk::viewer
