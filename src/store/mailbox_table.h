#pragma once
#include <memory>
#include <vector>

#include "store/mailbox.h"

namespace zelk::store {

inline constexpr int kSaveboxIndex = 0;
inline constexpr int kOutboxIndex = 1;
inline constexpr int kFirstAccountIndex = 2;
inline constexpr char kSaveboxName[] = "[Savebox]";
inline constexpr char kOutboxName[] = "[Outbox]";
inline constexpr char kUntitledName[] = "Untitled";

// The account selector of the main window, as far as the mailbox table changes it. Entries
// follow the table's indexes.
class SelectorPort {
 public:
  virtual ~SelectorPort() = default;
  virtual void EntryAdded(const Text& label) = 0;  // at the end
  virtual void EntryRemoved(int index) = 0;
  virtual void EntryRenamed(int index, const Text& label) = 0;
  virtual void EntrySelected(int index) = 0;
};

// For runs without a selector on screen.
class NoSelector final : public SelectorPort {
 public:
  void EntryAdded(const Text&) override {}
  void EntryRemoved(int) override {}
  void EntryRenamed(int, const Text&) override {}
  void EntrySelected(int) override {}
};

// Every mailbox of the program: the Savebox, the Outbox, then the accounts in the user's order,
// plus the address book.
struct MailBoxTable {
  std::vector<std::unique_ptr<MailBox>> boxes;
  MailBox addressBook;
  int selected = 0;
};

// Two empty local folders and an empty address book.
void Init(MailBoxTable& table);
// Appends an empty account (POP3 port 110, SMTP port 25), selected; returns its index.
int AddMailBox(MailBoxTable& table, SelectorPort& selector);
// Removes an account; the one before it becomes selected. The local folders cannot be removed.
void DeleteMailBox(MailBoxTable& table, int index, SelectorPort& selector);
// Move the selected account one place; the selection moves with it.
void MoveUp(MailBoxTable& table, SelectorPort& selector);
void MoveDown(MailBoxTable& table, SelectorPort& selector);
void FreeMailBox(MailBox& box);
// First index whose name equals `name` ignoring case; -1 for none or an absent name.
int FindMailBox(const MailBoxTable& table, const OptionalText& name);
// How a mailbox is named on screen (selector, titles): its name, or "Untitled" without one.
Text NameOrUntitled(const MailBox& box);

// Outbox searches: the next item after `after` marked for sending. With `account` (-1 = any)
// the item must belong to that account, else the first marked item of any account is taken;
// `account` then holds the returned item's account (or -1).
int NextSendMarked(const MailBoxTable& table, int after, int& account);
int NextSendMarked(const MailBoxTable& table, int after);
// Only items of this account; -1 for account -1.
int NextSendMarkedFor(const MailBoxTable& table, int after, int account);
// The first account in [start, end) that holds an unread item; -1 when start is not an account.
int NextUnreadMailBox(const MailBoxTable& table, int start, int end);

MailBox& Savebox(MailBoxTable& table);
MailBox& Outbox(MailBoxTable& table);
const MailBox& Outbox(const MailBoxTable& table);
int AccountCount(const MailBoxTable& table);

}  // namespace zelk::store
