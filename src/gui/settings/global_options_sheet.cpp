#include "gui/settings/global_options_sheet.h"

#include <QButtonGroup>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include <initializer_list>

namespace zelk::gui {

namespace {

constexpr int kLargestNumber = 99999;

// A number field between a label and a unit, on one row.
QWidget* NumberRow(const char* label, QSpinBox* field, const char* unit, QWidget& page) {
  auto* row = new QWidget(&page);
  auto* layout = new QHBoxLayout(row);
  layout->setContentsMargins(0, 0, 0, 0);
  if (label) layout->addWidget(new QLabel(label, row));
  layout->addWidget(field);
  if (unit) layout->addWidget(new QLabel(unit, row));
  layout->addStretch(1);
  return row;
}

QVBoxLayout* PageLayout(QWidget& page) {
  auto* layout = new QVBoxLayout(&page);
  layout->setAlignment(Qt::AlignTop);
  return layout;
}

}  // namespace

GlobalOptionsSheet::GlobalOptionsSheet(config::Settings& settings, QWidget* parent)
    : PropertySheet("Global Options", settings, parent), settings_(settings) {
  setObjectName("globalOptions");
  AddPage("Recv", [this](QWidget& page) { BuildRecv(page); });
  AddPage("Send", [this](QWidget& page) { BuildSend(page); });
  AddPage("Reply", [this](QWidget& page) { BuildReply(page); });
  AddPage("Check", [this](QWidget& page) { BuildCheck(page); });
  AddPage("Dial-up", [this](QWidget& page) { BuildDialUp(page); });
  AddPage("Other", [this](QWidget& page) { BuildOther(page); });
  resize(440, 400);
}

void GlobalOptionsSheet::BuildRecv(QWidget& page) {
  config::ShowOptionsPage(sheet_, config::OptionsPage::kRecv, settings_);
  config::RecvPage& v = *sheet_.recv;
  auto* lines = NewNumberField(v.linesToDownload, 0, kLargestNumber, "linesToDownload", &page);
  auto* entire = NewBox("Download entire body when checking", v.downloadEntireBody, "downloadEntireBody", &page);
  auto* header = NewBox("Include header lines", v.includeHeader, "includeHeader", &page);
  auto* group = new QGroupBox("Mail list", &page);
  auto* groupLayout = new QVBoxLayout(group);
  auto* modes = new QButtonGroup(group);
  // The button ids are the ListSaveMode values.
  const std::pair<const char*, int> choices[] = {
      {"Header and body are saved", 2}, {"Only header is saved", 1}, {"Do not save", 0}};
  for (const auto& [text, mode] : choices) {
    auto* button = new QRadioButton(text, group);
    button->setObjectName(QString("listSaveMode%1").arg(mode));
    button->setChecked(v.listSaveMode == mode);
    modes->addButton(button, mode);
    groupLayout->addWidget(button);
  }
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(NumberRow("Lines to be downloaded:", lines, nullptr, page));
  layout->addWidget(entire);
  layout->addWidget(header);
  layout->addWidget(group);
  lines->setEnabled(!entire->isChecked());
  connect(entire, &QCheckBox::toggled, lines, [lines](bool on) { lines->setEnabled(!on); });
  collectors_.push_back([&v, lines, entire, header, modes] {
    v = {lines->value(), entire->isChecked(), header->isChecked(), modes->checkedId() < 0 ? v.listSaveMode
                                                                                         : modes->checkedId()};
  });
}

void GlobalOptionsSheet::BuildSend(QWidget& page) {
  config::ShowOptionsPage(sheet_, config::OptionsPage::kSend, settings_);
  config::SendPage& v = *sheet_.send;
  auto* wrap = NewNumberField(v.wordWrapAt, 0, kLargestNumber, "wordWrapAt", &page);
  auto* quoted = NewBox("Quoted lines do not word wrap", v.quotedLinesDoNotWrap, "quotedLinesDoNotWrap", &page);
  auto* messageId = NewBox("Send 'Message-Id'", v.sendMessageId, "sendMessageId", &page);
  auto* date = NewBox("Send 'Date'", v.sendDate, "sendDate", &page);
  auto* outbox = NewBox("Show 'Outbox' on 'Save to Outbox'", v.showOutbox, "showOutbox", &page);
  auto* encoded = NewBox("Attachment names as encoded words", v.encodedAttachmentNames, "encodeType", &page);
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(NumberRow("Word wrap at:", wrap, "characters", page));
  for (QWidget* box : {quoted, messageId, date, outbox, encoded}) layout->addWidget(box);
  collectors_.push_back([&v, wrap, quoted, messageId, date, outbox, encoded] {
    v = {wrap->value(),     quoted->isChecked(), messageId->isChecked(), date->isChecked(), outbox->isChecked(),
         encoded->isChecked()};
  });
}

void GlobalOptionsSheet::BuildReply(QWidget& page) {
  config::ShowOptionsPage(sheet_, config::OptionsPage::kReply, settings_);
  config::ReplyPage& v = *sheet_.reply;
  auto* quote = NewBox("Quote orig. message", v.quote, "quote", &page);
  QLineEdit* mark = NewField(v.quotationChar, "quotationChar", &page);
  auto* header = new QPlainTextEdit(ToQt(v.replyHeader), &page);
  header->setObjectName("replyHeader");
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(quote);
  auto* form = new QFormLayout;
  form->addRow("Quotation char:", mark);
  layout->addLayout(form);
  layout->addWidget(new QLabel("Reply header:", &page));
  layout->addWidget(header, 1);
  collectors_.push_back([&v, quote, mark, header] {
    v = {quote->isChecked(), FromQt(mark->text()), FromQt(header->toPlainText())};
  });
}

void GlobalOptionsSheet::BuildCheck(QWidget& page) {
  config::ShowOptionsPage(sheet_, config::OptionsPage::kCheck, settings_);
  config::CheckPage& v = *sheet_.check;
  auto* newMail = NewBox("Display Message when new mail arrives", v.newMailMessage, "newMailMessage", &page);
  auto* noMail = NewBox("Display Message when no new mail", v.noMailMessage, "noMailMessage", &page);
  auto* sound = NewBox("Sound when new mail", v.newMailSound, "newMailSound", &page);
  auto* autoCheck = NewBox("Auto Check:", v.autoCheck, "autoCheck", &page);
  auto* minutes = NewNumberField(v.autoCheckMinutes, 0, kLargestNumber, "autoCheckMinutes", &page);
  auto* onStart = NewBox("Check e-mail on start", v.checkOnStart, "checkOnStart", &page);
  auto* afterUpdate = NewBox("Check after update", v.checkAfterUpdate, "checkAfterUpdate", &page);
  auto* endSound = NewBox("Sound when update or send ends", v.soundAfterUpdateOrSend, "execEndSound", &page);
  auto* recvError = NewBox("Ignore recieve error", v.ignoreReceiveError, "ignoreReceiveError", &page);
  auto* sendError = NewBox("Ignore send error", v.ignoreSendError, "ignoreSendError", &page);
  auto* autoRow = new QWidget(&page);
  auto* autoLayout = new QHBoxLayout(autoRow);
  autoLayout->setContentsMargins(0, 0, 0, 0);
  autoLayout->addWidget(autoCheck);
  autoLayout->addWidget(minutes);
  autoLayout->addWidget(new QLabel("min", autoRow));
  autoLayout->addStretch(1);
  QVBoxLayout* layout = PageLayout(page);
  for (QWidget* widget : std::initializer_list<QWidget*>{newMail, noMail, sound, autoRow, onStart, afterUpdate,
                                                       endSound, recvError, sendError}) {
    layout->addWidget(widget);
  }
  minutes->setEnabled(autoCheck->isChecked());
  connect(autoCheck, &QCheckBox::toggled, minutes, &QWidget::setEnabled);
  collectors_.push_back([=, &v] {
    v = {newMail->isChecked(),     noMail->isChecked(),   sound->isChecked(),     autoCheck->isChecked(),
         minutes->value(),         onStart->isChecked(),  afterUpdate->isChecked(), endSound->isChecked(),
         recvError->isChecked(),   sendError->isChecked()};
  });
}

void GlobalOptionsSheet::BuildDialUp(QWidget& page) {
  config::ShowOptionsPage(sheet_, config::OptionsPage::kDialUp, settings_);
  config::DialUpPage& v = *sheet_.dialUp;
  auto* force = NewBox("Force connection to check mail at start", v.forceConnection, "rasCon", &page);
  auto* afterWork = NewBox("Disconnect, on exit program", v.disconnectAfterWork, "rasCheckEndDisCon", &page);
  auto* onExit = NewBox("Disconnect, when ending", v.disconnectOnExit, "rasEndDisCon", &page);
  auto* onlyIfUp = NewBox("Auto check only if connected", v.autoCheckOnlyIfConnected, "rasNoCheck", &page);
  auto* pause = NewNumberField(v.pauseSeconds, 0, kLargestNumber, "rasWaitSec", &page);
  QVBoxLayout* layout = PageLayout(page);
  for (QWidget* box : {force, afterWork, onExit, onlyIfUp}) layout->addWidget(box);
  layout->addWidget(NumberRow("Pause time between dial-up attempts:", pause, "sec", page));
  layout->addWidget(new QLabel("Every account has connection initialised", &page));
  collectors_.push_back([&v, force, afterWork, onExit, onlyIfUp, pause] {
    v = {force->isChecked(), afterWork->isChecked(), onExit->isChecked(), onlyIfUp->isChecked(), pause->value()};
  });
}

void GlobalOptionsSheet::BuildOther(QWidget& page) {
  config::ShowOptionsPage(sheet_, config::OptionsPage::kOther, settings_);
  config::OtherPage& v = *sheet_.other;
  auto* tray = NewBox("Icon on Today Page", v.trayIcon, "trayIcon", &page);
  auto* closeHides = NewBox("Close hides the window in the tray", v.closeHides, "closeHide", &page);
  auto* scan = NewBox("Scan all accounts when seeking", v.scanAllAccounts, "scanAllAccounts", &page);
  QVBoxLayout* layout = PageLayout(page);
  layout->addWidget(tray);
  layout->addWidget(closeHides);
  auto* scanRow = new QWidget(&page);
  auto* scanLayout = new QHBoxLayout(scanRow);
  scanLayout->setContentsMargins(0, 0, 0, 0);
  scanLayout->addWidget(scan);
  scanLayout->addWidget(new QLabel("unread mail", scanRow));
  scanLayout->addStretch(1);
  layout->addWidget(scanRow);
  closeHides->setEnabled(tray->isChecked());
  connect(tray, &QCheckBox::toggled, closeHides, &QWidget::setEnabled);
  collectors_.push_back([&v, tray, closeHides, scan] {
    v = {tray->isChecked(), closeHides->isChecked(), scan->isChecked()};
  });
}

bool GlobalOptionsSheet::Confirm() {
  for (const std::function<void()>& collect : collectors_) collect();
  config::ConfirmOptionsSheet(sheet_, settings_);
  return true;
}

}  // namespace zelk::gui
