#include "gui/settings/filter_page_widget.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <algorithm>
#include <QVBoxLayout>

#include "gui/adapters/message_boxes.h"
#include "gui/settings/filter_rule_dialog.h"
#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

namespace {

constexpr int kStatusColumnWidth = 50;
constexpr int kColumnWidth = 100;
constexpr int kCellPadding = 20;  // the style's margins around a cell's text

}  // namespace

FilterPageWidget::FilterPageWidget(filter::FilterPage& values, QWidget& page, const config::Settings& settings)
    : QObject(&page),
      values_(values),
      page_(page),
      settings_(settings),
      enabled_(NewBox("Enable filter", values.enabled, "filterEnabled", &page)),
      list_(new QTreeWidget(&page)) {
  list_->setObjectName("filterList");
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setHeaderLabels({"Status", "Action", "Item 1", "Content 1", "Item 2", "Content 2"});
  // 50 pixels hold "Unused" only in small fonts: wider when the font needs it.
  const int statusWidth = list_->fontMetrics().horizontalAdvance("Unused") + kCellPadding;
  list_->header()->resizeSection(0, std::max(kStatusColumnWidth, statusWidth));
  for (int column = 1; column < 6; ++column) list_->header()->resizeSection(column, kColumnWidth);
  list_->installEventFilter(this);
  auto* buttonRow = new QHBoxLayout;
  const std::pair<const char*, std::function<void()>> commands[] = {
      {"Add", [this] { AddRule(); }},       {"Edit", [this] { EditRule(); }},
      {"Delete", [this] { DeleteRule(); }}, {"Up", [this] { Move(true); }},
      {"Down", [this] { Move(false); }}};
  for (const auto& [text, run] : commands) {
    auto* button = new QPushButton(text, &page);
    button->setObjectName(QString("filter%1").arg(text));
    connect(button, &QPushButton::clicked, this, run);
    buttonRow->addWidget(button);
    buttons_.push_back(button);
  }
  auto* layout = new QVBoxLayout(&page);
  layout->addWidget(enabled_);
  layout->addWidget(list_, 1);
  layout->addLayout(buttonRow);
  connect(enabled_, &QCheckBox::toggled, this, [this] { ApplyEnabling(); });
  connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { EditRule(); });
  connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { values_.Select(Selected()); });
  ShowRows();
  ApplyEnabling();
}

void FilterPageWidget::Collect() { values_.enabled = enabled_->isChecked(); }

int FilterPageWidget::Selected() const {
  const QList<QTreeWidgetItem*> selected = list_->selectedItems();
  return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.front());
}

void FilterPageWidget::ShowRows() {
  const int selected = values_.selected();
  list_->clear();
  for (const filter::FilterRow& row : values_.rows()) {
    QStringList texts;
    for (const platform::Text& text : filter::RowTexts(row)) texts << ToQt(text);
    list_->addTopLevelItem(new QTreeWidgetItem(texts));
  }
  if (QTreeWidgetItem* item = list_->topLevelItem(selected)) {
    list_->setCurrentItem(item);
    list_->scrollToItem(item);
  }
  values_.Select(selected);
}

void FilterPageWidget::ApplyEnabling() {
  list_->setEnabled(enabled_->isChecked());
  for (QPushButton* button : buttons_) button->setEnabled(enabled_->isChecked());
}

std::optional<filter::FilterRow> FilterPageWidget::AskRule(const filter::FilterRow& row) {
  FilterRuleDialog dialog(row, page_.window());
  ApplyListFont(&dialog, settings_);
  if (dialog.exec() != QDialog::Accepted) return std::nullopt;
  return dialog.Row();
}

void FilterPageWidget::AddRule() {
  const std::optional<filter::FilterRow> rule = AskRule(filter::FilterRow{});
  if (!rule) return;
  values_.Add(*rule);
  ShowRows();
}

void FilterPageWidget::EditRule() {
  const int row = Selected();
  if (row < 0) return;
  const std::optional<filter::FilterRow> rule = AskRule(values_.rows()[static_cast<std::size_t>(row)]);
  if (!rule) return;
  values_.Replace(row, *rule);
  ShowRows();
}

void FilterPageWidget::DeleteRule() {
  const int row = Selected();
  if (row < 0) return;
  if (MessageBoxes(page_.window()).ShowMessage("Delete", "Delete it?", ports::MessageIcon::kQuestion,
                                                ports::MessageButtons::kYesNo) != ports::Answer::kYes) {
    return;
  }
  values_.Delete(row);
  ShowRows();
}

void FilterPageWidget::Move(bool up) {
  const int row = Selected();
  if (row < 0) return;
  if (up) {
    values_.MoveUp(row);
  } else {
    values_.MoveDown(row);
  }
  ShowRows();
}

bool FilterPageWidget::eventFilter(QObject* watched, QEvent* event) {
  if (watched == list_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
    DeleteRule();
    return true;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace zelk::gui
