#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>

#include "config/settings.h"
#include "mime/dates.h"
#include "net/conversation.h"
#include "net/pop3_login.h"
#include "net/pop3_uid_list.h"
#include "platform/clock.h"
#include "store/mailbox_table.h"
#include "store/message_parse.h"
#include "ports/ports.h"

// The POP3 check: logs in to one account, asks how many messages the server holds, works out
// which of them are new from the account's LastNo and LastMessageId (re-synchronising with UIDL
// when the server's numbering moved), and turns the header of each new message into an item at
// the end of the account. It also serves the POP-before-SMTP login, which only logs in and quits.
namespace zelk::net {

// What the check needs besides the conversation. Every reference outlives the conversation.
struct CheckParts {
  const config::Settings& settings;
  store::MailBoxTable& table;  // the Savebox receives the receive filters' copies
  // Follows the changes to the displayed mailbox: rows inserted at the end, rows deleted by a
  // re-synchronisation (between SuspendRedraw and ResumeRedraw; the mailbox is compacted just
  // before ResumeRedraw, so item indexes a view holds are stale from then on), DeleteAllRows when
  // the account is emptied, RedrawRow for rows whose New flag was cleared.
  ports::ListViewPort& list;
  ports::ShellPort& shell;  // the wait cursor during a re-synchronisation
  WorkHooks& hooks;      // ShowCounts
  mime::LocalZone& zone;  // refreshed by every STAT reply
  const platform::Clock& clock;
  RowLocator rowOf;
  // Whether the new-mail notice is on screen; empty: never.
  std::function<bool()> newMailNoticeShowing;
};

// The ProtocolHandler of a check. Installed by StartCheck; one per conversation.
class Pop3Check final : public Pop3Handler {
 public:
  explicit Pop3Check(CheckParts parts);

 private:
  bool Dispatch(std::string_view line) override;
  bool LoggedIn() override;
  bool StatReply(std::string_view line);
  bool ListReply(std::string_view line);
  bool FetchReply(std::string_view line);
  bool UidlReply(std::string_view line);
  bool MessageDone();
  bool Resynchronise();
  void ItemAdded(store::MailItem& item);
  void EmptyMailbox();
  void PrepareText(std::int64_t expectedSize);
  void DropText();

  // The listing of message number_, after the server's unique ids when it offers them.
  bool SendListing();
  bool SendList();
  // With PIPELINING: the commands of the messages to come that fit the window, from message
  // number_'s LIST, or from its fetch once its LIST went out.
  bool SendAhead(bool fromList);
  static std::string ListCommand(int number);
  static std::string FetchCommand(int number, bool top, int lines);
  bool SendFetch(bool top, int lines);
  // UIDL for the whole mailbox: to re-synchronise, or only to record each new item's id.
  bool SendUidl(bool resynchronise);
  // After message number_: the next one, or QUIT after the last.
  bool NextMessage();
  bool Send(const std::string& command, int step);
  bool Finish();
  bool Fail(platform::Text text) override;

  CheckParts parts_;
  store::ParseContext context_;
  bool retr_ = false;          // fetch with RETR: ListDownload, or the server refused TOP
  bool firstNewSeen_ = false;  // an item was added in this conversation
  bool receiving_ = false;     // the status line of a multi-line reply was accepted
  int number_ = 0;             // the message being listed or fetched
  std::string text_;           // the lines of the reply, each with its CR LF
  store::OptionalText sizeText_;
  Pop3UidList uids_;
  bool uidsAsked_ = false;
  bool resynchronising_ = false;  // the UIDL awaited is for a re-synchronisation
  int aheadThrough_ = 0;          // the last message whose commands went out ahead

};

// Opens a check of account `mailbox` (not the Savebox or Outbox): clears its NewMail and starts
// the conversation with a Pop3Check installed. False when refused or when the connection could
// not be made (that error is then shown).
[[nodiscard]] bool StartCheck(Conversation& conversation, int mailbox, bool loginOnly, const CheckParts& parts);

}  // namespace zelk::net
