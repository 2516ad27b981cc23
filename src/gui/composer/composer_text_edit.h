#pragma once
#include <QPlainTextEdit>

namespace zelk::gui {

// The composer's body: plain text that typing and pasting grow only up to the editor's limit.
class ComposerTextEdit final : public QPlainTextEdit {
 public:
  explicit ComposerTextEdit(QWidget* parent);

  // Replaces the selection with as much of `text` as the limit leaves room for, as one undo step.
  void InsertWithinLimit(const QString& text);

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void insertFromMimeData(const QMimeData* source) override;

 private:
  // The units left below the limit once the selection is gone (a line end counts two).
  qsizetype Room() const;
};

}  // namespace zelk::gui
