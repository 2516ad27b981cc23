#pragma once
#include <QDialog>
#include <QLineEdit>
#include <optional>

#include "book/address_book.h"

namespace zelk::gui {

// "Address": one row of the address book, new or changed. OK refuses an empty address.
class AddressEntryDialog final : public QDialog {
 public:
  AddressEntryDialog(const book::Row& row, QWidget* parent);

  const std::optional<book::Row>& row() const { return row_; }
  QLineEdit& address() { return *address_; }
  QLineEdit& comment() { return *comment_; }
  void accept() override;

 private:
  QLineEdit* address_;
  QLineEdit* comment_;
  std::optional<book::Row> row_;
};

}  // namespace zelk::gui
