#include "store/mailbox_file.h"

#include <gtest/gtest.h>

#include <random>

#include "platform/files.h"
#include "support/code_page_scope.h"
#include "support/file_size_limit.h"
#include "support/temp_dir.h"

namespace zelk::store {
namespace {

using test::TempDir;

constexpr OptionalText MailItem::*kTexts[] = {
    &MailItem::From,    &MailItem::To,        &MailItem::Cc,          &MailItem::Bcc,       &MailItem::Date,
    &MailItem::Subject, &MailItem::Size,      &MailItem::ReplyTo,     &MailItem::ContentType,
    &MailItem::Encoding, &MailItem::MessageId, &MailItem::InReplyTo,  &MailItem::References, &MailItem::UIDL,
    &MailItem::MailBoxName, &MailItem::Attach, &MailItem::Disposition, &MailItem::ServerUidl};

// Items as the program holds them: texts absent, empty, folded or non-ASCII; bodies in
// transparency form with and without a final line break. `foreign` is text only the code page
// under test can hold (received bytes that did not decode are held as escapes, and come back).
ItemRef RandomItem(std::mt19937& random, const std::string& foreign) {
  const std::string texts[] = {"", "plain", "mixed " + foreign, "folded\r\n value", "a: b\r\n\tc",
                               "multipart/mixed; boundary=x"};
  const std::string bodies[] = {"one line", "line\r\n", "..dot\r\nnext\r\n..\r\n", "\r\n\r\nafter blanks",
                                "x\r\n\r\n", foreign + "\r\n" + foreign + " raw"};
  auto item = std::make_shared<MailItem>();
  for (OptionalText MailItem::*field : kTexts) {
    if (random() % 3) item.get()->*field = texts[random() % std::size(texts)];
  }
  item->No = static_cast<int>(random() % 50) - 5;
  item->Status = std::vector<int>{0, 1, 2, 5, 7}[random() % 5];
  item->Mark = random() % 2 ? item->Status : static_cast<int>(random() % 8);
  item->Download = static_cast<int>(random() % 2);
  if (random() % 4) item->Body = bodies[random() % std::size(bodies)];
  return item;
}

// What a saved item looks like when read back.
MailItem Expected(const MailItem& saved, bool withBody) {
  MailItem expected = saved;
  if (!withBody || !saved.Body || saved.Body->empty()) {
    expected.Body.reset();
    if (expected.Status < kStatusSent) {
      expected.Status = 0;
      expected.Download = 0;
      if (expected.Mark != kMarkDownload && expected.Mark != kMarkDelete && expected.Mark != kMarkSend) expected.Mark = 0;
    }
  }
  expected.Multipart = expected.Attach.has_value() ||
                       (expected.ContentType && expected.ContentType->starts_with("multipart"));
  return expected;
}

void ExpectSameStoredFields(const MailItem& got, const MailItem& want, int index) {
  for (OptionalText MailItem::*field : kTexts) EXPECT_EQ(got.*field, want.*field) << "item " << index;
  EXPECT_EQ(got.Body, want.Body) << "item " << index;
  EXPECT_EQ(got.No, want.No) << "item " << index;
  EXPECT_EQ(got.Mark, want.Mark) << "item " << index;
  EXPECT_EQ(got.Status, want.Status) << "item " << index;
  EXPECT_EQ(got.Download, want.Download) << "item " << index;
  EXPECT_EQ(got.Multipart, want.Multipart) << "item " << index;
}

MailBox Loaded(const std::string& path) {
  MailBox box;
  EXPECT_TRUE(LoadMailBox(path, box));
  return box;
}

TEST(MailBoxFile, SaveThenLoadGivesBackEveryStoredField) {
  TempDir dir;
  std::mt19937 random(3);
  const std::pair<const char*, std::string> codePages[] = {
      {"UTF-8", "\xC3\xA9\xE6\x97\xA5\xFF"}, {"CP1252", "\xC3\xA9\xE2\x82\xAC\xED\xB2\x81"}, {"SHIFT_JIS", "\xE6\x97\xA5\xED\xB2\x81"}};
  for (const auto& [codePage, foreign] : codePages) {
    test::CodePageScope scope(codePage);
    MailBox box;
    for (int i = 0; i < 300; ++i) box.Items.push_back(RandomItem(random, foreign));
    box.Items.push_back(nullptr);  // an empty slot is skipped
    for (const int mode : {kSaveWithBodies, kSaveHeadersOnly}) {
      const std::string path = dir.file("box.dat");
      ASSERT_TRUE(SaveMailBox(path, box, mode));
      const MailBox loaded = Loaded(path);
      ASSERT_EQ(loaded.Items.size(), 300u) << codePage << " mode " << mode;
      for (int i = 0; i < 300; ++i) {
        ExpectSameStoredFields(*loaded.Items[i], Expected(*box.Items[i], mode == kSaveWithBodies), i);
      }
    }
  }
}

TEST(MailBoxFile, WritesTheRecordFormatByteForByte) {
  TempDir dir;
  MailBox box;
  auto item = std::make_shared<MailItem>();
  item->From = "a@b";
  item->Subject = "";
  item->Status = 1;
  item->Mark = 1;
  item->Download = 1;
  item->Body = "..x";
  box.Items.push_back(item);
  auto marked = std::make_shared<MailItem>(*item);
  marked->Mark = kMarkDelete;
  marked->Body.reset();
  box.Items.push_back(marked);
  ASSERT_TRUE(SaveMailBox(dir.file("f"), box, kSaveWithBodies));
  EXPECT_EQ(platform::ReadWholeFile(dir.file("f")),
            "From: a@b\r\nSubject: \r\nX-No: 0\r\nX-Status: 1\r\nX-Download: 1\r\n\r\n..x\r\n.\r\n"
            "From: a@b\r\nSubject: \r\nX-No: 0\r\nX-Status: 1\r\nX-Mark: 4\r\nX-Download: 1\r\n\r\n\r\n.\r\n");

  ASSERT_TRUE(SaveMailBox(dir.file("empty"), MailBox{}, kSaveWithBodies));
  EXPECT_EQ(platform::FileSize(dir.file("empty")), 0u);
  EXPECT_TRUE(Loaded(dir.file("empty")).Items.empty());
  EXPECT_TRUE(Loaded(dir.file("missing")).Items.empty());
  ASSERT_TRUE(SaveMailBox(dir.file("f"), box, kSaveNothing));
  EXPECT_FALSE(platform::FileSize(dir.file("f")));
}

TEST(MailBoxFile, ReadsOlderAndHandWrittenRecords) {
  TempDir dir;
  struct Case {
    const char* what;
    std::string file;
    std::vector<std::pair<OptionalText, int>> subjectsAndStatus;
  } cases[] = {
      {"older names, any order and case, first line wins",
       "x-mailstatus: 2\r\nSUBJECT:\t one\r\nSubject: two\r\nX-MailNo: 4\r\nX-Unknown: z\r\n\r\nbody\r\n.\r\n",
       {{"one", 2}}},
      {"current name wins over the older one", "X-MailStatus: 2\r\nX-Status: 1\r\n\r\nb\r\n.\r\n", {{std::nullopt, 1}}},
      {"no empty line: no body", "Subject: s\r\nX-Status: 2\r\n.\r\nSubject: t\r\n\r\nb\r\n.\r\n", {{"s", 0}, {"t", 0}}},
      {"blank lines between records", "Subject: a\r\n\r\nb\r\n.\r\n\r\n\r\nSubject: c\r\n\r\nd\r\n.\r\n\r\n",
       {{"a", 0}, {"c", 0}}},
      {"damaged end keeps its text", "Subject: a\r\n\r\nb\r\n.\r\nSubject: c\r\n\r\ncut off", {{"a", 0}, {"c", 0}}},
      {"terminator without a final line break", "Subject: a\r\nX-Status: 2\r\n\r\nb\r\n.", {{"a", 2}}},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(platform::WriteFileAtomically(dir.file("f"), c.file));
    const MailBox box = Loaded(dir.file("f"));
    ASSERT_EQ(box.Items.size(), c.subjectsAndStatus.size()) << c.what;
    for (std::size_t i = 0; i < box.Items.size(); ++i) {
      EXPECT_EQ(box.Items[i]->Subject, c.subjectsAndStatus[i].first) << c.what;
      EXPECT_EQ(box.Items[i]->Status, c.subjectsAndStatus[i].second) << c.what;
    }
  }
  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("f"), "Subject: c\r\n\r\ncut off"));
  EXPECT_EQ(Loaded(dir.file("f")).Items[0]->Body, "cut off");
}

