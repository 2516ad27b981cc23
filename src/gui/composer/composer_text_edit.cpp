#include "gui/composer/composer_text_edit.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMimeData>

#include "compose/composer_text.h"

namespace zelk::gui {

namespace {

// The length as the stored body counts it: a line end is CR LF.
qsizetype StoredLength(const QString& text) { return text.size() + text.count('\n'); }

}  // namespace

ComposerTextEdit::ComposerTextEdit(QWidget* parent) : QPlainTextEdit(parent) {}

qsizetype ComposerTextEdit::Room() const {
  const QString selected = textCursor().selectedText().replace(QChar::ParagraphSeparator, '\n');
  const qsizetype used = StoredLength(toPlainText()) - StoredLength(selected);
  return std::max<qsizetype>(0, static_cast<qsizetype>(compose::kEditorLimit) - used);
}

void ComposerTextEdit::InsertWithinLimit(const QString& given) {
  QString text = given;
  text.replace("\r\n", "\n").replace('\r', '\n');
  qsizetype room = Room();
  qsizetype fits = 0;
  for (; fits < text.size(); ++fits) {
    const qsizetype cost = text[fits] == '\n' ? 2 : 1;
    if (cost > room) break;
    room -= cost;
  }
  // A character above U+FFFF is two units that go together.
  if (fits > 0 && fits < text.size() && text[fits - 1].isHighSurrogate()) --fits;
  if (fits < text.size()) QApplication::beep();
  if (fits > 0) textCursor().insertText(text.left(fits));
}

void ComposerTextEdit::keyPressEvent(QKeyEvent* event) {
  const QString typed = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter ? QString("\n") : event->text();
  const bool types = !typed.isEmpty() && (typed == "\n" || typed[0].isPrint() || typed == "\t") &&
                     !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier));
  if (types && StoredLength(typed) > Room()) {
    QApplication::beep();
    return;
  }
  QPlainTextEdit::keyPressEvent(event);
}

void ComposerTextEdit::insertFromMimeData(const QMimeData* source) {
  if (source->hasText()) InsertWithinLimit(source->text());
}

}  // namespace zelk::gui
