#include "store/mailbox_table.h"

#include <utility>

#include "platform/text_compare.h"

namespace zelk::store {

namespace {

int AccountOf(const MailBoxTable& table, const ItemRef& item) { return FindMailBox(table, item->MailBoxName); }

void SwapSelectedWith(MailBoxTable& table, int other, SelectorPort& selector) {
  const int selected = table.selected;
  std::swap(table.boxes[static_cast<std::size_t>(selected)], table.boxes[static_cast<std::size_t>(other)]);
  selector.EntryRenamed(selected, NameOrUntitled(*table.boxes[static_cast<std::size_t>(selected)]));
  selector.EntryRenamed(other, NameOrUntitled(*table.boxes[static_cast<std::size_t>(other)]));
  table.selected = other;
  selector.EntrySelected(other);
}

}  // namespace

void Init(MailBoxTable& table) {
  table.boxes.clear();
  table.boxes.push_back(std::make_unique<MailBox>());
  table.boxes.push_back(std::make_unique<MailBox>());
  table.addressBook = MailBox{};
  table.selected = 0;
}

int AddMailBox(MailBoxTable& table, SelectorPort& selector) {
  auto box = std::make_unique<MailBox>();
  box->Port = 110;
  box->SmtpPort = 25;
  table.boxes.push_back(std::move(box));
  const int index = static_cast<int>(table.boxes.size()) - 1;
  selector.EntryAdded(kUntitledName);
  table.selected = index;
  selector.EntrySelected(index);
  return index;
}

void DeleteMailBox(MailBoxTable& table, int index, SelectorPort& selector) {
  if (index < kFirstAccountIndex || index >= static_cast<int>(table.boxes.size())) return;
  table.boxes.erase(table.boxes.begin() + index);
  selector.EntryRemoved(index);
  table.selected = index - 1;
  selector.EntrySelected(index - 1);
}

void MoveUp(MailBoxTable& table, SelectorPort& selector) {
  if (table.selected < kFirstAccountIndex + 1 || table.boxes.size() < 4) return;
  SwapSelectedWith(table, table.selected - 1, selector);
}

void MoveDown(MailBoxTable& table, SelectorPort& selector) {
  const int last = static_cast<int>(table.boxes.size()) - 1;
  if (table.selected < kFirstAccountIndex || table.selected >= last || table.boxes.size() < 4) return;
  SwapSelectedWith(table, table.selected + 1, selector);
}

void FreeMailBox(MailBox& box) { box = MailBox{}; }

int FindMailBox(const MailBoxTable& table, const OptionalText& name) {
  if (!name) return -1;
  for (std::size_t i = 0; i < table.boxes.size(); ++i) {
    const OptionalText& candidate = table.boxes[i]->Name;
    if (candidate && platform::EqualIgnoringCase(*candidate, *name)) return static_cast<int>(i);
  }
  return -1;
}

int NextSendMarked(const MailBoxTable& table, int after, int& account) {
  const MailBox& outbox = Outbox(table);
  int fallback = -1;
  for (std::size_t i = static_cast<std::size_t>(std::max(after + 1, 0)); i < outbox.Items.size(); ++i) {
    const ItemRef& item = outbox.Items[i];
    if (!item || item->Mark != kMarkSend) continue;
    if (account == -1 || AccountOf(table, item) == account) {
      account = AccountOf(table, item);
      return static_cast<int>(i);
    }
    if (fallback < 0) fallback = static_cast<int>(i);
  }
  account = fallback < 0 ? -1 : AccountOf(table, outbox.Items[static_cast<std::size_t>(fallback)]);
  return fallback;
}

int NextSendMarked(const MailBoxTable& table, int after) {
  int anyAccount = -1;
  return NextSendMarked(table, after, anyAccount);
}

int NextSendMarkedFor(const MailBoxTable& table, int after, int account) {
  if (account == -1) return -1;
  const MailBox& outbox = Outbox(table);
  for (std::size_t i = static_cast<std::size_t>(std::max(after + 1, 0)); i < outbox.Items.size(); ++i) {
    const ItemRef& item = outbox.Items[i];
    if (item && item->Mark == kMarkSend && AccountOf(table, item) == account) return static_cast<int>(i);
  }
  return -1;
}

int NextUnreadMailBox(const MailBoxTable& table, int start, int end) {
  if (start < kFirstAccountIndex) return -1;
  for (int i = start; i < end && i < static_cast<int>(table.boxes.size()); ++i) {
    if (HasUnread(*table.boxes[static_cast<std::size_t>(i)], true)) return i;
  }
  return -1;
}

MailBox& Savebox(MailBoxTable& table) { return *table.boxes[kSaveboxIndex]; }
MailBox& Outbox(MailBoxTable& table) { return *table.boxes[kOutboxIndex]; }
const MailBox& Outbox(const MailBoxTable& table) { return *table.boxes[kOutboxIndex]; }
int AccountCount(const MailBoxTable& table) { return static_cast<int>(table.boxes.size()) - kFirstAccountIndex; }

Text NameOrUntitled(const MailBox& box) { return box.Name && !box.Name->empty() ? *box.Name : Text(kUntitledName); }

}  // namespace zelk::store
