#include "gui/address_book/address_book_dialog.h"

#include <QGridLayout>
#include <QHeaderView>
#include <QMessageBox>
#include <QShortcut>
#include <new>

#include "compose/mailto.h"
#include "gui/address_book/address_entry_dialog.h"
#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

AddressBookDialog::AddressBookDialog(ui::ProgramState& state, BookMode mode, QWidget* parent)
    : QDialog(parent), state_(state), mode_(mode) {
  setWindowTitle("Address book");
  auto* layout = new QGridLayout(this);
  list_ = new QTreeWidget(this);
  list_->setRootIsDecorated(false);
  list_->setHeaderLabels({"Mail address", "Comment"});
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->setSelectionBehavior(QAbstractItemView::SelectRows);
  list_->setColumnWidth(0, state.settings.AddColSize[0]);
  list_->setColumnWidth(1, state.settings.AddColSize[1]);
  for (const book::Row& row : book::RowsOfBook(state.table.addressBook)) AddRow(row);
  layout->addWidget(list_, 0, 0, 1, 6);
  const auto button = [this, layout](const char* text, int column, int line, auto slot) {
    QPushButton* b = NewButton(text, this);
    connect(b, &QPushButton::clicked, this, slot);
    layout->addWidget(b, line, column);
    return b;
  };
  button("^", 0, 1, [this] { MoveUp(); });
  button("v", 1, 1, [this] { MoveDown(); });
  button("Add", 2, 1, [this] { Add(); });
  button("Edit", 3, 1, [this] { Edit(); });
  button("Delete", 4, 1, [this] { Delete(); });
  button("Mail", 5, 1, [this] { Mail(); })->setEnabled(mode == BookMode::kManage);
  button("OK", 4, 2, [this] { accept(); })->setDefault(true);
  button("Cancel", 5, 2, [this] { reject(); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] {
    if (mode_ == BookMode::kChoose) {
      if (!list_->selectedItems().isEmpty()) accept();
    } else {
      Edit();
    }
  });
  new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_A), list_, [this] { list_->selectAll(); });
  new QShortcut(QKeySequence(Qt::Key_Delete), list_, [this] { Delete(); });
  resize(state.settings.AddColSize[0] + state.settings.AddColSize[1] + 40, 360);
}

QTreeWidgetItem* AddressBookDialog::AddRow(const book::Row& row) {
  auto* item = new QTreeWidgetItem(list_);
  item->setText(0, QString::fromUtf8(row.address));
  item->setText(1, QString::fromUtf8(row.comment));
  return item;
}

std::vector<book::Row> AddressBookDialog::Rows() const {
  std::vector<book::Row> rows;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) {
    const QTreeWidgetItem* item = list_->topLevelItem(i);
    rows.push_back({item->text(0).toStdString(), item->text(1).toStdString()});
  }
  return rows;
}

std::vector<bool> AddressBookDialog::Selection() const {
  std::vector<bool> selected;
  for (int i = 0; i < list_->topLevelItemCount(); ++i) selected.push_back(list_->topLevelItem(i)->isSelected());
  return selected;
}

void AddressBookDialog::Fill(const std::vector<book::Row>& rows, const std::vector<bool>& selected) {
  list_->clear();
  for (std::size_t i = 0; i < rows.size(); ++i) AddRow(rows[i])->setSelected(selected[i]);
}

void AddressBookDialog::SelectOnly(QTreeWidgetItem* row) {
  list_->clearSelection();
  row->setSelected(true);
  list_->setCurrentItem(row, 0, QItemSelectionModel::NoUpdate);
  list_->scrollToItem(row);
}

bool AddressBookDialog::Warn() {
  if (!list_->selectedItems().isEmpty()) return true;
  QMessageBox::warning(this, "Address book", book::kNoAddressSelected);
  return false;
}

std::optional<book::Row> AddressBookDialog::AskEntry(const book::Row& start) {
  if (askEntry) return askEntry(start);
  AddressEntryDialog dialog(start, this);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.row();
}

void AddressBookDialog::Add() {
  const std::optional<book::Row> row = AskEntry({});
  if (row) SelectOnly(AddRow(*row));
}

void AddressBookDialog::Edit() {
  QTreeWidgetItem* item = list_->currentItem();
  if (item == nullptr || !item->isSelected()) {
    if (list_->selectedItems().isEmpty()) return (void)Warn();
    item = list_->selectedItems().front();
  }
  SelectOnly(item);
  const std::optional<book::Row> row = AskEntry({item->text(0).toStdString(), item->text(1).toStdString()});
  if (!row) return;
  item->setText(0, QString::fromUtf8(row->address));
  item->setText(1, QString::fromUtf8(row->comment));
}

void AddressBookDialog::Delete() {
  if (!Warn()) return;
  if (QMessageBox::question(this, "Delete", "Delete it?") != QMessageBox::Yes) return;
  for (QTreeWidgetItem* item : list_->selectedItems()) delete item;
}

void AddressBookDialog::MoveUp() {
  std::vector<book::Row> rows = Rows();
  std::vector<bool> selected = Selection();
  if (book::MoveSelectedUp(rows, selected)) Fill(rows, selected);
}

void AddressBookDialog::MoveDown() {
  std::vector<book::Row> rows = Rows();
  std::vector<bool> selected = Selection();
  if (book::MoveSelectedDown(rows, selected)) Fill(rows, selected);
}

void AddressBookDialog::Mail() {
  if (!Warn()) return;
  const std::optional<platform::Text> joined = book::JoinSelectedAddresses(Rows(), Selection());
  accept();
  if (result() != QDialog::Accepted) return;
  ui::ComposeRequest request;
  compose::ParseMailtoText(*joined, request.message, compose::MailtoSource::kReceivedMessage);
  if (compose) compose(request);
}

void AddressBookDialog::accept() {
  if (mode_ == BookMode::kChoose) {
    chosen_ = book::JoinSelectedAddresses(Rows(), Selection());
    if (!chosen_) return (void)Warn();
  }
  try {
    if (!book::ConfirmRows(state_.table, Rows(), state_.settings, state_.home)) {
      QMessageBox::warning(this, "Error", "Save File error");
    }
  } catch (const std::bad_alloc&) {
    QMessageBox::warning(this, "Error", "Memory Allocation error");
    return;
  }
  state_.settings.AddColSize = {list_->columnWidth(0), list_->columnWidth(1)};
  QDialog::accept();
}

}  // namespace zelk::gui
