#pragma once
#include <QCheckBox>
#include <QPushButton>
#include <QTreeWidget>

#include <optional>

#include "config/settings.h"
#include "filter/filter_page.h"

namespace zelk::gui {

// The "Filter" page: the account's switch and its rules, with add, edit, delete, up and down.
class FilterPageWidget final : public QObject {
 public:
  // `settings`: the list font for the rule dialog.
  FilterPageWidget(filter::FilterPage& values, QWidget& page, const config::Settings& settings);
  void Collect();

  void AddRule();
  void EditRule();
  void DeleteRule();
  void Move(bool up);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The list anew from the page's rows, with the page's selection.
  void ShowRows();
  void ApplyEnabling();
  int Selected() const;

  // The rule dialog on `row`, in the list font; nothing when cancelled.
  std::optional<filter::FilterRow> AskRule(const filter::FilterRow& row);

  filter::FilterPage& values_;
  QWidget& page_;
  const config::Settings& settings_;
  QCheckBox* enabled_;
  QTreeWidget* list_;
  std::vector<QPushButton*> buttons_;
};

}  // namespace zelk::gui
