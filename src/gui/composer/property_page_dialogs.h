#pragma once
#include <QComboBox>
#include <QDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QTreeWidget>
#include <functional>
#include <optional>

#include "compose/property_pages.h"
#include "ui/program_state.h"

// The Property dialog's three pages, each a dialog over the dialog's scratch copy.
namespace zelk::gui {

// The model-dependent question on a field's text; false when the user refused the character,
// which is then selected in the field.
bool ModelDependentCharsAccepted(QLineEdit& field, const config::Settings& settings);

// "Cc, Bcc": the copies' addresses, one per row, typed in the field above the list.
class CopyAddressesDialog final : public QDialog {
 public:
  CopyAddressesDialog(ui::ProgramState& state, const store::OptionalText& cc, const store::OptionalText& bcc,
                      QWidget* parent);

  store::OptionalText cc() const { return compose::JoinCopyRows(rows_, false); }
  store::OptionalText bcc() const { return compose::JoinCopyRows(rows_, true); }
  QLineEdit& field() { return *field_; }
  QComboBox& type() { return *type_; }
  QTreeWidget& list() { return *list_; }
  // "Add": false when nothing was added (a refused character or no address).
  bool Add();
  void Delete();
  // A row opened: back into the field for editing.
  void OpenRow(int row);
  void accept() override;

 private:
  void Fill();

  ui::ProgramState& state_;
  std::vector<compose::CopyRow> rows_;
  QLineEdit* field_;
  QComboBox* type_;
  QTreeWidget* list_;
};

// "Attach files": the paths of the files sent with the message.
class AttachFilesDialog final : public QDialog {
 public:
  AttachFilesDialog(const store::OptionalText& attach, QWidget* parent);

  store::OptionalText attach() const { return compose::JoinAttachPaths(paths_); }
  QListWidget& list() { return *list_; }
  // The file-open dialog; tests answer it themselves. Empty: cancelled.
  std::function<QStringList()> askFiles;
  void Add();
  void Delete();

 private:
  void Fill();

  std::vector<platform::Text> paths_;
  QListWidget* list_;
};

// "Other headers": Reply-To.
class OtherHeadersDialog final : public QDialog {
 public:
  OtherHeadersDialog(const store::OptionalText& replyTo, QWidget* parent);

  store::OptionalText replyTo() const;
  QLineEdit& field() { return *replyTo_; }

 private:
  QLineEdit* replyTo_;
};

}  // namespace zelk::gui
