#include "compose/new_message.h"

#include "compose/reply.h"

namespace zelk::compose {

store::ItemRef NewMessage(const store::MailItem* from) {
  auto item = from != nullptr ? std::make_shared<store::MailItem>(*from) : std::make_shared<store::MailItem>();
  item->Download = 1;
  return item;
}

store::ItemRef NewReply(const store::MailItem& answered, int shownMailbox, bool replyToAll,
                        const store::MailBoxTable& table, const config::Settings& settings) {
  auto item = NewMessage(nullptr);
  PrepareReply(*item, answered, shownMailbox, replyToAll, table, settings);
  item->Mark = answered.Body ? 1 : 0;
  return item;
}

void FinishStartingBody(store::MailItem& item, const store::MailItem* answered, const store::MailBoxTable& table,
                        const config::Settings& settings) {
  if (answered != nullptr) {
    BuildReplyBody(item, answered, item.Mark == 1, table, settings);
    item.Mark = 0;
  } else if (!item.Body) {
    BuildReplyBody(item, nullptr, false, table, settings);
  }
}

}  // namespace zelk::compose