TEST(MailBoxFile, ReadsTheOldWideFormAndTakesAByteOrderMarkAsEightBit) {
  TempDir dir;
  std::string wide;
  for (const char c : std::string("Subject: \xE9t\xE9\r\n\r\nb\r\n.\r\n")) wide += {c, '\0'};
  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("wide"), wide));
  EXPECT_EQ(Loaded(dir.file("wide")).Items.at(0)->Subject, "\xC3\xA9t\xC3\xA9");

  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("bom"), "\xEF\xBB\xBFSubject: x\r\n\r\nb\r\n.\r\n"));
  const MailBox bom = Loaded(dir.file("bom"));
  ASSERT_EQ(bom.Items.size(), 1u);
  EXPECT_FALSE(bom.Items[0]->Subject);  // the mark hides the first header name
}

TEST(MailBoxFile, RecordsAcrossReadBoundariesOfALargeFile) {
  TempDir dir;
  MailBox box;
  // Bodies of odd sizes put terminators at every offset of the file's read pieces.
  for (int i = 0; i < 1200; ++i) {
    auto item = std::make_shared<MailItem>();
    item->Subject = std::to_string(i);
    item->Body = std::string(3000 + i * 7, 'a' + i % 26) + "\r\n.." + std::string(i % 5, '.');
    box.Items.push_back(item);
  }
  ASSERT_TRUE(SaveMailBox(dir.file("big"), box, kSaveWithBodies));
  ASSERT_GT(*platform::FileSize(dir.file("big")), 4u << 20);
  const MailBox loaded = Loaded(dir.file("big"));
  ASSERT_EQ(loaded.Items.size(), box.Items.size());
  for (std::size_t i = 0; i < box.Items.size(); ++i) {
    ASSERT_EQ(loaded.Items[i]->Subject, box.Items[i]->Subject);
    ASSERT_EQ(loaded.Items[i]->Body, box.Items[i]->Body);
  }
}

