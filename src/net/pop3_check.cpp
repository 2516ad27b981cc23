// The POP3 check. The first check of an account whose server holds two messages:
//   S: +OK Dovecot ready. <1.2@host>
//   C: USER me               S: +OK
//   C: PASS secret           S: +OK Logged in.
//   C: CAPA                  S: +OK / UIDL / PIPELINING / .
//   C: STAT                  S: +OK 2 3120
//   C: UIDL                  S: +OK / 1 uid-a / 2 uid-b / .   (when offered: each item keeps its id)
//   C: LIST 1                S: +OK 1 1560
//   C: TOP 1 100             S: +OK / the header, an empty line, up to 100 body lines / .
//   C: LIST 2  ...  C: TOP 2 100  ...
//   C: QUIT                  S: +OK Logging out.      (the server closes: a quiet end)
// A later check first makes sure that the last message it listed still has its number:
//   C: TOP 2 0               S: +OK / the header / .   the same identity: LIST 3 ...
// and when it has not (or STAT counts fewer messages than LastNo) it re-synchronises, matching
// items by the server's id they recorded, else by their X-UIDL header:
//   C: UIDL                  S: +OK / 1 uid-b / 2 uid-d / .
// With PIPELINING the LIST and TOP (or RETR) commands of the messages to come go out ahead in a
// bounded window (Pop3Pipeline); the answers are handled in order as without it.
#include "net/pop3_check.h"

#include <algorithm>
#include <new>

#include "net/pop3_login.h"
#include "platform/decimal.h"
#include "store/header_fields.h"

