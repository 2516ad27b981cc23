#pragma once
#include <QLabel>
#include <QMainWindow>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "gui/adapters/message_boxes.h"
#include "gui/viewer/viewer_text_pane.h"
#include "ui/compose_request.h"
#include "ui/program_state.h"
#include "viewer/navigation.h"
#include "viewer/shown_message.h"

namespace zelk::gui {

// What the viewer needs of the main window.
struct ViewerHost {
  ui::ProgramState& state;
  ui::WindowPorts& ports;
  std::function<void(int row)> selectRow;                         // select and focus a row of the list
  std::function<bool(const ui::ComposeRequest&)> compose;         // true: the composer has a window of its own
  std::function<void()> mailSeen;                                 // the tray and the new-mail flag back to normal
  std::function<void()> closed;
};

// "Mail View": one message of the list at a time, its header pane over its text, with the
// commands to move through the list, find, save, reply and open links.
class ViewerWindow final : public QMainWindow {
 public:
  // A window of its own; the parent (the main window) only ends its life with it.
  ViewerWindow(ViewerHost host, QWidget* parent);

  // Shows an item of the mailbox selected in the main window (marked read) and brings the
  // window up. Items whose text is not here are passed over.
  void Show(const store::ItemRef& item, bool source = false);
  void Run(ViewerCommand command);
  // An attachment entry (500 + part).
  void RunAttachment(int command);

  ViewerTextPane& textPane() { return *text_; }
  QLabel& headerPane() { return *header_; }
  QMenu& editMenu() { return *editMenu_; }
  QAction* action(ViewerCommand command) const { return actions_.at(command); }
  const viewer::ShownMessage& shown() const { return shown_; }
  // Where a file is saved: the Save dialog by default; tests answer it themselves. Nothing: cancelled.
  std::function<std::optional<QString>(const QString& proposed, const QString& suffix, const QString& filter)>
      askSavePath;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildMenus();
  void RebuildEditMenu();
  void ApplyWrap();
  void ApplyHeader();
  void ApplyFont();
  bool StillThere();
  void Move(viewer::Move move);
  void ShowRow(int row);
  void Find(bool next);
  bool AskFindText();
  void SearchShown();
  void SearchRows();
  void SelectHit(std::size_t start);
  void SaveAs();
  void SaveAttachment(std::size_t part);
  void OpenExternalViewer();
  void DeleteAttachments();
  void ChooseLink(const QString& selection);
  void Reply(bool all);
  void AddressInformation();
  void Error(const char* text);
  std::optional<QString> DefaultSavePath(const QString& proposed, const QString& suffix, const QString& filter);

  ViewerHost host_;
  MessageBoxes dialogs_{this};
  QLabel* header_;
  ViewerTextPane* text_;
  QMenu* fileMenu_;
  QMenu* editMenu_;
  std::map<ViewerCommand, QAction*> actions_;
  viewer::ShownMessage shown_;
  bool narrow_ = false;
  std::u16string findText_;
  std::size_t findPosition_ = 0;
  bool searching_ = false;
  bool searchAborted_ = false;
};

}  // namespace zelk::gui
