#pragma once
#include <QDialog>
#include <QTreeWidget>
#include <functional>

#include "ui/compose_request.h"
#include "ui/program_state.h"

namespace zelk::gui {

// "Address information": the single addresses of a message's From, Reply-To, To and Cc, to add
// to the address book or to write to.
class AddressInformationDialog final : public QDialog {
 public:
  AddressInformationDialog(ui::ProgramState& state, const store::MailItem& item, int mailbox, QWidget* parent);

  std::function<bool(const ui::ComposeRequest&)> compose;
  bool composerWindowOpened() const { return composerOpened_; }
  QTreeWidget& list() { return *list_; }
  void AddToBook();
  void Reply();
  void NewMail();

 private:
  std::vector<std::string> Selected() const;
  bool Warn();  // "No address selected" when nothing is selected; true when something is
  void Compose(const ui::ComposeRequest& request);

  ui::ProgramState& state_;
  const store::MailItem& item_;
  int mailbox_;
  QTreeWidget* list_;
  bool composerOpened_ = false;
};

}  // namespace zelk::gui