namespace zelk::net {

namespace {

// Conversation::step after the login (LoginStep) during a check, named after the reply awaited.
enum class CheckStep : int {
  kStatReply = 4,
  kListReply = 5,
  kUidlReply = 6,
  kTopReply = 7,
  kRetrReply = 8,
  kQuitSent = net::kQuitSent,
};

// A server may claim any count or size; room is made for at most this much ahead of what
// actually arrives, so a claim costs nothing until the data is there.
constexpr std::size_t kMostItemsReserved = 100'000;
constexpr std::int64_t kMostBytesReserved = 1 << 20;
constexpr std::int64_t kDefaultTextBytes = 4096;

// The word at `index` of a reply, words being separated by runs of spaces.
std::string_view WordAt(std::string_view line, int index) {
  std::size_t at = 0;
  for (int word = 0;; ++word) {
    at = line.find_first_not_of(' ', at);
    if (at == std::string_view::npos) return {};
    const std::size_t end = std::min(line.find(' ', at), line.size());
    if (word == index) return line.substr(at, end - at);
    at = end;
  }
}

}  // namespace

Pop3Check::Pop3Check(CheckParts parts) : Pop3Handler(parts.settings.SocLog == 1), parts_(std::move(parts)) {}

bool Pop3Check::Dispatch(std::string_view line) {
  switch (static_cast<CheckStep>(conversation_->step)) {
    case CheckStep::kQuitSent:
      QuitSentLine(*conversation_, line);
      return true;
    case CheckStep::kStatReply:
      return StatReply(line);
    case CheckStep::kListReply:
      return ListReply(line);
    case CheckStep::kUidlReply:
      return UidlReply(line);
    case CheckStep::kTopReply:
    case CheckStep::kRetrReply:
      return FetchReply(line);
  }
  return true;
}

bool Pop3Check::LoggedIn() {
  if (conversation_->loginOnly()) return Finish();
  if (!Send("STAT\r\n", static_cast<int>(CheckStep::kStatReply))) return false;
  if (!pipeline_.enabled()) return true;
  // What most likely follows STAT: the verification of the last message listed, or the ids.
  const store::MailBox& box = *box_;
  const bool verifies = box.LastNo > 0 && box.LastMessageId;
  if (!verifies && !capabilities_.uidl) return true;
  return pipeline_.SendAhead(*conversation_, verifies ? FetchCommand(box.LastNo, true, 0) : "UIDL\r\n") ||
         Fail("Send error");
}

bool Pop3Check::StatReply(std::string_view line) {
  const config::Settings& settings = parts_.settings;
  context_ = config::ParseContextFor(settings, parts_.zone.Offset(settings.TimeZone, parts_.clock, true));
  if (settings.SocLog == 1) conversation_->LogReceived(line);
  // "+OK count size". A count that is no plain number is refused like the reply itself: taking it
  // as 0 would empty the account's list on the strength of a garbled line.
  const std::optional<int> count = IsPositive(line) ? PlainNumber(WordAt(line, 1)) : std::nullopt;
  if (!count) return Fail(WithServerLine("STAT was not accepted\n\n", line));
  store::MailBox& box = *box_;
  box.MailCnt = *count;
  box.MailSize = std::max(0, platform::ReadDecimal(WordAt(line, 2)));

  if (box.LastNo < 0) box.LastNo = -1;  // any negative number asks for a rebuild
  if (box.MailCnt == 0 || box.LastNo == -1) {
    EmptyMailbox();
    if (box.MailCnt == 0) {
      parts_.hooks.ShowCounts();
      return Finish();
    }
  }
  parts_.hooks.ShowCounts();
  retr_ = settings.ListDownload == 1;
  firstNewSeen_ = false;
  if (box.LastNo > 0 && box.LastMessageId) {
    // Fewer messages than the last one listed: some were deleted, numbers moved.
    if (box.MailCnt < box.LastNo) return SendUidl(true);
    number_ = box.LastNo;
    PrepareText(kDefaultTextBytes);
    return SendFetch(true, 0);
  }
  number_ = box.LastNo > 0 ? box.LastNo : 1;
  return SendListing();
}

bool Pop3Check::ListReply(std::string_view line) {
  if (parts_.settings.SocLog == 1) conversation_->LogReceived(line);
  // "+OK n size". Without a usable size the message is fetched all the same.
  sizeText_.reset();
  std::int64_t expected = 0;
  if (IsPositive(line)) {
    const std::string_view word = WordAt(line, 2);
    if (const std::optional<int> size = PlainNumber(word)) {
      sizeText_ = platform::Text(word);
      expected = *size;
    }
  }
  const int lines = parts_.settings.ListGetLine;
  if (!retr_) {
    // A header and `lines` lines: the size of the whole message says little about that.
    const std::int64_t topBytes = (static_cast<std::int64_t>(lines) + 30) * 80;
    if (expected < 1 || expected >= topBytes) expected = topBytes;
  }
  PrepareText(expected);
  return SendFetch(!retr_, lines);
}

bool Pop3Check::FetchReply(std::string_view line) {
  if (!receiving_) {
    conversation_->LogReceived(line);
    if (line == ".") return true;
    if (IsPositive(line)) {
      receiving_ = true;
      return true;
    }
    DropText();
    // The message verified at the start is gone or numbered differently.
    if (number_ == box_->LastNo) return SendUidl(true);
    if (retr_) return Fail(WithServerLine("RETR was not accepted\n\n", line));
    retr_ = true;  // for the rest of the conversation
    return SendFetch(false, 0);
  }
  if (line != ".") {
    // Kept as received: a dot-stuffed line keeps its extra dot, as stored bodies do.
    text_.append(line);
    text_.append("\r\n");
    return true;
  }
  receiving_ = false;
  return MessageDone();
}

bool Pop3Check::MessageDone() {
  store::MailBox& box = *box_;
  std::string key = store::MessageKey(text_);
  if (number_ == box.LastNo) {
    if (box.LastMessageId) {
      if (key.empty()) return Fail("Message-Id not acquired");
      DropText();
      if (key != *box.LastMessageId) return SendUidl(true);
      return NextMessage();
    }
    // Nothing to verify against: the list starts again with this message.
    EmptyMailbox();
  }
  if (!firstNewSeen_) {
    const std::size_t room = std::min(static_cast<std::size_t>(box.MailCnt), kMostItemsReserved);
    if (shown_) parts_.list.ExpectRows(static_cast<int>(room));
    if (room > box.Items.size()) store::Reserve(box, room);
  }
  const store::StoredHeader stored =
      store::StoreHeader(box, store::Savebox(parts_.table), text_, sizeText_, context_);
  if (stored.outcome == store::StoreOutcome::kFailed) return Fail("Memory Allocation error");
  if (stored.outcome == store::StoreOutcome::kListed) ItemAdded(*stored.item);
  // Also for a message a filter kept out, so that the next check does not fetch it again.
  if (key.empty()) return Fail("Message-Id not acquired");
  box.LastNo = number_;
  box.LastMessageId = std::move(key);
  DropText();
  return NextMessage();
}

void Pop3Check::ItemAdded(store::MailItem& item) {
  store::MailBox& box = *box_;
  Conversation& conversation = *conversation_;
  // The first new mail of this check makes the earlier new mail old, unless the user has not yet
  // been told about that (new-mail icon or notice still up). The list draws the "new" overlay
  // from New, so clearing New is what takes the overlay off.
  const bool fresh = !firstNewSeen_ && !conversation.flags.newMailIconShowing &&
                     !(parts_.newMailNoticeShowing && parts_.newMailNoticeShowing());
  std::vector<int> redraw;
  if (fresh) {
    for (std::size_t i = 0; i < box.Items.size(); ++i) {
      store::MailItem* other = box.Items[i].get();
      if (!other || other == &item || other->New != 1) continue;
      other->New = 0;
      if (shown_) redraw.push_back(parts_.rowOf ? parts_.rowOf(*other) : static_cast<int>(i));
    }
  }
  item.New = 1;
  item.Download = retr_ ? 1 : 0;
  item.No = number_;
  if (const auto uid = uids_.UidOf(number_)) item.ServerUidl = platform::LocalToText(*uid);
  if (shown_) {
    ports::ListViewPort& list = parts_.list;
    for (const int row : redraw) {
      if (row >= 0) list.RedrawRow(row);
    }
    // A check runs on a compacted mailbox, so the new item's row is the last one.
    const int row = static_cast<int>(box.Items.size()) - 1;
    list.InsertRow(row);
    if (fresh) list.SelectRow(row, true);
    if (fresh || parts_.settings.RecvScroll == 1) list.ScrollToRow(row);
    parts_.hooks.ShowCounts();
    conversation.flags.listChanged = true;
    list.ListChanged();
  }
  firstNewSeen_ = true;
  // -1 means that the command counts nothing; it stays so.
  if (conversation.flags.newMailCount >= 0) ++conversation.flags.newMailCount;
  box.NewMail = 1;
}

bool Pop3Check::UidlReply(std::string_view line) {
  store::MailBox& box = *box_;
  if (!receiving_) {
    conversation_->LogReceived(line);
    if (IsPositive(line)) {
      receiving_ = true;
      uids_.Begin(box.MailCnt);
      return true;
    }
    // The listing goes on without ids to record.
    if (!resynchronising_) return SendList();
    // Without UIDL nothing can be matched: the list is built again from message 1.
    EmptyMailbox();
    parts_.hooks.ShowCounts();
    number_ = 1;
    return SendList();
  }
  if (line != ".") {
    if (uids_.Add(line)) return true;
    uids_.Clear();
    if (resynchronising_) return Fail("Memory Allocation error");
    // Ids only to record: the listing goes on without them, as without UIDL.
    return true;
  }
  receiving_ = false;
  if (!resynchronising_) return SendList();
  return Resynchronise();
}

bool Pop3Check::Resynchronise() {
  store::MailBox& box = *box_;
  ports::ListViewPort& list = parts_.list;
  if (shown_) list.SuspendRedraw();
  parts_.shell.SetWaitCursor(true);
  store::ItemRef lastKept;
  try {
    int row = 0;  // the row of the current item when rows follow mailbox order
    for (store::ItemRef& slot : box.Items) {
      if (!slot) continue;
      // The server's own id where the item recorded it; the X-UIDL header is what older items have.
      const store::OptionalText& id = slot->ServerUidl ? slot->ServerUidl : slot->UIDL;
      const int number = id ? uids_.NumberOf(platform::TextToLocal(*id)) : 0;
      if (number > 0) {
        slot->No = number;
        if (!slot->ServerUidl) slot->ServerUidl = id;
        lastKept = slot;
        ++row;
        continue;
      }
      const int shownRow = !shown_ ? -1 : parts_.rowOf ? parts_.rowOf(*slot) : row;
      if (shownRow >= 0) list.RemovingRow(shownRow);
      slot.reset();
      if (shownRow >= 0) list.RowRemoved(shownRow);
    }
  } catch (const std::bad_alloc&) {
    uids_.Clear();
    if (shown_) list.ResumeRedraw();
    parts_.shell.SetWaitCursor(false);
    throw;
  }
  store::Compact(box);
  if (shown_) list.ResumeRedraw();
  parts_.shell.SetWaitCursor(false);
  parts_.hooks.ShowCounts();
  if (lastKept) {
    box.LastMessageId.reset();
    if (lastKept->MessageId) box.LastMessageId = platform::TextToLocal(*lastKept->MessageId);
    box.LastNo = lastKept->No;
  } else {
    box.LastMessageId.reset();
    box.LastNo = 0;
  }
  number_ = box.LastNo;
  return NextMessage();
}

void Pop3Check::EmptyMailbox() {
  if (shown_) parts_.list.ResettingRows();
  store::FreeItems(box_->Items);
  std::vector<store::ItemRef>().swap(box_->Items);
  if (shown_) parts_.list.RowsReset();
  box_->LastNo = 0;
}

void Pop3Check::PrepareText(std::int64_t expectedSize) {
  DropText();
  const std::int64_t bytes = expectedSize < 1 ? kDefaultTextBytes + 3 : expectedSize + 3;
  text_.reserve(static_cast<std::size_t>(std::min(bytes, kMostBytesReserved)));
}

void Pop3Check::DropText() { std::string().swap(text_); }

bool Pop3Check::SendListing() {
  // The listing's first window may follow UIDL at once: its answers come after the ids.
  if (capabilities_.uidl && !uidsAsked_) return SendUidl(false) && SendAhead(true);
  return SendList();
}

bool Pop3Check::SendList() {
  return Send(ListCommand(number_), static_cast<int>(CheckStep::kListReply)) && SendAhead(false);
}

std::string Pop3Check::ListCommand(int number) { return "LIST " + std::to_string(number) + "\r\n"; }

std::string Pop3Check::FetchCommand(int number, bool top, int lines) {
  if (!top) return "RETR " + std::to_string(number) + "\r\n";
  return "TOP " + std::to_string(number) + " " + std::to_string(lines) + "\r\n";
}

bool Pop3Check::SendAhead(bool fromList) {
  if (!pipeline_.enabled()) return true;
  const int lines = parts_.settings.ListGetLine;
  if (!pipeline_.HasAhead() && fromList) {
    aheadThrough_ = number_ - 1;
  } else if (!pipeline_.HasAhead()) {
    // Nothing foreseen so far (the first window, or the handler took another turn): from this
    // message's fetch on.
    const std::string fetch = FetchCommand(number_, !retr_, lines);
    if (!pipeline_.HasRoom(fetch.size())) return true;
    if (!pipeline_.SendAhead(*conversation_, fetch)) return Fail("Send error");
    aheadThrough_ = number_;
  }
  while (aheadThrough_ < box_->MailCnt) {
    const int next = aheadThrough_ + 1;
    std::string list = ListCommand(next);
    std::string fetch = FetchCommand(next, !retr_, lines);
    if (!pipeline_.HasRoom(list.size() + fetch.size())) break;
    if (!pipeline_.SendAhead(*conversation_, std::move(list)) || !pipeline_.SendAhead(*conversation_, std::move(fetch))) {
      return Fail("Send error");
    }
    aheadThrough_ = next;
  }
  return true;
}

bool Pop3Check::SendFetch(bool top, int lines) {
  receiving_ = false;
  return Send(FetchCommand(number_, top, lines),
              static_cast<int>(top ? CheckStep::kTopReply : CheckStep::kRetrReply));
}

bool Pop3Check::SendUidl(bool resynchronise) {
  receiving_ = false;
  resynchronising_ = resynchronise;
  uidsAsked_ = true;
  return Send("UIDL\r\n", static_cast<int>(CheckStep::kUidlReply));
}

bool Pop3Check::NextMessage() {
  if (number_ >= box_->MailCnt) return Finish();
  ++number_;
  return SendListing();
}

bool Pop3Check::Send(const std::string& command, int step) {
  if (!pipeline_.Send(*conversation_, command, command, *error_)) {
    store::Compact(*box_);
    sizeText_.reset();
    return false;
  }
  conversation_->step = step;
  return true;
}

bool Pop3Check::Finish() {
  store::Compact(*box_);
  sizeText_.reset();
  DropText();
  return Quit(*conversation_, *error_);
}

bool Pop3Check::Fail(platform::Text text) {
  store::Compact(*box_);
  sizeText_.reset();
  DropText();
  uids_.Clear();
  return EndWithError(*conversation_, *error_, std::move(text));
}

bool StartCheck(Conversation& conversation, int mailbox, bool loginOnly, const CheckParts& parts) {
  if (mailbox < store::kFirstAccountIndex || mailbox >= static_cast<int>(parts.table.boxes.size()) ||
      conversation.socket() != kNoSocket) {
    return false;
  }
  parts.table.boxes[static_cast<std::size_t>(mailbox)]->NewMail = 0;
  return conversation.Start(mailbox, ConversationKind::kCheck, std::make_unique<Pop3Check>(parts), loginOnly);
}

}  // namespace zelk::net
