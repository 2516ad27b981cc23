#include "gui/viewer/find_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QMessageBox>
#include <QVBoxLayout>

#include "viewer/find.h"

namespace zelk::gui {

FindDialog::FindDialog(const QString& text, const config::Settings& settings, QWidget* parent) : QDialog(parent) {
  setWindowTitle("Find");
  auto* layout = new QVBoxLayout(this);
  auto* form = new QFormLayout;
  text_ = new QLineEdit(text, this);
  form->addRow("Find text:", text_);
  layout->addLayout(form);
  matchCase_ = new QCheckBox("Match case", this);
  allFind_ = new QCheckBox("Search all mails in folder", this);
  subjectFind_ = new QCheckBox("Include subject in search", this);
  matchCase_->setChecked(settings.MatchCase == 1);
  allFind_->setChecked(settings.AllFind == 1);
  subjectFind_->setChecked(settings.SubjectFind == 1);
  subjectFind_->setEnabled(allFind_->isChecked());
  connect(allFind_, &QCheckBox::toggled, subjectFind_, &QCheckBox::setEnabled);
  for (QCheckBox* box : {matchCase_, allFind_, subjectFind_}) layout->addWidget(box);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &FindDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &FindDialog::reject);
  layout->addWidget(buttons);
  text_->selectAll();
}

void FindDialog::accept() {
  if (text_->text().isEmpty()) {
    QMessageBox::warning(this, "Find", viewer::kNoFindText);
    return;
  }
  QDialog::accept();
}

void FindDialog::Store(config::Settings& settings) const {
  settings.MatchCase = matchCase_->isChecked() ? 1 : 0;
  settings.AllFind = allFind_->isChecked() ? 1 : 0;
  settings.SubjectFind = subjectFind_->isChecked() ? 1 : 0;
}

}  // namespace zelk::gui
