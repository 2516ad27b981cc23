#include "gui/main_window/message_list_model.h"

#include <unordered_map>

namespace zelk::gui {

MessageListModel::MessageListModel(store::ListModel& list, QObject* parent)
    : QAbstractTableModel(parent), list_(list), rows_(store::RowCount(list)) {}

int MessageListModel::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : rows_; }

int MessageListModel::columnCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : store::kColumnCount;
}

QVariant MessageListModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rows_) return {};
  ++dataCalls_;
  switch (role) {
    case Qt::DisplayRole: return QString::fromStdString(store::CellText(list_, index.row(), index.column()));
    case Qt::DecorationRole:
      if (index.column() != 0) return {};
      return images_.For(store::LookOfRow(list_, index.row()));
    case Qt::TextAlignmentRole:
      return QVariant::fromValue(Qt::AlignVCenter |
                                 (store::ColumnAlignsRight(index.column()) ? Qt::AlignRight : Qt::AlignLeft));
    default: return {};
  }
}

QVariant MessageListModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || section < 0 || section >= store::kColumnCount) return {};
  if (role == Qt::DisplayRole) return QString::fromUtf8(store::ColumnTitle(list_, section));
  if (role == Qt::TextAlignmentRole) {
    return QVariant::fromValue(Qt::AlignVCenter | (store::ColumnAlignsRight(section) ? Qt::AlignRight : Qt::AlignLeft));
  }
  return {};
}

void MessageListModel::RowInserted(int row) {
  // The core appended its row already; Qt hears of it now.
  beginInsertRows({}, row, row);
  ++rows_;
  endInsertRows();
}

void MessageListModel::RowRemoving(int row) { beginRemoveRows({}, row, row); }

void MessageListModel::RowRemoved() {
  --rows_;
  endRemoveRows();
}

void MessageListModel::Resetting() { beginResetModel(); }

void MessageListModel::ResetDone() {
  rows_ = store::RowCount(list_);
  endResetModel();
}

void MessageListModel::RowChanged(int row) {
  if (row < 0 || row >= rows_) return;
  emit dataChanged(index(row, 0), index(row, store::kColumnCount - 1));
}

void MessageListModel::HeadersChanged() { emit headerDataChanged(Qt::Horizontal, 0, store::kColumnCount - 1); }

void MessageListModel::Reorder(const std::function<void()>& reorder) {
  emit layoutAboutToBeChanged();
  const QModelIndexList before = persistentIndexList();
  std::vector<const store::MailItem*> items;
  items.reserve(static_cast<std::size_t>(before.size()));
  for (const QModelIndex& index : before) items.push_back(store::ItemOfRow(list_, index.row()));
  reorder();
  std::unordered_map<const store::MailItem*, int> rowOf;
  rowOf.reserve(list_.rows.size());
  for (int row = 0; row < store::RowCount(list_); ++row) rowOf.emplace(store::ItemOfRow(list_, row), row);
  QModelIndexList after;
  after.reserve(before.size());
  for (qsizetype i = 0; i < before.size(); ++i) {
    const auto found = rowOf.find(items[static_cast<std::size_t>(i)]);
    after.push_back(found == rowOf.end() ? QModelIndex() : index(found->second, before[i].column()));
  }
  changePersistentIndexList(before, after);
  emit layoutChanged();
}

}  // namespace zelk::gui
