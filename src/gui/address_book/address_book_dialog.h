#pragma once
#include <QDialog>
#include <QPushButton>
#include <QTreeWidget>
#include <functional>
#include <optional>

#include "book/address_book.h"
#include "ui/compose_request.h"
#include "ui/program_state.h"

namespace zelk::gui {

enum class BookMode {
  kManage,  // from the main window: edit the book, or write to its addresses
  kChoose,  // from a composer's dialog: pick addresses for a field
};

// "Address book": the book's rows to edit, move, delete and choose from. OK rebuilds the book
// from the rows; Cancel leaves it as it was.
class AddressBookDialog final : public QDialog {
 public:
  AddressBookDialog(ui::ProgramState& state, BookMode mode, QWidget* parent);

  // Choose mode, after OK: the chosen addresses joined by ", ".
  const std::optional<platform::Text>& chosen() const { return chosen_; }
  std::function<bool(const ui::ComposeRequest&)> compose;
  // The entry dialog; tests answer it themselves. Nothing: cancelled.
  std::function<std::optional<book::Row>(const book::Row& start)> askEntry;

  QTreeWidget& list() { return *list_; }
  void Add();
  void Edit();
  void Delete();
  void MoveUp();
  void MoveDown();
  void Mail();
  void accept() override;

 private:
  std::vector<book::Row> Rows() const;
  std::vector<bool> Selection() const;
  void Fill(const std::vector<book::Row>& rows, const std::vector<bool>& selected);
  QTreeWidgetItem* AddRow(const book::Row& row);
  void SelectOnly(QTreeWidgetItem* row);
  std::optional<book::Row> AskEntry(const book::Row& start);
  bool Warn();

  ui::ProgramState& state_;
  BookMode mode_;
  QTreeWidget* list_;
  std::optional<platform::Text> chosen_;
};

}  // namespace zelk::gui
