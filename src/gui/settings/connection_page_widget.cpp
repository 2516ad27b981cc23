#include "gui/settings/connection_page_widget.h"

#include <QFormLayout>
#include <QHBoxLayout>

#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

ConnectionPageWidget::ConnectionPageWidget(config::ConnectionPage& values, QWidget& page)
    : QObject(&page),
      values_(values),
      lan_(new QRadioButton("LAN", &page)),
      dialUp_(new QRadioButton("Dial-up", &page)),
      entries_(new QComboBox(&page)),
      user_(NewField(values.user, "rasUser", &page)),
      password_(NewPasswordField(values.password, "rasPassword", &page)),
      hangUpAndDial_(NewBox("Hang up and dial this account's server", values.hangUpAndDial, "rasReconnect", &page)) {
  lan_->setObjectName("lan");
  dialUp_->setObjectName("dialUp");
  entries_->setObjectName("rasEntry");
  (values.dialUp ? dialUp_ : lan_)->setChecked(true);
  for (const platform::Text& entry : values.choices()) entries_->addItem(ToQt(entry));
  entries_->setCurrentIndex(values.chosen());
  // Chosen from the open list or by keys on the closed one alike.
  connect(entries_, &QComboBox::activated, this, [this] { ListClosed(); });
  auto* modes = new QWidget(&page);
  auto* modeLayout = new QHBoxLayout(modes);
  modeLayout->setContentsMargins(0, 0, 0, 0);
  modeLayout->addWidget(lan_);
  modeLayout->addWidget(dialUp_);
  modeLayout->addStretch(1);
  auto* form = new QFormLayout(&page);
  form->addRow(modes);
  form->addRow("Connection:", entries_);
  form->addRow("Username:", user_);
  form->addRow("Password:", password_);
  form->addRow(hangUpAndDial_);
  connect(dialUp_, &QRadioButton::toggled, this, [this] { ApplyEnabling(); });
  ApplyEnabling();
}

void ConnectionPageWidget::ApplyEnabling() {
  values_.dialUp = dialUp_->isChecked();
  lan_->setEnabled(values_.RadioButtonsEnabled());
  dialUp_->setEnabled(values_.RadioButtonsEnabled());
  entries_->setEnabled(values_.ListEnabled());
  user_->setEnabled(values_.LoginEnabled());
  password_->setEnabled(values_.LoginEnabled());
  hangUpAndDial_->setEnabled(values_.LoginEnabled());
}

void ConnectionPageWidget::ListClosed() {
  if (entries_->currentIndex() == values_.chosen()) return;
  values_.user = FromQt(user_->text());
  values_.password = FromQt(password_->text());
  values_.ListClosed(entries_->currentIndex());
  user_->setText(ToQt(values_.user));
  password_->setText(ToQt(values_.password));
  ApplyEnabling();
}

void ConnectionPageWidget::Collect() {
  values_.dialUp = dialUp_->isChecked();
  values_.user = FromQt(user_->text());
  values_.password = FromQt(password_->text());
  values_.hangUpAndDial = hangUpAndDial_->isChecked();
}

}  // namespace zelk::gui
