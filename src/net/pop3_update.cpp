// The POP3 update. An account whose item 2 is marked for download and items 3 and 7 for deletion:
//   S: +OK Dovecot ready.    (the login as in the check)
//   C: RETR 2                S: +OK / the whole message / .   its identity is the item's: parsed in
//   C: TOP 3 0               S: +OK / the header / .          the same message: deleted
//   C: DELE 3                S: +OK
//   C: TOP 7 0 ... C: DELE 7 S: +OK
//   C: QUIT                  S: +OK Logging out.
// The numbers stay those of the session throughout; the items are renumbered once, after the last
// DELE was accepted. A server that refuses TOP gets RETR for the verifications instead. An item
// that recorded the server's unique id is first asked for it, where the server offers UIDL, so a
// number another message took over is never deleted even when both share a Message-Id:
//   C: UIDL 3                S: +OK 3 uid-c                  the item's id: TOP 3 0 ...
// With PIPELINING the RETRs of the downloads go out ahead in a bounded window, UIDL n and TOP n 0
// together, and each DELE carries the next deletion's UIDL n and TOP n 0 along. A DELE itself
// never goes out before its message was verified.
#include "net/pop3_update.h"

#include <algorithm>
#include <new>

#include "net/pop3_login.h"
#include "platform/decimal.h"
#include "store/header_fields.h"

