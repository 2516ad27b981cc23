#include "gui/viewer/viewer_text_pane.h"

#include <QKeyEvent>
#include <QScrollBar>
#include <QTextBlock>

#include "viewer/links.h"

namespace zelk::gui {

std::optional<ViewerCommand> CommandOfKey(int key, Qt::KeyboardModifiers modifiers) {
  const Qt::KeyboardModifiers mods = modifiers & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
  using C = ViewerCommand;
  if (enter && mods == Qt::ControlModifier) return C::kNextUnread;
  if (key == Qt::Key_Down && mods == (Qt::ControlModifier | Qt::AltModifier)) return C::kNextUnread;
  if ((enter || key == Qt::Key_Tab) && mods == Qt::NoModifier) return C::kNext;
  if (key == Qt::Key_Down && (mods == Qt::ControlModifier || mods == Qt::AltModifier)) return C::kNext;
  if ((enter || key == Qt::Key_Backtab || key == Qt::Key_Tab) && mods == Qt::ShiftModifier) return C::kPrevious;
  if (key == Qt::Key_Backspace && mods == Qt::NoModifier) return C::kPrevious;
  if (key == Qt::Key_Up && (mods == Qt::ControlModifier || mods == Qt::AltModifier)) return C::kPrevious;
  if (key == Qt::Key_Escape && mods == Qt::NoModifier) return C::kClose;
  return std::nullopt;
}

ViewerTextPane::ViewerTextPane(QWidget* parent) : QPlainTextEdit(parent) {
  setReadOnly(true);
  setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
  setUndoRedoEnabled(false);
  linkTimer_.setSingleShot(true);
  linkTimer_.setInterval(100);
  // The double click has selected its word by the time the timer fires.
  connect(&linkTimer_, &QTimer::timeout, this, [this] {
    const QString selection = textCursor().selectedText();
    if (!selection.isEmpty() && linkChosen) linkChosen(selection);
  });
}

bool ViewerTextPane::EndVisible() const {
  const QScrollBar* bar = verticalScrollBar();
  return bar->value() >= bar->maximum();
}

void ViewerTextPane::PageDown() { verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd); }

void ViewerTextPane::PageUp() { verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub); }

bool ViewerTextPane::event(QEvent* event) {
  // Tab belongs to the key table, not to the focus chain.
  if (event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab) {
      keyPressEvent(static_cast<QKeyEvent*>(event));
      return true;
    }
  }
  return QPlainTextEdit::event(event);
}

void ViewerTextPane::keyPressEvent(QKeyEvent* event) {
  const int key = event->key();
  const Qt::KeyboardModifiers mods = event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
  if (const std::optional<ViewerCommand> command = CommandOfKey(key, event->modifiers())) {
    if (run) run(*command);
    return;
  }
  const bool wrapping = lineWrapMode() != QPlainTextEdit::NoWrap;
  const auto space = [this] {
    if (EndVisible()) {
      if (run) run(ViewerCommand::kNextUnread);
    } else {
      PageDown();
    }
  };
  if (key == Qt::Key_Space) {
    if (mods == Qt::ControlModifier) {
      if (run) run(ViewerCommand::kNextUnread);
    } else if (mods == Qt::ShiftModifier) {
      PageUp();
    } else if (mods == Qt::NoModifier) {
      space();
    }
    return;
  }
  if (mods == Qt::NoModifier && (key == Qt::Key_Up || key == Qt::Key_Down)) {
    verticalScrollBar()->triggerAction(key == Qt::Key_Up ? QAbstractSlider::SliderSingleStepSub
                                                         : QAbstractSlider::SliderSingleStepAdd);
    return;
  }
  if (mods == Qt::NoModifier && (key == Qt::Key_Left || key == Qt::Key_Right)) {
    if (!wrapping) {
      horizontalScrollBar()->triggerAction(key == Qt::Key_Left ? QAbstractSlider::SliderSingleStepSub
                                                               : QAbstractSlider::SliderSingleStepAdd);
    } else if (key == Qt::Key_Left) {
      PageUp();
    } else {
      space();
    }
    return;
  }
  const bool arrow = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left || key == Qt::Key_Right;
  if (key == Qt::Key_Delete || (arrow && (mods & Qt::ShiftModifier))) return;  // consumed, as nothing can change
  QPlainTextEdit::keyPressEvent(event);
}

void ViewerTextPane::mouseDoubleClickEvent(QMouseEvent* event) {
  QPlainTextEdit::mouseDoubleClickEvent(event);
  // Qt's words end at punctuation; a link or an address is one word up to the blanks.
  const QTextCursor at = cursorForPosition(event->position().toPoint());
  const QTextBlock block = at.block();
  const viewer::WordSpan span =
      viewer::WordAround(block.text().toStdU16String(), static_cast<std::size_t>(at.positionInBlock()));
  QTextCursor word(document());
  word.setPosition(block.position() + static_cast<int>(span.start));
  word.setPosition(block.position() + static_cast<int>(span.end), QTextCursor::KeepAnchor);
  setTextCursor(word);
  linkTimer_.start();
}

void ViewerTextPane::mousePressEvent(QMouseEvent* event) {
  if (event->modifiers() & Qt::AltModifier) {
    if (editMenuAt) editMenuAt(event->globalPosition().toPoint());
    return;
  }
  QPlainTextEdit::mousePressEvent(event);
}

}  // namespace zelk::gui
