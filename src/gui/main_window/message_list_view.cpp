#include "gui/main_window/message_list_view.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>

namespace zelk::gui {

MessageListView::MessageListView(store::ListModel& list, QWidget* parent) : QTreeView(parent), model_(list) {
  setObjectName("messageList");
  setModel(&model_);
  setRootIsDecorated(false);
  setItemsExpandable(false);
  // Equal rows let the view place 100,000 rows without asking each one for its height.
  setUniformRowHeights(true);
  setSelectionMode(QAbstractItemView::ExtendedSelection);
  setSelectionBehavior(QAbstractItemView::SelectRows);
  setEditTriggers(QAbstractItemView::NoEditTriggers);
  setAllColumnsShowFocus(true);
  setIconSize(RowImages::kSize);
  setContextMenuPolicy(Qt::CustomContextMenu);
  header()->setSectionsClickable(true);
  header()->setSectionsMovable(false);
  header()->setStretchLastSection(false);
  connect(this, &QTreeView::doubleClicked, this, [this] {
    if (enterPressed) enterPressed();
  });
  connect(selectionModel(), &QItemSelectionModel::selectionChanged, this, [this] {
    if (selectionChanged) selectionChanged();
  });
}

std::vector<int> MessageListView::SelectedRows() const {
  std::vector<int> rows;
  for (const QItemSelectionRange& range : selectionModel()->selection()) {
    for (int row = range.top(); row <= range.bottom(); ++row) rows.push_back(row);
  }
  std::sort(rows.begin(), rows.end());
  rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
  return rows;
}

int MessageListView::FocusedRow() const { return currentIndex().isValid() ? currentIndex().row() : -1; }

void MessageListView::SelectAll() {
  setFocus();
  selectAll();
}

void MessageListView::SelectRow(int row, bool focus) {
  const QModelIndex index = model_.index(row, 0);
  if (!index.isValid()) return;
  const auto flags = QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows;
  if (focus) {
    selectionModel()->setCurrentIndex(index, flags);
  } else {
    selectionModel()->select(index, flags);
  }
}

void MessageListView::ScrollToRow(int row) {
  const QModelIndex index = model_.index(row, 0);
  if (index.isValid()) scrollTo(index);
}

void MessageListView::ApplyFocus(const store::ListFocus& focus) {
  if (focus.lastRowFirst) ScrollToRow(model_.rowCount() - 1);
  if (focus.row >= 0) SelectRow(focus.row, true);
  if (focus.visibleRow >= 0) ScrollToRow(focus.visibleRow);
}

QPoint MessageListView::FocusedRowPoint() const {
  const QRect rect = visualRect(currentIndex());
  return viewport()->mapToGlobal(rect.isValid() ? rect.bottomLeft() : QPoint(0, 0));
}

void MessageListView::keyPressEvent(QKeyEvent* event) {
  const Qt::KeyboardModifiers mods = event->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && mods == Qt::NoModifier) {
    if (enterPressed) enterPressed();
    return;
  }
  if (event->key() == Qt::Key_Space && event->modifiers() == Qt::NoModifier) {
    if (spacePressed) spacePressed();
    return;
  }
  QTreeView::keyPressEvent(event);
}

}  // namespace zelk::gui
