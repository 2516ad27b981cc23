#include "ui/shown_list_follower.h"

#include <algorithm>

namespace zelk::ui {

void ShownListFollower::InsertRow(int row) {
  const int added = store::AppendRow(list_, static_cast<std::size_t>(row));
  if (added >= 0) view_.InsertRow(added);
}

void ShownListFollower::RowsReset() {
  list_.rows.clear();
  removedItems_.clear();
  view_.RowsReset();
}

void ShownListFollower::RowRemoved(int row) {
  if (row >= 0 && row < store::RowCount(list_)) {
    const auto at = list_.rows.begin() + row;
    removedItems_.push_back(*at);
    list_.rows.erase(at);
  }
  view_.RowRemoved(row);
}

void ShownListFollower::ResumeRedraw() {
  if (!removedItems_.empty()) {
    std::sort(removedItems_.begin(), removedItems_.end());
    for (std::size_t& index : list_.rows) {
      index -= static_cast<std::size_t>(std::lower_bound(removedItems_.begin(), removedItems_.end(), index) -
                                        removedItems_.begin());
    }
    removedItems_.clear();
  }
  view_.ResumeRedraw();
}

}  // namespace zelk::ui
