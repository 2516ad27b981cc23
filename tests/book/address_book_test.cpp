#include "book/address_book.h"

#include <gtest/gtest.h>

#include "platform/files.h"
#include "store/mailbox_file.h"
#include "support/temp_dir.h"

namespace zelk::book {
namespace {

std::vector<Row> MakeRows(std::initializer_list<const char*> addresses) {
  std::vector<Row> rows;
  for (const char* address : addresses) rows.push_back({address, ""});
  return rows;
}

std::string Order(const std::vector<Row>& rows, const std::vector<bool>& selected) {
  std::string out;
  for (std::size_t i = 0; i < rows.size(); ++i) out += rows[i].address + (selected[i] ? "*" : "");
  return out;
}

TEST(AddressBook, MovesOfSeveralSelectedRows) {
  const struct {
    std::vector<bool> selected;
    bool up;
    const char* expected;
    bool moved;
  } cases[] = {
      {{false, true, false, true, false}, true, "b*ad*ce", true},
      {{false, true, false, true, false}, false, "acb*ed*", true},
      {{true, false, false, true, false}, true, "a*bcd*e", false},   // the top row is selected
      {{false, true, false, false, true}, false, "ab*cde*", false},  // the bottom row is selected
      {{false, true, true, false, false}, false, "adb*c*e", true},
      {{false, false, false, false, false}, true, "abcde", false},
  };
  for (const auto& c : cases) {
    std::vector<Row> rows = MakeRows({"a", "b", "c", "d", "e"});
    std::vector<bool> selected = c.selected;
    EXPECT_EQ(c.up ? MoveSelectedUp(rows, selected) : MoveSelectedDown(rows, selected), c.moved) << c.expected;
    EXPECT_EQ(Order(rows, selected), c.expected);
  }
}

TEST(AddressBook, JoinsInListOrderAndCleansEntries) {
  const std::vector<Row> rows = MakeRows({"a", "x", "b", "c"});
  EXPECT_EQ(JoinSelectedAddresses(rows, {true, false, true, true}), "a, b, c");
  EXPECT_FALSE(JoinSelectedAddresses(rows, {false, false, false, false}));

  const std::pair<std::string, std::string> cleaned[] = {
      {"a\tb@c", "a b@c"},
      {"x@y\r\n", "x@y"},
      {std::string(300, 'z'), std::string(kEntryUnits, 'z')},
  };
  for (const auto& [typed, kept] : cleaned) EXPECT_EQ(CleanEntryText(typed), kept);
  EXPECT_FALSE(EnteredRow("\r\n", "comment"));
  EXPECT_EQ(EnteredRow("a@b", "A\tB")->comment, "A B");
}

TEST(AddressBook, OkRebuildsTheBookAndWritesItOnlyWithAutoSave) {
  test::TempDir dir;
  config::Settings settings;
  store::MailBoxTable table;
  store::Init(table);
  ASSERT_TRUE(ConfirmRows(table, {{"a@x", "Ann"}, {"b@x", ""}}, settings, dir.path()));
  EXPECT_EQ(platform::ReadWholeFile(dir.file(kBookFile)), "a@x\tAnn\r\nb@x\r\n");

  // Cancel is never having called ConfirmRows: deleting in the rows changes nothing yet.
  std::vector<Row> rows = RowsOfBook(table.addressBook);
  rows.erase(rows.begin());
  EXPECT_EQ(table.addressBook.Items.size(), 2u);

  settings.AutoSave = 0;
  ASSERT_TRUE(ConfirmRows(table, rows, settings, dir.path()));
  EXPECT_EQ(table.addressBook.Items.size(), 1u);
  EXPECT_EQ(platform::ReadWholeFile(dir.file(kBookFile)), "a@x\tAnn\r\nb@x\r\n");
}

TEST(AddressInformation, SplitsTheFieldsIntoSingleAddresses) {
  store::MailItem item;
  item.From = "\"Smith, John\" <js@x>";
  item.ReplyTo = "r@x";
  item.To = "a@x,\r\n b\\,c@x, \"Q\" <q@x>";
  item.Cc = "";
  std::vector<std::string> rows;
  for (const MessageAddress& address : MessageAddresses(item)) rows.push_back(std::string(address.header) + address.address);
  EXPECT_EQ(rows, (std::vector<std::string>{"From:\"Smith, John\" <js@x>", "Reply-To:r@x", "To:a@x", "To:b\\,c@x",
                                             "To:\"Q\" <q@x>"}));
  EXPECT_EQ(AddAddressesQuestion(2), "Add 2 mail addresses to the address book?");

  store::MailBox book;
  const Text added[] = {"one@x", "two\t<t@x>"};
  ASSERT_TRUE(AddToBook(book, added));
  ASSERT_EQ(book.Items.size(), 2u);
  EXPECT_EQ(*book.Items[1]->To, "two <t@x>");
  EXPECT_EQ(*WithReplyTo(item, "a@x, q@x").ReplyTo, "a@x, q@x");
}

}  // namespace
}  // namespace zelk::book
