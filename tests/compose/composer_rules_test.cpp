// The composer's rules without its window: what it shows, the Property dialog and its pages, and
// the message it starts from.
#include <gtest/gtest.h>

#include "compose/composer_text.h"
#include "compose/new_message.h"
#include "compose/property_pages.h"
#include "platform/utf8.h"

namespace zelk::compose {
namespace {

using store::MailItem;
using store::OptionalText;

TEST(ComposerText, TitleSummaryAndEditorText) {
  MailItem item;
  EXPECT_EQ(ComposerTitle(item), "Mail Edit");
  item.Subject = "";
  EXPECT_EQ(ComposerTitle(item), "Mail Edit");
  item.Subject = "Lunch";
  EXPECT_EQ(ComposerTitle(item), "Mail Edit - [Lunch]");
  item.Subject = std::string(300, 'x');
  EXPECT_EQ(platform::Utf16Length(ComposerTitle(item)), 256u);

  item.MailBoxName = "Work";
  item.To = "Ann <ann@x.org>";
  item.Cc = "\"Doe, J\" <j@x.org>,\r\n b@x.org";
  item.Bcc = "k@x.org";
  item.Subject = "Lunch";
  item.Attach = "/home/u/menu.txt\u00A0C:\\docs\\map.png";
  EXPECT_EQ(HeaderSummary(item),
            "Account: Work\nTo: Ann <ann@x.org> (Cc: j@x.org, b@x.org) (Bcc: k@x.org)\n"
            "Subject: Lunch (menu.txt\u00A0 map.png)");
  EXPECT_EQ(HeaderSummary(MailItem{}), "Account: \nTo: \nSubject: ");

  // Stored bodies carry an extra dot on lines that begin with one; the editor shows them as typed.
  item.Body = "..\r\nx\r\n..y\r\n";
  EXPECT_EQ(EditorText(item), ".\nx\n.y\n");
  // A body past the typing limit is shown whole: opening and saving it must not lose its end.
  item.Body = std::string(40000, 'a');
  EXPECT_EQ(EditorText(item).size(), 40000u);
}

TEST(PropertyPages, CopyRowsComeFromAndGoBackToTheTwoFields) {
  std::vector<CopyRow> rows = CopyRowsOf("a@x.org,\r\n \"Doe, J\" <j@x.org>", "b\t<b@x.org>  ");
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].address, "\"Doe, J\" <j@x.org>");
  EXPECT_EQ(rows[2].address, "b<b@x.org>");  // tabs dropped inside, trailing blanks gone
  EXPECT_TRUE(rows[2].bcc);

  EXPECT_TRUE(AddCopyRows(rows, "c@x.org, d@x.org", true));  // several elements, one row each
  EXPECT_FALSE(AddCopyRows(rows, "  ,  ", false));            // kNoAddressSet
  EXPECT_EQ(rows.size(), 5u);
  EXPECT_EQ(JoinCopyRows(rows, false), "a@x.org,\r\n \"Doe, J\" <j@x.org>");
  EXPECT_EQ(JoinCopyRows(rows, true), "b<b@x.org>,\r\n c@x.org,\r\n d@x.org");
  std::erase_if(rows, [](const CopyRow& row) { return row.bcc; });
  EXPECT_EQ(JoinCopyRows(rows, true), std::nullopt);  // no row of a type: no field at all
  EXPECT_TRUE(CopyRowsOf(std::nullopt, std::nullopt).empty());
}

TEST(PropertyPages, AttachListsCaptionsAndOneLineFields) {
  std::vector<std::string> paths = AttachPaths("/a/one.txt\u00A0/a/two.png");
  AddAttachPath(paths, "/a/ONE.txt");  // the same file again: once, at the end
  AddAttachPath(paths, "/a/three");
  EXPECT_EQ(paths, (std::vector<std::string>{"/a/two.png", "/a/ONE.txt", "/a/three"}));
  EXPECT_EQ(JoinAttachPaths(paths), "/a/two.png\u00A0/a/ONE.txt\u00A0/a/three");
  EXPECT_EQ(JoinAttachPaths({}), std::nullopt);
  EXPECT_TRUE(AttachPaths(std::nullopt).empty());

  EXPECT_EQ(PageCaption("Attach", true), "Attach *");
  EXPECT_EQ(PageCaption("Cc, Bcc", false), "Cc, Bcc");
  EXPECT_EQ(OneLineText("a\tb\r\nc\n"), "a bc");
}

