#include "store/list_model.h"

#include <gtest/gtest.h>

#include <climits>
#include <functional>
#include <numeric>
#include <random>

#include "platform/utf8.h"
#include "store/thread_order.h"

namespace zelk::store {
namespace {

using Strings = std::vector<std::string>;

ItemRef Mail(const std::function<void(MailItem&)>& set) {
  auto item = std::make_shared<MailItem>();
  set(*item);
  return item;
}

OptionalText Opt(const char* text) { return text ? OptionalText(text) : std::nullopt; }

// A message titled by its id, with the two fields that name its parent (null: absent).
ItemRef Message(const char* id, const char* inReplyTo = nullptr, const char* references = nullptr) {
  return Mail([&](MailItem& m) {
    m.Subject = m.MessageId = Opt(id);
    m.InReplyTo = Opt(inReplyTo);
    m.References = Opt(references);
  });
}

Strings Shown(const ListModel& model) {
  Strings shown;
  for (int row = 0; row < RowCount(model); ++row) shown.push_back(ItemOfRow(model, row)->Subject.value_or("-"));
  return shown;
}

// The thread order as first written down: a backward search for each parent, then a walk along
// the chain past the parent's replies. Slow but plainly right; the real one must agree with it.
int ThreadOrderByChainWalk(MailBox& box) {
  auto& items = box.Items;
  int tail = 0;
  for (int i = 0; i < static_cast<int>(items.size()); ++i) {
    if (!items[i]) continue;
    MailItem& item = *items[i];
    item.ThreadDepth = item.ThreadOrder = item.ThreadNext = 0;
    int parent = FindByMessageId(box, item.InReplyTo, i);
    if (parent < 0) parent = FindByMessageId(box, item.References, i);
    if (i == 0) continue;  // begins the chain
    if (parent >= 0) {
      item.ThreadDepth = items[parent]->ThreadDepth + 1;
      int at = items[parent]->ThreadNext;
      while (at != 0 && items[at]->ThreadDepth >= item.ThreadDepth) at = items[at]->ThreadNext;
      if (at != 0) {
        const int before = items[at]->ThreadOrder;  // meanwhile the link to the previous item
        items[before]->ThreadNext = i;
        item.ThreadOrder = before;
        item.ThreadNext = at;
        items[at]->ThreadOrder = i;
        continue;
      }
    }
    items[tail]->ThreadNext = i;
    item.ThreadOrder = tail;
    tail = i;
  }
  int numbered = 0;
  for (int at = 0;; at = items[at]->ThreadNext) {
    items[at]->ThreadOrder = numbered++;
    if (items[at]->ThreadNext == 0) return numbered;
  }
}

TEST(ThreadOrder, RepliesFollowTheirParentAndItsEarlierReplies) {
  MailBox box;
  for (auto item : {Message("<a>"), Message("<b>", "<a>"), Message("<late>", "<x>"), Message("<c>", "<b>"),
                    Message("<d>", "<a>"), Message("<e>", "<unknown>", "<c>"), Message("<x>"),
                    Message("<f>", "<d>", "<x>"), Message("<a>"), Message("<g>", "<a>")}) {
    Append(box, item);
  }
  ListModel model;
  model.settings.LvThreadView = 1;
  SelectMailBox(model, box, ListBoxKind::kAccount);
  // <late> answers <x>, which stands later: a thread of its own. <e> falls back on References;
  // <f> does not. The second <a> shadows the first for <g>.
  EXPECT_EQ(Shown(model), (Strings{"<a>", "<b>", "<c>", "<e>", "<d>", "<f>", "<late>", "<x>", "<a>", "<g>"}));
  const std::vector<int> depths = {0, 1, 0, 2, 1, 3, 0, 2, 0, 1};
  for (std::size_t i = 0; i < depths.size(); ++i) EXPECT_EQ(box.Items[i]->ThreadDepth, depths[i]) << i;
  EXPECT_EQ(CellText(model, 3, 0), "         + <e>");

  box.Items[1]->InReplyTo.reset();  // kept until the list changes
  EXPECT_EQ(BuildThreadOrder(box), 10);
  EXPECT_EQ(box.Items[1]->ThreadDepth, 1);
  Append(box, Message("<h>"));
  EXPECT_EQ(BuildThreadOrder(box), 11);
  EXPECT_EQ(box.Items[1]->ThreadDepth, 0);
}

TEST(ThreadOrder, LongReplyChainsNeedNoDeepRecursion) {
  MailBox box;
  constexpr int kChain = 200000;
  for (int i = 0; i < kChain; ++i) {
    Append(box, Message(("<" + std::to_string(i) + ">").c_str(), ("<" + std::to_string(i - 1) + ">").c_str()));
  }
  EXPECT_EQ(BuildThreadOrder(box), kChain);
  EXPECT_EQ(box.Items.back()->ThreadDepth, kChain - 1);
  EXPECT_EQ(box.Items.back()->ThreadOrder, kChain - 1);
}

TEST(ThreadOrder, AgreesWithTheChainWalkOnRandomMailboxes) {
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    const unsigned count = 1 + random() % 40;
    const auto pick = [&]() -> OptionalText {  // few ids: duplicates and stray references are common
      if (random() % 4 == 0) return std::nullopt;
      return "<" + std::to_string(random() % (1 + count / 2)) + ">";
    };
    MailBox ours;
    MailBox theirs;
    for (unsigned i = 0; i < count; ++i) {
      ItemRef item;
      if (i == 0 || random() % 20 != 0) {
        item = Mail([&](MailItem& m) { m.MessageId = pick(), m.InReplyTo = pick(), m.References = pick(); });
      }
      ours.Items.push_back(item);
      theirs.Items.push_back(item ? std::make_shared<MailItem>(*item) : nullptr);
    }
    ASSERT_EQ(BuildThreadOrder(ours), ThreadOrderByChainWalk(theirs)) << round;
    for (unsigned i = 0; i < count; ++i) {
      const MailItem* a = ours.Items[i].get();
      const MailItem* b = theirs.Items[i].get();
      if (a == nullptr) continue;
      const auto fields = [](const MailItem* m) { return std::tie(m->ThreadOrder, m->ThreadNext, m->ThreadDepth); };
      ASSERT_EQ(fields(a), fields(b)) << "round " << round << " item " << i;
    }
  }
}

ItemRef Row(const char* subject, const char* from, const char* date, const char* size, int no, int mark, int thread) {
  return Mail([=](MailItem& m) {
    m.Subject = Opt(subject);
    m.From = Opt(from);
    m.To = from ? "" : "zed";
    m.Date = Opt(date);
    m.Size = Opt(size);
    m.No = no;
    m.Mark = mark;
    m.ThreadOrder = thread;
  });
}

TEST(ListCompare, EveryKeyBothWaysAndNeverZero) {
  const ItemRef a = Row("apple", "Bob", "03/01/2006 10:00", "2147483647", INT_MAX, 1, 4);
  const ItemRef b = Row("Banana", "alice", "02/02/2006 09:00", "-2147483648", INT_MIN, 0, 2);
  const ItemRef c = Row(nullptr, nullptr, "not a date", nullptr, 0, 9, 0);
  const ItemRef same = Row("APPLE", "bob", "03/01/2006 10:00", "2147483647", INT_MAX, 1, 4);
  const struct {
    const ItemRef& x;
    const ItemRef& y;
    int key;
    int expected;
  } cases[] = {
      {a, b, 1, -1},   {a, b, -1, 1},   {c, a, 1, -1},  // an absent subject sorts as empty
      {a, b, 2, 1},    {a, b, -2, -1},  {a, b, 3, -1},  // day first: January before February
      {c, b, 3, 1},    {a, b, 4, 1},    {b, c, 4, -1},  // extreme sizes do not overflow
      {a, b, 101, 1},  {a, b, 102, -1}, {c, b, 102, -1},  // a mark without an icon ranks first
      {a, b, 103, 1},  {a, b, -103, -1}, {a, b, 7, -1},  {a, b, -7, -1},
  };
  const SortContext account;
  for (const auto& test : cases) {
    EXPECT_EQ(Compare(test.x.get(), test.y.get(), test.key, account), test.expected) << test.key;
  }
  for (const int key : {1, 2, 3, 4, 101, 102, 103, -1, -3, -102}) {
    EXPECT_EQ(Compare(a.get(), same.get(), key, account), -1) << key;
    EXPECT_EQ(Compare(same.get(), a.get(), key, account), -1) << key;
  }
  EXPECT_EQ(Compare(a.get(), nullptr, 1, account), 0);

  // The Outbox compares recipients, and gives raw header dates their display form first.
  SortContext outbox;
  outbox.outbox = true;
  EXPECT_EQ(Compare(a.get(), c.get(), 2, account), 1);
  EXPECT_EQ(Compare(a.get(), c.get(), 2, outbox), -1);
  const ItemRef raw = Row("s", "f", "Tue, 3 Jan 2006 10:00:00 +0900", "1", 0, 0, 0);
  const ItemRef later = Row("s", "f", "04/01/2006 11:00", "1", 0, 0, 0);
  EXPECT_EQ(std::make_pair(Compare(raw.get(), later.get(), 3, outbox), Compare(raw.get(), later.get(), 3, account)),
            std::make_pair(-1, 1));
}

TEST(ListSort, SortedRowsAgreeWithCompareAndKeepEqualRowsInOrder) {
  std::mt19937 random(3);
  const char* const texts[] = {"Re: plans", "re: Plans", "\xC3\xA9t\xC3\xA9", "Zoo", "", "apple", "\xF0\x9F\x98\x80"};
  const char* const dates[] = {"03/01/2006 10:00", "3/1/2006 9:05", "31/12/1999 23:59", "garbage", "01/01/2030 00:00"};
  MailBox box;
  for (int i = 0; i < 60; ++i) {
    Append(box, Row(texts[random() % 7], texts[random() % 7], dates[random() % 5], std::to_string(random() % 5).c_str(),
                    static_cast<int>(random() % 5), static_cast<int>(random() % 9), i));
  }
  for (const int key : {1, -1, 2, -2, 3, -3, 4, -4, 101, -101, 102, -102, 103, -103}) {
    std::vector<std::size_t> rows(box.Items.size());
    std::iota(rows.begin(), rows.end(), std::size_t{0});
    SortRows(rows, box, key, SortContext{});
    for (std::size_t i = 1; i < rows.size(); ++i) {
      const MailItem* before = box.Items[rows[i - 1]].get();
      const MailItem* after = box.Items[rows[i]].get();
      ASSERT_EQ(Compare(before, after, key, SortContext{}), -1) << "key " << key << " row " << i;
      const bool equal = Compare(after, before, key, SortContext{}) == -1;
      ASSERT_TRUE(!equal || rows[i - 1] < rows[i]) << "key " << key << " row " << i;
    }
  }
}

TEST(ListCells, TextsAreCutAndSubjectsIndented) {
  MailBox box;
  Append(box, Mail([](MailItem& m) { m.Subject = std::string(300, 's'); }));
  Append(box, Row("", "Ann", "03/01/2006 10:00", "1234", 0, 0, 0));
  Append(box, Mail([](MailItem& m) { m.Subject = std::string(253, 'a') + "\xF0\x9F\x98\x80", m.To = "Bob"; }));
  ListModel model;
  SelectMailBox(model, box, ListBoxKind::kAccount);
  EXPECT_EQ(platform::Utf16Length(CellText(model, 0, 0)), 254u);
  EXPECT_EQ((Strings{CellText(model, 1, 0), CellText(model, 1, 1), CellText(model, 1, 2), CellText(model, 1, 3)}),
            (Strings{"(no subject)", "Ann", "03/01/2006 10:00", "1234"}));
  EXPECT_EQ(CellText(model, 2, 0), std::string(253, 'a'));  // the surrogate pair would end at 255
  EXPECT_STREQ(ColumnTitle(model, 1), "From");

  SelectMailBox(model, box, ListBoxKind::kOutbox);
  EXPECT_STREQ(ColumnTitle(model, 1), "To");
  EXPECT_EQ(CellText(model, 2, 1), "Bob");

  model.settings.LvThreadView = 1;
  for (const auto& [depth, spaces] : std::vector<std::pair<int, std::size_t>>{{0, 0}, {1, 2}, {2, 5}, {3, 9}}) {
    box.Items[1]->ThreadDepth = depth;
    EXPECT_EQ(CellText(model, 1, 0), depth ? std::string(spaces, ' ') + "+ (no subject)" : "(no subject)") << depth;
  }
  box.Items[1]->ThreadDepth = 100;  // too deep to indent fully: the marker stays, the subject is cut
  EXPECT_EQ(CellText(model, 1, 0), std::string(249, ' ') + "+ (no");
}

TEST(ListCells, ImagesAndStatesFollowTheItem) {
  const struct {
    int mark, isNew, multipart, download;
    ListBoxKind kind;
    RowLook expected;
  } cases[] = {
      {0, 0, 0, 0, ListBoxKind::kAccount, {0, false, false, true}},  // header only: greyed
      {3, 0, 0, 0, ListBoxKind::kAccount, {3, false, false, false}},  // marked for download
      {4, 1, 1, 0, ListBoxKind::kSavebox, {4, true, true, false}},
      {2, 0, 1, 1, ListBoxKind::kAccount, {2, false, true, false}},
      {0, 0, 0, 0, ListBoxKind::kOutbox, {0, false, false, false}},  // never greyed
      {8, 0, 0, 1, ListBoxKind::kAccount, {-1, false, false, false}},  // no picture past 7
  };
  for (const auto& test : cases) {
    MailBox box;
    Append(box, Mail([&](MailItem& m) {
             m.Mark = test.mark, m.New = test.isNew, m.Multipart = test.multipart, m.Download = test.download;
           }));
    ListModel model;
    SelectMailBox(model, box, test.kind);
    const RowLook look = LookOfRow(model, 0);
    EXPECT_EQ(std::tie(look.image, look.newOverlay, look.clip, look.cut),
              std::tie(test.expected.image, test.expected.newOverlay, test.expected.clip, test.expected.cut))
        << test.mark;
  }
}

// Read, unread, header only, unread, unread without its body; dated 5, 1, 4, 2, 3 January.
MailBox Inbox() {
  MailBox box;
  const int status[] = {2, 1, 0, 1, 1};
  for (int i = 0; i < 5; ++i) {
    Append(box, Mail([&](MailItem& m) {
             m.Subject = std::string(1, static_cast<char>('a' + i));
             m.Status = m.Mark = status[i];
             m.Download = status[i] != 0;
             if (i != 4 && status[i] != 0) m.Body = "text\r\n";
             m.Date = "0" + std::to_string("51423"[i] - '0') + "/01/2006 10:00";
             m.No = i + 1;
           }));
  }
  return box;
}

TEST(FillList, OrderAndSelectionFollowTheSettings) {
  const struct {
    ListBoxKind kind;
    int autoSort, defSelect, threadView;
    Strings order;
    int row, visibleRow;
  } cases[] = {
      // An account selects its first unread row and keeps the row above it in view.
      {ListBoxKind::kAccount, 1, 1, 0, {"a", "b", "c", "d", "e"}, 1, 0},
      {ListBoxKind::kAccount, 2, 1, 0, {"b", "d", "e", "c", "a"}, 0, 0},
      // The Savebox sorts itself with LvAutoSort 1 and passes over unread mail.
      {ListBoxKind::kSavebox, 1, 1, 0, {"b", "d", "e", "c", "a"}, 4, 4},
      {ListBoxKind::kSavebox, 0, 0, 0, {"a", "b", "c", "d", "e"}, 0, 0},
      {ListBoxKind::kOutbox, 1, 1, 1, {"a", "b", "c", "d", "e"}, 4, 4},
  };
  for (const auto& test : cases) {
    MailBox box = Inbox();
    ListModel model;
    model.settings.LvAutoSort = test.autoSort;
    model.settings.LvDefSelectPos = test.defSelect;
    model.settings.LvThreadView = test.threadView;
    const ListFocus focus = SelectMailBox(model, box, test.kind);
    EXPECT_EQ(Shown(model), test.order);
    EXPECT_EQ(std::make_tuple(focus.row, focus.visibleRow, focus.lastRowFirst),
              std::make_tuple(test.row, test.visibleRow, true));
    EXPECT_EQ(model.sortKey, kSortByNo);
  }
  MailBox box = Inbox();
  box.Items[1] = nullptr;  // a slot being emptied is no row
  ListModel model;
  EXPECT_EQ(SelectMailBox(model, box, ListBoxKind::kAccount).row, 2);
  EXPECT_EQ(Shown(model), (Strings{"a", "c", "d", "e"}));
  MailBox empty;
  EXPECT_EQ(SelectMailBox(model, empty, ListBoxKind::kAccount).row, -1);
}

TEST(ListCommands, HeaderClicksIconSortAndThreadMode) {
  MailBox box = Inbox();
  ListModel model;
  SelectMailBox(model, box, ListBoxKind::kAccount);
  model.settings.LvThreadView = 1;
  ColumnClicked(model, 2);
  EXPECT_EQ(model.settings.LvThreadView, 0);
  EXPECT_EQ(Shown(model), (Strings{"b", "d", "e", "c", "a"}));
  ColumnClicked(model, 2);
  EXPECT_EQ(Shown(model), (Strings{"a", "c", "e", "d", "b"}));
  EXPECT_EQ(model.settings.LvSortItem, kSortByDate);  // an account with LvAutoSort 1 keeps it
  SortByIcon(model);  // unread whole mail first, header only last; equal icons keep their order
  EXPECT_EQ(Shown(model), (Strings{"e", "d", "b", "a", "c"}));
  SetThreadView(model, true);
  EXPECT_EQ(Shown(model), (Strings{"a", "b", "c", "d", "e"}));
  SetThreadView(model, false);
  EXPECT_EQ(Shown(model), (Strings{"b", "d", "e", "a", "c"}));

  MailBox saved = Inbox();
  SelectMailBox(model, saved, ListBoxKind::kSavebox);
  for (int repeat = 0; repeat < 2; ++repeat) {
    EXPECT_TRUE(ApplySortKey(model, -kSortBySubject));
    EXPECT_EQ(model.sortKey, -kSortBySubject);
  }
  EXPECT_EQ(model.settings.LvSortItem, -kSortBySubject);  // the Savebox remembers
  EXPECT_EQ(Shown(model), (Strings{"e", "d", "c", "b", "a"}));
  for (const int key : {kSortByNo, -kSortByThread, 0, 5, INT_MIN}) EXPECT_FALSE(ApplySortKey(model, key)) << key;
}

TEST(ListCommands, NewRowsAfterACheck) {
  MailBox box = Inbox();
  ListModel model;
  model.settings.LvAutoSort = 2;
  model.settings.LvSortItem = -kSortByNo;
  SelectMailBox(model, box, ListBoxKind::kAccount);
  Append(box, Mail([](MailItem& m) { m.Subject = "f", m.No = 6, m.Status = m.Mark = 1, m.Body = "x", m.New = 1; }));
  EXPECT_EQ(AppendRow(model, 5), 5);
  EXPECT_EQ(AppendRow(model, 9), -1);
  EXPECT_EQ(RowsAdded(model).row, 0);
  EXPECT_EQ(Shown(model), (Strings{"f", "e", "d", "c", "b", "a"}));
  EXPECT_EQ(FirstNewRow(model), 0);
  // The viewer's next and previous mail skip rows without a body, at both ends of the list.
  EXPECT_EQ((std::vector<int>{NextRowWithBody(model, 0), NextRowWithBody(model, 5), PrevRowWithBody(model, -1),
                              PrevRowWithBody(model, 2), PrevRowWithBody(model, 0)}),
            (std::vector<int>{2, -1, 5, 0, -1}));
}

}  // namespace
}  // namespace zelk::store
