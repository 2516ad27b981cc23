#include "gui/settings/initialise_dialog.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

#include "config/initialise_rules.h"
#include "gui/settings/sheet_widgets.h"

namespace zelk::gui {

InitialiseDialog::InitialiseDialog(store::MailBox& account, QWidget* parent)
    : QDialog(parent),
      account_(account),
      newMailOnly_(new QRadioButton("New mail only", this)),
      fromItem_(new QRadioButton("Mail from item number:", this)),
      itemNumber_(NewNumberField(1, 0, 999999, "itemNumber", this)) {
  setWindowTitle("Initialise");
  setObjectName("initialiseDialog");
  newMailOnly_->setObjectName("newMailOnly");
  fromItem_->setObjectName("fromItem");
  newMailOnly_->setChecked(true);
  itemNumber_->setEnabled(false);
  connect(fromItem_, &QRadioButton::toggled, itemNumber_, &QWidget::setEnabled);

  auto* group = new QGroupBox("When checking mail download:", this);
  auto* groupLayout = new QVBoxLayout(group);
  groupLayout->addWidget(newMailOnly_);
  auto* fromRow = new QHBoxLayout;
  fromRow->addWidget(fromItem_);
  fromRow->addWidget(itemNumber_);
  groupLayout->addLayout(fromRow);
  auto* figures = new QFormLayout;
  auto* count = new QLabel(ToQt(config::MailCountText(account.MailCnt)), this);
  auto* size = new QLabel(ToQt(config::TotalSizeText(account.MailSize)), this);
  count->setObjectName("mailCount");
  size->setObjectName("totalSize");
  figures->addRow("# of Mails:", count);
  figures->addRow("Total Size:", size);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(group);
  layout->addLayout(figures);
  layout->addWidget(NewOkCancel(*this));
}

void InitialiseDialog::accept() {
  const config::InitialiseFrom from =
      fromItem_->isChecked() ? config::InitialiseFrom::kItemNumber : config::InitialiseFrom::kNewMailOnly;
  account_.LastNo = config::LastNoAfterInitialise(from, itemNumber_->value());
  QDialog::accept();
}

}  // namespace zelk::gui