namespace zelk::net {

namespace {

// Conversation::step after the login (LoginStep) during an update, named after the reply awaited.
enum class UpdateStep : int {
  kVerifyReply = 7,  // TOP n 0, or RETR n once TOP was refused
  kRetrReply = 8,
  kDeleReply = 9,
  kUidReply = 10,
  kQuitSent = net::kQuitSent,
};

constexpr std::string_view kNotSynchronised = "Mail numbers not synchronised\n\nNew and existing numbers must agree";

// An item's Size is whatever the server claimed: room is made for at most this much ahead of
// what actually arrives.
constexpr std::int64_t kMostBytesReserved = 1 << 20;
constexpr std::int64_t kDefaultTextBytes = 4096;
// Whole messages owed ahead are read before a Stop's RSET is answered: a few at most.
constexpr std::size_t kMostDownloadsAhead = 8;
// The progress is shown with the first line of a download and then every this many + 1 lines.
constexpr int kProgressLines = 50;

}  // namespace

Pop3Update::Pop3Update(UpdateParts parts) : Pop3Handler(parts.settings.SocLog == 1), parts_(std::move(parts)) {}

bool Pop3Update::Dispatch(std::string_view line) {
  switch (static_cast<UpdateStep>(conversation_->step)) {
    case UpdateStep::kQuitSent:
      QuitSentLine(*conversation_, line);
      return true;
    case UpdateStep::kVerifyReply:
      return VerifyReply(line);
    case UpdateStep::kRetrReply:
      return DownloadReply(line);
    case UpdateStep::kDeleReply:
      return DeleReply(line);
    case UpdateStep::kUidReply:
      return UidReply(line);
  }
  return true;
}

bool Pop3Update::LoggedIn() {
  const config::Settings& settings = parts_.settings;
  context_ = config::ParseContextFor(settings, parts_.zone.Offset(settings.TimeZone, parts_.clock, true));
  // Shift held with the command asks for the whole header, as ShowHeader does always.
  context_.keepHeader = context_.keepHeader || conversation_->flags.shift;
  topRefused_ = false;
  return NextWork();
}

bool Pop3Update::NextWork() {
  const store::MailBox& box = *box_;
  // A downloaded item loses its mark, so the search may always start from the top.
  if (const int index = store::NextDownloadMarked(box, -1); index >= 0) {
    const store::MailItem& item = *box.Items[static_cast<std::size_t>(index)];
    downloadNo_ = item.No;
    PrepareText(item.Size ? platform::ReadDecimal(platform::TextToLocal(*item.Size)) : 0);
    receiving_ = false;
    return Send(RetrCommand(downloadNo_), static_cast<int>(UpdateStep::kRetrReply)) && SendDownloadsAhead(index);
  }
  const int index = store::NextDeleteMarked(box, -1);
  if (index < 0) {
    DropText();
    return Quit(*conversation_, *error_);
  }
  return StartDeletion(index);
}

bool Pop3Update::StartDeletion(int index) {
  const store::MailItem& item = *box_->Items[static_cast<std::size_t>(index)];
  deleteNo_ = item.No;
  receiving_ = false;
  if (!ChecksServerId(item)) return SendVerification();
  if (!Send(UidCommand(deleteNo_), static_cast<int>(UpdateStep::kUidReply))) return false;
  // The verification is only a read: it may follow at once.
  if (!pipeline_.enabled() || pipeline_.HasAhead()) return true;
  return pipeline_.SendAhead(*conversation_, VerificationCommand(deleteNo_)) || Fail("Send error");
}

bool Pop3Update::ChecksServerId(const store::MailItem& item) const { return capabilities_.uidl && item.ServerUidl.has_value(); }

bool Pop3Update::SendVerification() {
  PrepareText(kDefaultTextBytes);
  receiving_ = false;
  return Send(VerificationCommand(deleteNo_), static_cast<int>(UpdateStep::kVerifyReply));
}

std::string Pop3Update::VerificationCommand(int number) const {
  return topRefused_ ? RetrCommand(number) : "TOP " + std::to_string(number) + " 0\r\n";
}

std::string Pop3Update::RetrCommand(int number) { return "RETR " + std::to_string(number) + "\r\n"; }

std::string Pop3Update::UidCommand(int number) { return "UIDL " + std::to_string(number) + "\r\n"; }

bool Pop3Update::UidReply(std::string_view line) {
  if (parts_.settings.SocLog == 1) conversation_->LogReceived(line);
  // "+OK n uid": anything else, or another id, means the number is not the item's message now.
  const int index = store::FindByNo(*box_, deleteNo_);
  if (index < 0) return Fail(platform::Text(kNotSynchronised));
  const store::MailItem& item = *box_->Items[static_cast<std::size_t>(index)];
  const std::size_t space = line.find(' ', line.find(' ') + 1);
  const bool same = IsPositive(line) && space != std::string_view::npos && item.ServerUidl &&
                    line.substr(space + 1) == platform::TextToLocal(*item.ServerUidl);
  if (!same) return Fail(platform::Text(kNotSynchronised));
  return SendVerification();
}

bool Pop3Update::SendDownloadsAhead(int index) {
  if (!pipeline_.enabled()) return true;
  // A downloaded item loses its mark, so the downloads go in item order.
  if (!pipeline_.HasAhead()) aheadIndex_ = index;
  for (int next = store::NextDownloadMarked(*box_, aheadIndex_); next >= 0;
       next = store::NextDownloadMarked(*box_, aheadIndex_)) {
    if (pipeline_.AheadCount() >= kMostDownloadsAhead) break;
    std::string command = RetrCommand(box_->Items[static_cast<std::size_t>(next)]->No);
    if (!pipeline_.HasRoom(command.size())) break;
    if (!pipeline_.SendAhead(*conversation_, std::move(command))) return Fail("Send error");
    aheadIndex_ = next;
  }
  return true;
}

bool Pop3Update::SendDeletionAhead(int index) {
  if (!pipeline_.enabled()) return true;
  const int next = store::NextDeleteMarked(*box_, index);
  if (next < 0) return true;
  const store::MailItem& item = *box_->Items[static_cast<std::size_t>(next)];
  if (ChecksServerId(item) && !pipeline_.SendAhead(*conversation_, UidCommand(item.No))) return Fail("Send error");
  return pipeline_.SendAhead(*conversation_, VerificationCommand(item.No)) || Fail("Send error");
}

bool Pop3Update::DownloadReply(std::string_view line) {
  if (!receiving_) {
    if (!IsPositive(line)) return Fail(WithServerLine("RETR was not accepted\n\n", line));
    bytes_ = 0;
    lineCounter_ = kProgressLines;
    conversation_->SetStatus("Receiving...", 1);
    receiving_ = true;
    return true;
  }
  if (line != ".") {
    AppendLine(line, true);
    return true;
  }
  receiving_ = false;
  return Downloaded();
}

bool Pop3Update::Downloaded() {
  store::MailBox& box = *box_;
  const int index = store::FindByNo(box, downloadNo_);
  if (index < 0) return Fail(platform::Text(kNotSynchronised));
  if (platform::Text error = IdentityError(index); !error.empty()) return Fail(std::move(error));
  store::MailItem& item = *box.Items[static_cast<std::size_t>(index)];
  store::ParseMessage(item, text_, std::nullopt, context_);
  item.Download = 1;
  // Also for a message without a body, which the parse leaves as it was: a download mark left
  // standing would fetch the message again and again.
  item.Status = store::kStatusUnread;
  item.Mark = store::kStatusUnread;
  DropText();
  if (shown_) {
    const int row = parts_.rowOf ? parts_.rowOf(item) : index;
    if (row >= 0) parts_.list.RedrawRow(row);
    parts_.hooks.ShowCounts();
  }
  return NextWork();
}

bool Pop3Update::VerifyReply(std::string_view line) {
  if (!receiving_) {
    conversation_->LogReceived(line);
    if (IsPositive(line)) {
      receiving_ = true;
      return true;
    }
    DropText();
    if (topRefused_) return Fail(WithServerLine("RETR was not accepted\n\n", line));
    topRefused_ = true;  // for the rest of the conversation
    if (store::FindByNo(*box_, deleteNo_) < 0) return Fail(platform::Text(kNotSynchronised));
    PrepareText(kDefaultTextBytes);
    return Send(RetrCommand(deleteNo_), static_cast<int>(UpdateStep::kVerifyReply));
  }
  if (line != ".") {
    AppendLine(line, false);
    return true;
  }
  receiving_ = false;
  const int index = store::FindByNo(*box_, deleteNo_);
  if (index < 0) return Fail(platform::Text(kNotSynchronised));
  if (platform::Text error = IdentityError(index); !error.empty()) return Fail(std::move(error));
  DropText();
  return Send("DELE " + std::to_string(deleteNo_) + "\r\n", static_cast<int>(UpdateStep::kDeleReply)) &&
         SendDeletionAhead(index);
}

bool Pop3Update::DeleReply(std::string_view line) {
  if (parts_.settings.SocLog == 1) conversation_->LogReceived(line);
  if (!IsPositive(line)) {
    // Withdraws every deletion of this conversation: the marks stay, and the items keep numbers
    // that still match the server.
    conversation_->Send("RSET\r\n");
    deleAccepted_ = false;
    return Fail(WithServerLine("Deletion failed\n\n", line));
  }
  deleAccepted_ = true;
  const int index = store::FindByNo(*box_, deleteNo_);
  if (index < 0) return Fail(platform::Text(kNotSynchronised));
  if (const int next = store::NextDeleteMarked(*box_, index); next >= 0) return StartDeletion(next);
  return DeletionsAccepted();
}

bool Pop3Update::DeletionsAccepted() {
  store::MailBox& box = *box_;
  ports::ListViewPort& list = parts_.list;
  if (shown_) list.SuspendRedraw();
  int row = 0;  // the row of the current item when rows follow mailbox order
  for (store::ItemRef& slot : box.Items) {
    if (!slot) continue;
    if (slot->Mark != store::kMarkDelete) {
      ++row;
      continue;
    }
    const int shownRow = !shown_ ? -1 : parts_.rowOf ? parts_.rowOf(*slot) : row;
    if (shownRow >= 0) list.RemovingRow(shownRow);
    const int deletedNo = slot->No;
    slot.reset();
    // By number rather than by position: the server numbers the rest down whatever the order
    // of the list.
    for (const store::ItemRef& other : box.Items) {
      if (other && other->No > deletedNo) --other->No;
    }
    box.MailCnt = std::max(0, box.MailCnt - 1);
    if (box.LastNo > 0) --box.LastNo;
    if (shownRow >= 0) list.RowRemoved(shownRow);
  }
  if (!box.Items.empty() && !box.Items.back()) {
    const auto last =
        std::find_if(box.Items.rbegin(), box.Items.rend(), [](const store::ItemRef& slot) { return slot != nullptr; });
    if (last != box.Items.rend() && (*last)->MessageId) {
      box.LastMessageId = platform::TextToLocal(*(*last)->MessageId);
      box.LastNo = (*last)->No;
    }
  }
  store::Compact(box);
  if (shown_) {
    list.ResumeRedraw();
    conversation_->flags.listChanged = true;
    list.ListChanged();
  }
  parts_.hooks.ShowCounts();
  DropText();
  return Quit(*conversation_, *error_);
}

void Pop3Update::AppendLine(std::string_view line, bool progress) {
  // Kept as received: a dot-stuffed line keeps its extra dot, as stored bodies do.
  text_.append(line);
  text_.append("\r\n");
  if (!progress) return;
  bytes_ += static_cast<std::int64_t>(line.size());
  if (++lineCounter_ > kProgressLines) {
    lineCounter_ = 0;
    conversation_->SetStatus(std::to_string(bytes_) + " byte Recv", 1);
  }
}

platform::Text Pop3Update::IdentityError(int index) const {
  const std::string key = store::MessageKey(text_);
  if (key.empty()) return "Message-Id not acquired";
  const store::MailItem& item = *box_->Items[static_cast<std::size_t>(index)];
  if (!item.MessageId || platform::TextToLocal(*item.MessageId) != key) return platform::Text(kNotSynchronised);
  return {};
}

void Pop3Update::PrepareText(std::int64_t expectedSize) {
  DropText();
  const std::int64_t bytes = expectedSize < 1 ? kDefaultTextBytes + 3 : expectedSize + 3;
  text_.reserve(static_cast<std::size_t>(std::min(bytes, kMostBytesReserved)));
}

void Pop3Update::DropText() { std::string().swap(text_); }

bool Pop3Update::Send(const std::string& command, int step) {
  if (!pipeline_.Send(*conversation_, command, command, *error_)) {
    DropText();
    return false;
  }
  conversation_->step = step;
  return true;
}

bool Pop3Update::Fail(platform::Text text) {
  DropText();
  // The update stops short: deletions the server already accepted are withdrawn too, since the
  // local items keep their marks and numbers and would no longer match the server after QUIT.
  if (deleAccepted_) {
    conversation_->Send("RSET\r\n");
    deleAccepted_ = false;
  }
  return EndWithError(*conversation_, *error_, std::move(text));
}

bool HasUpdateWork(const store::MailBox& box) {
  return store::NextDownloadMarked(box, -1) >= 0 || store::NextDeleteMarked(box, -1) >= 0;
}

bool UpdateNeedsDeletionWarning(const store::MailBox& box) { return store::NextDeleteMarked(box, -1) >= 0; }

bool StartUpdate(Conversation& conversation, int mailbox, const UpdateParts& parts) {
  if (mailbox < store::kFirstAccountIndex || mailbox >= static_cast<int>(parts.table.boxes.size()) ||
      conversation.socket() != kNoSocket) {
    return false;
  }
  if (!HasUpdateWork(*parts.table.boxes[static_cast<std::size_t>(mailbox)])) return false;
  return conversation.Start(mailbox, ConversationKind::kUpdate, std::make_unique<Pop3Update>(parts), false);
}

bool UpdateAfterCheck(Conversation& conversation, int mailbox, int newMailCount, ports::DialogPort& dialogs,
                      const UpdateParts& parts) {
  if (newMailCount == -1 || conversation.socket() != kNoSocket) return false;
  if (mailbox < store::kFirstAccountIndex || mailbox >= static_cast<int>(parts.table.boxes.size())) return false;
  const store::MailBox& box = *parts.table.boxes[static_cast<std::size_t>(mailbox)];
  if (!HasUpdateWork(box)) return false;
  if (parts.settings.CheckEndExecNoDelMsg == 1 && UpdateNeedsDeletionWarning(box)) {
    conversation.flags.messageBoxShowing = true;
    const ports::Answer answer = dialogs.ShowMessage("Update account", platform::Text(kDeletionWarning),
                                                  ports::MessageIcon::kQuestion, ports::MessageButtons::kYesNo, true);
    conversation.flags.messageBoxShowing = false;
    if (answer != ports::Answer::kYes) return false;
  }
  conversation.flags.autoCheck = false;
  conversation.flags.cycleRunning = false;
  conversation.flags.updateOrSend = false;
  conversation.flags.shift = false;
  return StartUpdate(conversation, mailbox, parts);
}

}  // namespace zelk::net
