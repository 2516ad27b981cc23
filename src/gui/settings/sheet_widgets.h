#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <functional>
#include <vector>

#include "config/settings.h"
#include "store/mailbox.h"

// What the settings windows share: fields with the sheets' limits, the list font, and the sheet
// whose pages are built when first shown.
namespace zelk::gui {

QString ToQt(const platform::Text& text);
platform::Text FromQt(const QString& text);

// A single-line field that takes at most the sheets' field limit.
QLineEdit* NewField(const platform::Text& text, const char* name, QWidget* parent);
// The same for a password: never shown in clear, and not to be copied out.
QLineEdit* NewPasswordField(const platform::Text& text, const char* name, QWidget* parent);
// A field of whole numbers.
QSpinBox* NewNumberField(int value, int minimum, int maximum, const char* name, QWidget* parent);
QCheckBox* NewBox(const char* label, bool checked, const char* name, QWidget* parent);
// "None", "Implicit TLS", "STARTTLS" in the order of store::TlsMode.
QComboBox* NewTlsChoice(store::TlsMode mode, const char* name, QWidget* parent);

// A dialog's push button that Return never presses: Return is for the dialog's OK.
QPushButton* NewButton(const char* text, QWidget* parent, const char* name = nullptr);

// OK and Cancel under a dialog, wired to accept and reject.
QDialogButtonBox* NewOkCancel(QDialog& dialog);

// Every edit, combo-box and list control under `root` in the list font, when one is set.
void ApplyListFont(QWidget* root, const config::Settings& settings);

// A property sheet: pages on tabs, each built (and so reading its settings) when it is first
// shown; OK asks the sheet to store what the shown pages hold, Cancel leaves everything.
class PropertySheet : public QDialog {
 public:
  PropertySheet(const char* title, const config::Settings& settings, QWidget* parent);

  QTabWidget& tabs() { return *tabs_; }
  void accept() override;

 protected:
  // `build` fills the page's empty widget; it runs once, when the tab is first shown (the first
  // page's at once).
  void AddPage(const char* title, std::function<void(QWidget& page)> build);
  // OK: stores the shown pages; false keeps the sheet open.
  virtual bool Confirm() = 0;

 private:
  void Shown(int index);

  const config::Settings& settings_;
  QTabWidget* tabs_;
  std::vector<std::function<void(QWidget&)>> builders_;
  std::vector<bool> built_;
};

}  // namespace zelk::gui
