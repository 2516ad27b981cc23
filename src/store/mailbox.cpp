#include "store/mailbox.h"

#include <algorithm>

namespace zelk::store {

void InvalidateThreadOrder(MailBox& box) {
  if (!box.Items.empty() && box.Items[0]) box.Items[0]->ThreadNext = 0;
}

void Reserve(MailBox& box, std::size_t n) {
  if (n <= box.Items.size()) {
    box.Items.shrink_to_fit();
  } else {
    box.Items.reserve(n);
  }
}

void Append(MailBox& box, ItemRef item) {
  box.Items.push_back(std::move(item));
  InvalidateThreadOrder(box);
}

ItemRef CopyItem(const MailItem& source) {
  auto copy = std::make_shared<MailItem>(source);
  copy->New = 0;
  copy->Mark = copy->Status;
  copy->No = 0;
  copy->UIDL.reset();
  copy->ServerUidl.reset();
  return copy;
}

ItemRef AppendCopy(MailBox& box, const MailItem& item, const OptionalText& sourceName, bool asNew) {
  ItemRef copy = CopyItem(item);
  if (!copy->MailBoxName) copy->MailBoxName = sourceName;
  if (asNew) {
    copy->Mark = 0;
    copy->Status = 0;
    copy->Date.reset();
    copy->MessageId.reset();
    copy->EditWindow = 0;
    copy->EditProcess = 0;
  }
  Append(box, copy);
  return copy;
}

void Compact(MailBox& box) {
  std::erase(box.Items, nullptr);
  box.Items.shrink_to_fit();
  InvalidateThreadOrder(box);
}

void FreeItems(std::span<ItemRef> slots) {
  for (ItemRef& slot : slots) slot.reset();
}

namespace {

template <typename Predicate>
int FindFrom(const MailBox& box, int after, Predicate matches) {
  for (std::size_t i = static_cast<std::size_t>(std::max(after + 1, 0)); i < box.Items.size(); ++i) {
    if (box.Items[i] && matches(*box.Items[i])) return static_cast<int>(i);
  }
  return -1;
}

}  // namespace

int NextDownloadMarked(const MailBox& box, int after) {
  return FindFrom(box, after, [](const MailItem& item) { return item.Mark == kMarkDownload; });
}

int NextDeleteMarked(const MailBox& box, int after) {
  return FindFrom(box, after, [](const MailItem& item) { return item.Mark == kMarkDelete; });
}

int FindByNo(const MailBox& box, int no) {
  return FindFrom(box, -1, [no](const MailItem& item) { return item.No == no; });
}

bool Contains(const MailBox& box, const MailItem* item) {
  return std::any_of(box.Items.begin(), box.Items.end(), [item](const ItemRef& slot) { return slot.get() == item; });
}

int FindByMessageId(const MailBox& box, const OptionalText& id, int before) {
  if (!id) return -1;
  for (int i = std::min(before, static_cast<int>(box.Items.size())) - 1; i >= 0; --i) {
    const ItemRef& item = box.Items[static_cast<std::size_t>(i)];
    if (item && item->MessageId == id) return i;
  }
  return -1;
}

bool HasUnread(const MailBox& box, bool anyUnread) {
  return std::any_of(box.Items.rbegin(), box.Items.rend(), [anyUnread](const ItemRef& item) {
    return item && item->Status == kStatusUnread && (anyUnread || item->New == 1);
  });
}

}  // namespace zelk::store
