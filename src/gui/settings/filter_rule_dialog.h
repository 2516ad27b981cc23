#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>

#include "filter/filter_page.h"

namespace zelk::gui {

// "Filter item": one rule, new or edited. OK refuses a rule without "Item1:".
class FilterRuleDialog final : public QDialog {
 public:
  FilterRuleDialog(const filter::FilterRow& row, QWidget* parent);
  filter::FilterRow Row() const;
  void accept() override;

 private:
  void ApplyEnabling();

  QCheckBox* enabled_;
  QComboBox* action_;
  QComboBox* item1_;
  QLineEdit* content1_;
  QComboBox* item2_;
  QLineEdit* content2_;
};

}  // namespace zelk::gui
