#include "gui/settings/filter_rule_dialog.h"

#include <QFormLayout>
#include <QLabel>

#include "config/sheet_fields.h"
#include "filter/filters.h"
#include "gui/adapters/message_boxes.h"
#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

namespace {

QComboBox* HeaderChoice(const platform::Text& text, const char* name, QWidget* parent) {
  auto* choice = new QComboBox(parent);
  choice->setEditable(true);
  choice->setInsertPolicy(QComboBox::NoInsert);
  for (const std::string_view header : filter::kOfferedHeaderNames) {
    choice->addItem(QString::fromUtf8(header.data(), static_cast<qsizetype>(header.size())));
  }
  choice->lineEdit()->setMaxLength(static_cast<int>(config::kFieldLimit));
  choice->setEditText(ToQt(text));
  choice->setObjectName(name);
  return choice;
}

}  // namespace

FilterRuleDialog::FilterRuleDialog(const filter::FilterRow& row, QWidget* parent)
    : QDialog(parent),
      enabled_(NewBox("Enable filter item", row.use, "ruleEnabled", this)),
      action_(new QComboBox(this)),
      item1_(HeaderChoice(row.item1, "item1", this)),
      content1_(NewField(row.content1, "content1", this)),
      item2_(HeaderChoice(row.item2, "item2", this)),
      content2_(NewField(row.content2, "content2", this)) {
  setWindowTitle("Filter item");
  setObjectName("filterRuleDialog");
  for (int code = 0; code < filter::kActionCount; ++code) {
    const std::string_view name = filter::FilterRuleName(code);
    action_->addItem(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
  action_->setCurrentIndex(row.action >= 0 && row.action < filter::kActionCount ? row.action : 0);
  action_->setObjectName("action");
  auto* form = new QFormLayout(this);
  form->addRow(enabled_);
  form->addRow("Action:", action_);
  form->addRow("Item1:", item1_);
  form->addRow("Content1:", content1_);
  form->addRow(new QLabel("AND", this));
  form->addRow("Item2:", item2_);
  form->addRow("Content2:", content2_);
  form->addRow(NewOkCancel(*this));
  connect(enabled_, &QCheckBox::toggled, this, [this] { ApplyEnabling(); });
  ApplyEnabling();
}

void FilterRuleDialog::ApplyEnabling() {
  for (QWidget* field : std::initializer_list<QWidget*>{action_, item1_, content1_, item2_, content2_}) {
    field->setEnabled(enabled_->isChecked());
  }
}

filter::FilterRow FilterRuleDialog::Row() const {
  return {enabled_->isChecked(),           action_->currentIndex(),        FromQt(item1_->currentText()),
          FromQt(content1_->text()),       FromQt(item2_->currentText()), FromQt(content2_->text())};
}

void FilterRuleDialog::accept() {
  if (const std::optional<std::string_view> refusal = filter::CheckRule(Row())) {
    MessageBoxes(this).ShowMessage("Filter item", platform::Text(*refusal), ports::MessageIcon::kExclamation,
                                   ports::MessageButtons::kOk);
    item1_->setFocus();
    return;
  }
  QDialog::accept();
}

}  // namespace zelk::gui
