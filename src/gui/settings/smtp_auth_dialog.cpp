#include "gui/settings/smtp_auth_dialog.h"

#include <QFormLayout>

#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

SmtpAuthDialog::SmtpAuthDialog(const config::SmtpAuth& values, QWidget* parent)
    : QDialog(parent),
      usePop3_(NewBox("Use POP3 option", values.usePop3Login, "usePop3", this)),
      user_(NewField(values.user, "smtpUser", this)),
      password_(NewPasswordField(values.password, "smtpPassword", this)) {
  setWindowTitle("SMTP-AUTH");
  setObjectName("smtpAuthDialog");
  auto* form = new QFormLayout(this);
  form->addRow(usePop3_);
  form->addRow("Username:", user_);
  form->addRow("Password:", password_);
  form->addRow(NewOkCancel(*this));
  connect(usePop3_, &QCheckBox::toggled, this, [this] { ApplyEnabling(); });
  ApplyEnabling();
}

void SmtpAuthDialog::ApplyEnabling() {
  // The texts stay as typed while the POP3 login is used, and come back when it is not.
  user_->setEnabled(!usePop3_->isChecked());
  password_->setEnabled(!usePop3_->isChecked());
}

config::SmtpAuth SmtpAuthDialog::Values() const {
  return {usePop3_->isChecked(), FromQt(user_->text()), FromQt(password_->text())};
}

}  // namespace zelk::gui
