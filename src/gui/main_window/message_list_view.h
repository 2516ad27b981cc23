#pragma once
#include <QTreeView>
#include <functional>
#include <vector>

#include "gui/main_window/message_list_model.h"
#include "ports/ports.h"

namespace zelk::gui {

// The message list on screen: the view the core's list port talks to. Rows are selected many at
// a time; Enter, Shift+Enter, a double click and Space open as the window decides.
class MessageListView final : public QTreeView, public ports::ListViewPort {
 public:
  MessageListView(store::ListModel& list, QWidget* parent);

  MessageListModel& model() { return model_; }
  // The selected rows, top to bottom.
  std::vector<int> SelectedRows() const;
  int FocusedRow() const;
  // Every row selected, the list focused.
  void SelectAll();
  void ApplyFocus(const store::ListFocus& focus);
  // Where the Mail menu pops up for the keyboard: under the focused row.
  QPoint FocusedRowPoint() const;

  std::function<void()> enterPressed;  // Enter, Shift+Enter, a double click
  std::function<void()> spacePressed;
  std::function<void()> selectionChanged;

  // ports::ListViewPort
  void ExpectRows(int) override {}
  void InsertRow(int row) override { model_.RowInserted(row); }
  void ResettingRows() override { model_.Resetting(); }
  void RowsReset() override { model_.ResetDone(); }
  void RemovingRow(int row) override { model_.RowRemoving(row); }
  void RowRemoved(int) override { model_.RowRemoved(); }
  void RedrawRow(int row) override { model_.RowChanged(row); }
  void SelectRow(int row, bool focus) override;
  void ScrollToRow(int row) override;
  void SuspendRedraw() override { setUpdatesEnabled(false); }
  void ResumeRedraw() override { setUpdatesEnabled(true); }
  void ListChanged() override {}

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  MessageListModel model_;
};

}  // namespace zelk::gui
