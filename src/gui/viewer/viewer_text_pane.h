#pragma once
#include <QPlainTextEdit>
#include <QTimer>
#include <functional>
#include <optional>

namespace zelk::gui {

// The viewer's commands, for its menus, keys and tests.
enum class ViewerCommand {
  kPrevious, kNext, kNextUnread, kReply, kReplyToAll, kAddressInfo, kSaveAs, kExternalViewer, kClose,
  kCopy, kSelectAll, kFind, kFindNext, kWordWrap, kShowDate, kViewSource, kViewText, kDeleteAttach,
};

// The viewer's key table: the keys that run a command wherever the focus is in the viewer.
std::optional<ViewerCommand> CommandOfKey(int key, Qt::KeyboardModifiers modifiers);

// The read-only text of the message. Space pages down and moves on to the next unread message at
// the end; arrows scroll rather than move a caret; a double click opens the link under it; a
// click with Alt held opens the Edit menu.
class ViewerTextPane final : public QPlainTextEdit {
 public:
  explicit ViewerTextPane(QWidget* parent);

  std::function<void(ViewerCommand)> run;
  std::function<void(const QString& selection)> linkChosen;
  std::function<void(const QPoint& global)> editMenuAt;

  bool EndVisible() const;
  void PageDown();
  void PageUp();

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  bool event(QEvent* event) override;

 private:
  QTimer linkTimer_;
};

}  // namespace zelk::gui
