#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>

#include "config/account_sheet.h"

namespace zelk::gui {

// "SMTP-AUTH": the POP3 login for the SMTP server, or a login of its own. OK hands the three
// values to the SMTP page, which stores them when the sheet is confirmed.
class SmtpAuthDialog final : public QDialog {
 public:
  SmtpAuthDialog(const config::SmtpAuth& values, QWidget* parent);
  config::SmtpAuth Values() const;

 private:
  void ApplyEnabling();

  QCheckBox* usePop3_;
  QLineEdit* user_;
  QLineEdit* password_;
};

}  // namespace zelk::gui