TEST(MailBoxFile, StrayLineBreaksAndLoneDotsCannotCutARecord) {
  TempDir dir;
  MailBox box;
  auto item = std::make_shared<MailItem>();
  item->Subject = "one\r\n\r\nX-Status: 2\n.\r\n";
  item->Body = ".\r\nstill body\r\n.";
  box.Items.push_back(item);
  box.Items.push_back(std::make_shared<MailItem>());
  ASSERT_TRUE(SaveMailBox(dir.file("f"), box, kSaveWithBodies));
  const MailBox loaded = Loaded(dir.file("f"));
  ASSERT_EQ(loaded.Items.size(), 2u);
  EXPECT_EQ(loaded.Items[0]->Status, 0);
  EXPECT_EQ(loaded.Items[0]->Body, "..\r\nstill body\r\n..");
}

TEST(MailBoxFile, FailedSaveKeepsThePreviousFile) {
  TempDir dir;
  MailBox box;
  auto item = std::make_shared<MailItem>();
  item->Body = std::string(200000, 'b');
  box.Items.push_back(item);
  const std::string path = dir.file("SaveBox.dat");
  ASSERT_TRUE(platform::WriteFileAtomically(path, "Subject: old\r\n\r\nold\r\n.\r\n"));
  bool saved;
  {
    test::FileSizeLimit limit(65536);
    saved = SaveMailBox(path, box, kSaveWithBodies);
  }
  EXPECT_FALSE(saved);
  EXPECT_EQ(platform::ReadWholeFile(path), "Subject: old\r\n\r\nold\r\n.\r\n");
}

TEST(AddressList, EntriesRoundTripAndEmptyLinesAreSkipped) {
  TempDir dir;
  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("Address.lst"),
                                            "a@b\tFriend\textra\r\n\r\nc@d\r\n\tno address\n"));
  MailBox book;
  ASSERT_EQ(LoadAddressList(dir.file("Address.lst"), book), AddressListLoad::kLoaded);
  ASSERT_EQ(book.Items.size(), 3u);
  const std::pair<const char*, const char*> entries[] = {{"a@b", "Friend"}, {"c@d", ""}, {"", "no address"}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(book.Items[i]->To, entries[i].first);
    EXPECT_EQ(book.Items[i]->Subject, entries[i].second);
  }
  book.Items[0]->Subject = "tab\there";
  ASSERT_TRUE(SaveAddressList(dir.file("Address.lst"), book));
  EXPECT_EQ(platform::ReadWholeFile(dir.file("Address.lst")), "a@b\ttab here\r\nc@d\r\n\tno address\r\n");

  MailBox none;
  EXPECT_EQ(LoadAddressList(dir.file("missing"), none), AddressListLoad::kMissing);
}

TEST(LocalBoxes, ReadTheFoldersAndFallBackToTheOlderAddressBook) {
  TempDir dir;
  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("SaveBox.dat"), "Subject: kept\r\n\r\nb\r\n.\r\n"));
  ASSERT_TRUE(platform::WriteFileAtomically(dir.file("Address.dat"), "To: old@book\r\nSubject: c\r\n\r\n\r\n.\r\n"));
  MailBoxTable table;
  Init(table);
  ASSERT_TRUE(LoadLocalBoxes(table, dir.path()));
  EXPECT_EQ(Savebox(table).Name, kSaveboxName);
  EXPECT_EQ(Outbox(table).Name, kOutboxName);
  EXPECT_EQ(Savebox(table).Items.at(0)->Subject, "kept");
  EXPECT_EQ(table.addressBook.Items.at(0)->To, "old@book");

  EXPECT_EQ(DataDirectory("", "/home/u/.config/zelk/"), "/home/u/.config/zelk/");
  EXPECT_EQ(DataDirectory("/data", "/h/"), "/data/");
  EXPECT_EQ(DataDirectory("/data/", "/h/"), "/data/");
  EXPECT_EQ(DataDirectory("C:\\data\\", "/h/"), "C:\\data\\");
  EXPECT_EQ(DataDirectory("/", "/h/"), "//");  // a single character always gets a separator
}

}  // namespace
}  // namespace zelk::store
