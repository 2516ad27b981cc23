#include "gui/adapters/message_boxes.h"

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

namespace zelk::gui {

namespace {

QMessageBox::Icon IconOf(ports::MessageIcon icon) {
  switch (icon) {
    case ports::MessageIcon::kNone: return QMessageBox::NoIcon;
    case ports::MessageIcon::kInformation: return QMessageBox::Information;
    case ports::MessageIcon::kQuestion: return QMessageBox::Question;
    case ports::MessageIcon::kExclamation: return QMessageBox::Warning;
    case ports::MessageIcon::kError: return QMessageBox::Critical;
  }
  return QMessageBox::NoIcon;
}

}  // namespace

ports::Answer MessageBoxes::ShowMessage(const platform::Text& title, const platform::Text& text,
                                        ports::MessageIcon icon, ports::MessageButtons buttons, bool defaultNo) {
  // A parent that is hidden (in the tray) would keep the box from showing in front.
  QWidget* parent = parent_ && parent_->isVisible() ? parent_ : nullptr;
  QMessageBox box(IconOf(icon), QString::fromStdString(title), QString::fromStdString(text), QMessageBox::NoButton,
                  parent);
  box.setObjectName("message");
  if (buttons == ports::MessageButtons::kOk) {
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
    return ports::Answer::kOk;
  }
  box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
  box.setDefaultButton(defaultNo ? QMessageBox::No : QMessageBox::Yes);
  box.setEscapeButton(QMessageBox::No);
  return box.exec() == QMessageBox::Yes ? ports::Answer::kYes : ports::Answer::kNo;
}

std::optional<ports::DialogPort::Password> MessageBoxes::AskPassword(const platform::Text& title) {
  QDialog dialog(parent_ && parent_->isVisible() ? parent_ : nullptr);
  dialog.setObjectName("password");
  dialog.setWindowTitle(QString::fromStdString(title));
  auto* field = new QLineEdit(&dialog);
  field->setEchoMode(QLineEdit::Password);
  auto* doNotSave = new QCheckBox("Do not save password", &dialog);
  doNotSave->setChecked(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  auto* form = new QFormLayout;
  form->addRow("Password:", field);
  auto* layout = new QVBoxLayout(&dialog);
  layout->addLayout(form);
  layout->addWidget(doNotSave);
  layout->addWidget(buttons);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return Password{field->text().toStdString(), doNotSave->isChecked()};
}

}  // namespace zelk::gui
