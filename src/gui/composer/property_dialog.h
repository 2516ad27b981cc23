#pragma once
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QPushButton>

#include "compose/property_pages.h"
#include "ui/program_state.h"

namespace zelk::gui {

class AttachFilesDialog;

// "Property": the account a message goes from, To, Subject, the pages for copies, attachments and
// other headers, and "Quote text" for a reply. The message changes only on OK, through the values.
class PropertyDialog final : public QDialog {
 public:
  PropertyDialog(ui::ProgramState& state, const compose::PropertyValues& values, QWidget* parent);

  // After OK: what the message takes (compose::ConfirmPropertyValues).
  const compose::PropertyValues& values() const { return values_; }

  QComboBox& account() { return *account_; }
  QLineEdit& to() { return *to_; }
  QLineEdit& subject() { return *subject_; }
  QCheckBox& quote() { return *quote_; }
  QPushButton& copiesButton() { return *copies_; }
  QPushButton& attachButton() { return *attach_; }
  QPushButton& otherButton() { return *other_; }
  void EditCopies();
  void EditAttachments();
  void EditOther();
  // How the Attach page asks for files; tests answer it themselves.
  std::function<void(AttachFilesDialog&)> prepareAttachPage;
  void accept() override;

 private:
  void ApplyCaptions();

  ui::ProgramState& state_;
  compose::PropertyValues values_;
  QComboBox* account_;
  QLineEdit* to_;
  QLineEdit* subject_;
  QCheckBox* quote_;
  QPushButton* copies_;
  QPushButton* attach_;
  QPushButton* other_;
};

// The dialog over a message: true when it was confirmed and the message took its values.
bool EditProperty(ui::ProgramState& state, store::MailItem& item, bool quoteShown, QWidget* parent);

}  // namespace zelk::gui
