#pragma once
#include <QDialog>
#include <QRadioButton>
#include <QSpinBox>

#include "store/mailbox.h"

namespace zelk::gui {

// "Initialise": where the account's next check starts, beside its message count and size. OK
// sets the account's LastNo.
class InitialiseDialog final : public QDialog {
 public:
  InitialiseDialog(store::MailBox& account, QWidget* parent);
  void accept() override;

 private:
  store::MailBox& account_;
  QRadioButton* newMailOnly_;
  QRadioButton* fromItem_;
  QSpinBox* itemNumber_;
};

}  // namespace zelk::gui
