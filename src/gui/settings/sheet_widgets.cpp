#include "gui/settings/sheet_widgets.h"

#include <QAbstractItemView>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "config/sheet_fields.h"

namespace zelk::gui {

QString ToQt(const platform::Text& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

platform::Text FromQt(const QString& text) { return text.toStdString(); }

QLineEdit* NewField(const platform::Text& text, const char* name, QWidget* parent) {
  auto* field = new QLineEdit(ToQt(text), parent);
  field->setMaxLength(static_cast<int>(config::kFieldLimit));
  field->setObjectName(name);
  return field;
}

QLineEdit* NewPasswordField(const platform::Text& text, const char* name, QWidget* parent) {
  QLineEdit* field = NewField(text, name, parent);
  field->setEchoMode(QLineEdit::Password);
  return field;
}

QSpinBox* NewNumberField(int value, int minimum, int maximum, const char* name, QWidget* parent) {
  auto* field = new QSpinBox(parent);
  field->setRange(minimum, maximum);
  field->setValue(value);
  field->setObjectName(name);
  return field;
}

QCheckBox* NewBox(const char* label, bool checked, const char* name, QWidget* parent) {
  auto* box = new QCheckBox(QString::fromUtf8(label), parent);
  box->setChecked(checked);
  box->setObjectName(name);
  return box;
}

QComboBox* NewTlsChoice(store::TlsMode mode, const char* name, QWidget* parent) {
  auto* choice = new QComboBox(parent);
  choice->addItems({"None", "Implicit TLS", "STARTTLS"});
  choice->setCurrentIndex(static_cast<int>(mode));
  choice->setObjectName(name);
  return choice;
}

QPushButton* NewButton(const char* text, QWidget* parent, const char* name) {
  auto* button = new QPushButton(QString::fromUtf8(text), parent);
  button->setAutoDefault(false);
  if (name != nullptr) button->setObjectName(name);
  return button;
}

QDialogButtonBox* NewOkCancel(QDialog& dialog) {
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
  QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
  QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
  return buttons;
}

void ApplyListFont(QWidget* root, const config::Settings& settings) {
  if (settings.LvFontName.empty()) return;
  QFont font(ToQt(settings.LvFontName));
  if (settings.LvFontSize > 0) font.setPointSize(settings.LvFontSize);
  for (QWidget* child : root->findChildren<QWidget*>()) {
    if (qobject_cast<QLineEdit*>(child) || qobject_cast<QComboBox*>(child) || qobject_cast<QSpinBox*>(child) ||
        qobject_cast<QPlainTextEdit*>(child) || qobject_cast<QAbstractItemView*>(child)) {
      child->setFont(font);
    }
  }
}

PropertySheet::PropertySheet(const char* title, const config::Settings& settings, QWidget* parent)
    : QDialog(parent), settings_(settings), tabs_(new QTabWidget(this)) {
  setWindowTitle(QString::fromUtf8(title));
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(tabs_, 1);
  layout->addWidget(NewOkCancel(*this));
  connect(tabs_, &QTabWidget::currentChanged, this, [this](int index) { Shown(index); });
}

void PropertySheet::AddPage(const char* title, std::function<void(QWidget& page)> build) {
  auto* page = new QWidget(tabs_);
  builders_.push_back(std::move(build));
  built_.push_back(false);
  tabs_->addTab(page, QString::fromUtf8(title));
}

void PropertySheet::Shown(int index) {
  if (index < 0 || index >= static_cast<int>(built_.size()) || built_[static_cast<std::size_t>(index)]) return;
  built_[static_cast<std::size_t>(index)] = true;
  QWidget* page = tabs_->widget(index);
  builders_[static_cast<std::size_t>(index)](*page);
  ApplyListFont(page, settings_);
}

void PropertySheet::accept() {
  if (Confirm()) QDialog::accept();
}

}  // namespace zelk::gui
