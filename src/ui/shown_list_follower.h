#pragma once
#include <cstddef>
#include <vector>

#include "ports/ports.h"
#include "store/list_model.h"

namespace zelk::ui {

// The network work changes the shown mailbox's items and tells a list port which rows changed,
// but leaves the list's rows to whoever shows them. This port keeps the shown list's rows in step
// (a row appended for a new item, a row dropped for a deleted one, none after the mailbox was
// emptied) and passes every change on to the view, which asks the list for what it draws.
class ShownListFollower final : public ports::ListViewPort {
 public:
  ShownListFollower(store::ListModel& list, ports::ListViewPort& view) : list_(list), view_(view) {}

  void ExpectRows(int count) override { view_.ExpectRows(count); }
  // `row` is the new item's index: the network work appends to a compacted mailbox.
  void InsertRow(int row) override;
  void ResettingRows() override { view_.ResettingRows(); }
  void RowsReset() override;
  void RemovingRow(int row) override { view_.RemovingRow(row); }
  void RowRemoved(int row) override;
  void RedrawRow(int row) override { view_.RedrawRow(row); }
  void SelectRow(int row, bool focus) override { view_.SelectRow(row, focus); }
  void ScrollToRow(int row) override { view_.ScrollToRow(row); }
  void SuspendRedraw() override { view_.SuspendRedraw(); }
  // Removals end with the mailbox compacted: the rows left then follow their items.
  void ResumeRedraw() override;
  void ListChanged() override { view_.ListChanged(); }

 private:
  store::ListModel& list_;
  ports::ListViewPort& view_;
  std::vector<std::size_t> removedItems_;  // since the last compaction
};

}  // namespace zelk::ui
