#pragma once
#include <QCheckBox>
#include <QDialog>
#include <QLineEdit>

#include "config/settings.h"

namespace zelk::gui {

// "Find": the text and the three settings of a search. OK with an empty text is refused.
class FindDialog final : public QDialog {
 public:
  FindDialog(const QString& text, const config::Settings& settings, QWidget* parent);

  QString text() const { return text_->text(); }
  // The ticked boxes into the settings.
  void Store(config::Settings& settings) const;

  QLineEdit& textField() { return *text_; }
  QCheckBox& allFind() { return *allFind_; }

  void accept() override;

 private:
  QLineEdit* text_;
  QCheckBox* matchCase_;
  QCheckBox* allFind_;
  QCheckBox* subjectFind_;
};

}  // namespace zelk::gui
