#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "config/settings.h"
#include "mime/dates.h"
#include "net/conversation.h"
#include "net/pop3_login.h"
#include "net/pop3_check.h"
#include "platform/clock.h"
#include "store/mailbox_table.h"
#include "store/message_parse.h"
#include "ports/ports.h"

// The POP3 update: carries out the user's marks on one account. It downloads the whole text of
// every item marked for download, then deletes every item marked for deletion, and before acting
// on a message number it proves that the server's message there is still the item's message, so
// that a number that moved never downloads into or deletes the wrong item.
namespace zelk::net {

// What the update needs besides the conversation. Every reference outlives the conversation.
struct UpdateParts {
  const config::Settings& settings;
  store::MailBoxTable& table;
  // Follows the changes to the displayed mailbox: RedrawRow for each downloaded item, and the
  // deleted items' rows removed between SuspendRedraw and ResumeRedraw.
  ports::ListViewPort& list;
  WorkHooks& hooks;  // ShowCounts
  mime::LocalZone& zone;
  const platform::Clock& clock;
  RowLocator rowOf;
};

// The ProtocolHandler of an update. Installed by StartUpdate; one per conversation.
class Pop3Update final : public Pop3Handler {
 public:
  explicit Pop3Update(UpdateParts parts);

 private:
  bool Dispatch(std::string_view line) override;
  bool LoggedIn() override;
  bool DownloadReply(std::string_view line);
  bool VerifyReply(std::string_view line);
  bool DeleReply(std::string_view line);
  bool UidReply(std::string_view line);
  bool Downloaded();
  // The next work from the start of the mailbox: a download, else a deletion, else QUIT.
  bool NextWork();
  bool StartDeletion(int index);
  // Whether the deletion of `item` first asks UIDL n: the item recorded the server's id and the
  // server offers UIDL.
  bool ChecksServerId(const store::MailItem& item) const;
  // TOP n 0 (RETR n once TOP was refused) for the deletion of message deleteNo_.
  bool SendVerification();
  std::string VerificationCommand(int number) const;
  static std::string RetrCommand(int number);
  static std::string UidCommand(int number);
  // With PIPELINING: the RETRs of the downloads after item `index` that fit the window.
  bool SendDownloadsAhead(int index);
  // With PIPELINING, along with the DELE of item `index`: the next deletion's UIDL n and TOP n 0.
  bool SendDeletionAhead(int index);
  bool DeletionsAccepted();
  void AppendLine(std::string_view line, bool progress);
  // The error text when the fetched text is not the message of the item at `index`, else empty.
  platform::Text IdentityError(int index) const;
  void PrepareText(std::int64_t expectedSize);
  void DropText();

  bool Send(const std::string& command, int step);
  bool Fail(platform::Text text) override;

  UpdateParts parts_;
  store::ParseContext context_;
  bool topRefused_ = false;    // verification uses RETR for the rest of the conversation
  bool receiving_ = false;     // the status line of a multi-line reply was accepted
  bool deleAccepted_ = false;  // the server holds deletions of this conversation
  int downloadNo_ = 0;
  int deleteNo_ = 0;
  int aheadIndex_ = -1;  // the last item whose download went out ahead
  std::string text_;  // the lines of the reply, each with its CR LF
  std::int64_t bytes_ = 0;
  int lineCounter_ = 0;

};

// Whether the account has anything for an update to do.
bool HasUpdateWork(const store::MailBox& box);
// Whether an update of the account would delete mail from the server, so that the user is asked
// kDeletionWarning first.
bool UpdateNeedsDeletionWarning(const store::MailBox& box);
inline constexpr std::string_view kDeletionWarning = "Warning!  This will delete mail from the server";
inline constexpr std::string_view kNoMarkedMail = "There is no marked mail";

// Opens an update of account `mailbox` (not the Savebox or Outbox) with a Pop3Update installed.
// False when a conversation exists, when nothing is marked for download or deletion, or when the connection could not be
// made (that error is then shown). Asking about deletions is the caller's part.
[[nodiscard]] bool StartUpdate(Conversation& conversation, int mailbox, const UpdateParts& parts);

// After a check of one account that counted its new mail (newMailCount not -1): updates the
// account when it has marks, first asking kDeletionWarning through `dialogs` when deletions are
// marked and CheckEndExecNoDelMsg is 1. True when an update started.
[[nodiscard]] bool UpdateAfterCheck(Conversation& conversation, int mailbox, int newMailCount, ports::DialogPort& dialogs,
                                    const UpdateParts& parts);

}  // namespace zelk::net
