#pragma once
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "store/mail_item.h"

namespace zelk::store {

// One receive filter of an account.
struct FilterRule {
  int Enable = 0;
  int Action = 0;
  OptionalText Header1;
  OptionalText Content1;
  OptionalText Header2;
  OptionalText Content2;
};

// How a connection to a server is secured.
enum class TlsMode : int {
  kNone = 0,      // plain TCP
  kImplicit = 1,  // TLS from the first byte (POP3S on 995, SMTPS on 465)
  kStartTls = 2,  // plain until STLS (POP3) or STARTTLS (SMTP), then TLS before any login
};

// One account or local folder. Fields bear the names of their profile keys.
struct MailBox {
  OptionalText Name;
  OptionalText Server;
  int Port = 0;
  OptionalText User;
  OptionalText Pass;
  OptionalText TmpPass;  // typed at the prompt, never saved
  int APOP = 0;
  std::string PopAddr;  // the address of Server that last worked (IPv4 or IPv6 text); empty: none yet
  int MailCnt = 0;
  int MailSize = 0;
  std::optional<std::string> LastMessageId;  // 8-bit: compared with what the server sends
  int LastNo = 0;                            // -1: list the server afresh
  OptionalText SmtpServer;
  int SmtpPort = 0;
  OptionalText UserName;
  OptionalText MailAddress;
  OptionalText Signature;
  OptionalText ReplyTo;
  int MyAddr2Bcc = 0;
  OptionalText BccAddr;
  int PopBeforeSmtp = 0;
  int SmtpAuth = 0;
  int SmtpAuthType = 0;
  int AuthUserPass = 0;
  OptionalText SmtpUser;
  OptionalText SmtpPass;
  OptionalText SmtpTmpPass;
  std::string SmtpAddr;  // the same for SmtpServer
  int NewMail = 0;
  int UnreadMark = 0;
  int CyclicFlag = 0;  // exempt from "check all"
  int FilterEnable = 0;
  std::vector<FilterRule> Filters;
  int RasMode = 0;
  OptionalText RasEntry;
  int RasReCon = 0;
  TlsMode PopTls = TlsMode::kNone;
  OptionalText PopFingerprint;  // a pinned SHA-256 certificate fingerprint: trusted instead of the store
  TlsMode SmtpTls = TlsMode::kNone;
  OptionalText SmtpFingerprint;
  std::vector<ItemRef> Items;  // slots may be null while an operation runs
};

// --- The item list of one mailbox. Indexes are 0-based; -1 means "not found". ---

// Makes room for n items; with n not above the count, gives back unused room.
void Reserve(MailBox& box, std::size_t n);
void Append(MailBox& box, ItemRef item);
// A copy of the item with every text duplicated, except: not new, no mark, No 0, no UIDL nor
// server UIDL.
ItemRef CopyItem(const MailItem& source);
// Appends a copy that takes sourceName when it names no mailbox. asNew (duplicating in the
// Outbox) also clears mark and status, Date and MessageId, and any editor attachment.
ItemRef AppendCopy(MailBox& box, const MailItem& item, const OptionalText& sourceName, bool asNew);
// Removes the null slots, keeping order.
void Compact(MailBox& box);
// Empties the slots; an item a composer holds lives on with the composer.
void FreeItems(std::span<ItemRef> slots);

int NextDownloadMarked(const MailBox& box, int after);
int NextDeleteMarked(const MailBox& box, int after);
int FindByNo(const MailBox& box, int no);
bool Contains(const MailBox& box, const MailItem* item);
// Searches the items before `before`, nearest first, for exactly this Message-Id.
int FindByMessageId(const MailBox& box, const OptionalText& id, int before);
// An unread item (any, or only a new one).
bool HasUnread(const MailBox& box, bool anyUnread);

// Thread order must be rebuilt after the list changed.
void InvalidateThreadOrder(MailBox& box);

}  // namespace zelk::store
