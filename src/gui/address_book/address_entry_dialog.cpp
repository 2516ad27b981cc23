#include "gui/address_book/address_entry_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMessageBox>

namespace zelk::gui {

AddressEntryDialog::AddressEntryDialog(const book::Row& row, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Address");
  auto* form = new QFormLayout(this);
  address_ = new QLineEdit(QString::fromUtf8(row.address), this);
  comment_ = new QLineEdit(QString::fromUtf8(row.comment), this);
  for (QLineEdit* field : {address_, comment_}) field->setMaxLength(static_cast<int>(book::kEntryUnits));
  form->addRow("Mail address:", address_);
  form->addRow("Comment:", comment_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &AddressEntryDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &AddressEntryDialog::reject);
  form->addRow(buttons);
  setMinimumWidth(360);
}

void AddressEntryDialog::accept() {
  row_ = book::EnteredRow(address_->text().toStdString(), comment_->text().toStdString());
  if (!row_) {
    QMessageBox::warning(this, "Address", book::kNoAddressEntered);
    return;
  }
  QDialog::accept();
}

}  // namespace zelk::gui
