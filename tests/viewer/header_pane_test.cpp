#include "viewer/header_pane.h"

#include <gtest/gtest.h>

#include "compose/address_list.h"

namespace zelk::viewer {
namespace {

TEST(AddressList, ReadsBareAddressesPastNamesCommentsAndQuotes) {
  const std::pair<const char*, std::vector<platform::Text>> cases[] = {
      {"a@b", {"a@b"}},
      {"\"Smith, John\" <js@x>, b@c", {"js@x", "b@c"}},
      {"Ann (the boss) <ann@x> (work), (only a comment) c@d", {"ann@x", "c@d"}},
      {"\"john smith\"@example.org", {"\"john smith\"@example.org"}},  // a quoted local part stays
      {"<\"odd\\\"local\"@x>", {"\"odd\\\"local\"@x"}},
      {"x@y>, ,\r\n z@w", {"x@y>", "z@w"}},
      {"(unclosed comment", {}},
  };
  for (const auto& [list, addresses] : cases) EXPECT_EQ(compose::BareAddresses(list), addresses) << list;
  EXPECT_EQ(compose::ReadAddress("a <b@c> junk, d", 0).end, 12u);  // the element runs to its comma
}

TEST(HeaderPane, ShowsAddressGroupsAndTheDate) {
  store::MailItem item;
  item.From = "Ann <ann@x>";
  item.Subject = "Hi";
  item.To = "Me <me@x>";
  item.Date = "03/01/2006 10:00";
  EXPECT_EQ(HeaderPaneText(item, store::OptionalText("ME@x"), false), "From: Ann <ann@x>\r\nSubject: Hi");
  EXPECT_EQ(HeaderPaneText(item, std::nullopt, true), "From: Ann <ann@x>\r\nSubject: Hi (To: me@x)\r\nDate: 03/01/2006 10:00");
  item.To = "me@x, other@y";
  item.Cc = "";
  item.Bcc = "\"B\" <b@z>";
  EXPECT_EQ(HeaderPaneText(item, store::OptionalText("me@x"), false),
            "From: Ann <ann@x>\r\nSubject: Hi (To: me@x, other@y) (Cc: ) (Bcc: b@z)");
}

}  // namespace
}  // namespace zelk::viewer
