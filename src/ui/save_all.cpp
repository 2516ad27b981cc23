#include "ui/save_all.h"

#include "store/mailbox_file.h"

namespace zelk::ui {

bool SaveLocalFiles(const std::string& homeDirectory, const config::Settings& settings,
                    const store::MailBoxTable& table) {
  const std::string data = config::DataDirectoryPath(settings, homeDirectory);
  bool ok = store::SaveAddressList(data + "Address.lst", table.addressBook);
  ok = store::SaveMailBox(data + store::kSaveboxFile, *table.boxes[store::kSaveboxIndex], store::kSaveWithBodies) && ok;
  ok = SaveOutbox(homeDirectory, settings, table) && ok;
  return ok;
}

bool SaveAllFiles(const std::string& homeDirectory, const config::Settings& settings,
                  const store::MailBoxTable& table) {
  const bool local = SaveLocalFiles(homeDirectory, settings, table);
  return config::SaveSettings(homeDirectory, settings, table, true) && local;
}

bool SaveOutbox(const std::string& homeDirectory, const config::Settings& settings,
                const store::MailBoxTable& table) {
  return store::SaveMailBox(config::DataDirectoryPath(settings, homeDirectory) + store::kOutboxFile,
                            *table.boxes[store::kOutboxIndex], store::kSaveWithBodies);
}

bool SaveAfterConversation(const std::string& homeDirectory, const config::Settings& settings,
                           const store::MailBoxTable& table, int mailbox) {
  if (mailbox == store::kOutboxIndex) return SaveOutbox(homeDirectory, settings, table);
  return config::SaveAccountProgress(homeDirectory, settings, table, mailbox);
}

}  // namespace zelk::ui
