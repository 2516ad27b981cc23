#pragma once
#include <QAbstractTableModel>
#include <functional>

#include "gui/main_window/row_images.h"
#include "store/list_model.h"

namespace zelk::gui {

// The message list as a Qt model over the core's list: every text and picture is asked for
// when a row is drawn, so a mailbox of any size costs only its visible rows. The core changes
// its rows first and tells the view after, so the model counts the rows the view has been told
// about, and reports each change to Qt at the moment it hears of it.
class MessageListModel final : public QAbstractTableModel {
 public:
  explicit MessageListModel(store::ListModel& list, QObject* parent = nullptr);

  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  // A row added at `row` (the core's list holds it already).
  void RowInserted(int row);
  // Before and after `row` leaves the core's list.
  void RowRemoving(int row);
  void RowRemoved();
  // Before and after every row changes: another mailbox shown, or the mailbox emptied.
  void Resetting();
  void ResetDone();
  void RowChanged(int row);
  void HeadersChanged();
  // Runs `reorder` on the core's list; selections and the focus follow their messages.
  void Reorder(const std::function<void()>& reorder);

  // How many cells the view has asked about, to show that only visible rows cost anything.
  long long dataCalls() const { return dataCalls_; }

 private:
  store::ListModel& list_;
  int rows_ = 0;
  mutable RowImages images_;
  mutable long long dataCalls_ = 0;
};

}  // namespace zelk::gui