class Property : public ::testing::Test {
 protected:
  void SetUp() override {
    store::Init(table_);
    store::NoSelector none;
    for (const char* name : {"Work", "", "Home"}) {
      table_.boxes[std::size_t(store::AddMailBox(table_, none))]->Name = name;
    }
    table_.boxes[2]->UserName = "Ann Lee";
    table_.boxes[2]->MailAddress = "ann@work.org";
    table_.boxes[4]->MailAddress = "ann@home.org";
    table_.boxes[4]->Signature = "-- Ann";
  }
  store::MailBoxTable table_;
};

TEST_F(Property, ChoosesTheAccountAndRebuildsTheSender) {
  EXPECT_EQ(AccountChoices(table_), (std::vector<std::string>{"Work", "Untitled", "Home"}));
  MailItem item;
  table_.selected = 4;  // the list shows Home: a message naming no account goes from there
  EXPECT_EQ(PropertyValuesOf(item, table_, false, true).account, 2);
  table_.selected = store::kOutboxIndex;  // a folder shown: the first account
  EXPECT_EQ(PropertyValuesOf(item, table_, false, true).account, 0);
  item.MailBoxName = "Home";
  PropertyValues values = PropertyValuesOf(item, table_, true, true);
  EXPECT_EQ(values.account, 2);
  EXPECT_TRUE(values.quote);
  EXPECT_FALSE(PropertyValuesOf(item, table_, true, false).quote);  // AutoQuotation 0

  values.account = 0;
  values.to = "bob@x.org,\r\n\tcy@x.org";
  values.subject = "Hi\tthere\n";
  values.attach = "/a/b.txt";
  values.replyTo = "list@x.org\r\n";
  values.quote = false;
  item.Mark = 1;
  item.From = "someone else";
  ConfirmPropertyValues(item, values, table_);
  EXPECT_EQ(item.MailBoxName, "Work");
  EXPECT_EQ(item.From, "Ann Lee <ann@work.org>");
  EXPECT_EQ(item.To, "bob@x.org, cy@x.org");
  EXPECT_EQ(item.Subject, "Hi there");
  EXPECT_EQ(item.ReplyTo, "list@x.org");
  EXPECT_EQ(item.Multipart, 1);
  EXPECT_EQ(item.Mark, 0);  // "Quote text" cleared

  values.account = 2;
  ConfirmPropertyValues(item, values, table_);
  EXPECT_EQ(item.From, "<ann@home.org>");  // no name: the address alone
  values.account = 1;
  ConfirmPropertyValues(item, values, table_);
  EXPECT_EQ(item.From, "");  // no address: no sender
  EXPECT_EQ(item.MailBoxName, "");
}

TEST_F(Property, NewMessagesAndRepliesGetTheirStartingBody) {
  config::Settings settings;
  MailItem answered;
  answered.From = "Bob <bob@x.org>";
  answered.Subject = "Plans";
  answered.Date = "09/12/2026 10:00";
  answered.Body = "Shall we?\r\n";
  table_.selected = 4;
  store::ItemRef reply = NewReply(answered, 4, false, table_, settings);
  EXPECT_EQ(reply->Download, 1);
  EXPECT_EQ(reply->Mark, 1);  // there is a body to quote
  EXPECT_EQ(reply->Subject, "Re: Plans");
  FinishStartingBody(*reply, &answered, table_, settings);
  EXPECT_EQ(reply->Body, "\r\nBob <bob@x.org> wrote:\r\n(09/12/2026 10:00)\r\n\r\n> Shall we?\r\n\r\n-- Ann");
  EXPECT_EQ(reply->Mark, 0);

  reply = NewReply(answered, 4, false, table_, settings);
  reply->Mark = 0;  // "Quote text" cleared in the dialog
  FinishStartingBody(*reply, &answered, table_, settings);
  EXPECT_EQ(reply->Body, "\r\n-- Ann");

  answered.Body.reset();
  EXPECT_EQ(NewReply(answered, 4, false, table_, settings)->Mark, 0);

  MailItem linked;
  linked.To = "a@x.org";
  linked.MailBoxName = "Home";
  store::ItemRef message = NewMessage(&linked);
  EXPECT_EQ(message->Download, 1);
  FinishStartingBody(*message, nullptr, table_, settings);
  EXPECT_EQ(message->Body, "\r\n-- Ann");
  message->Body = "kept";
  FinishStartingBody(*message, nullptr, table_, settings);  // a body from the link stays
  EXPECT_EQ(message->Body, "kept");
}

}  // namespace
}  // namespace zelk::compose
