#pragma once
#include <QLabel>
#include <QMainWindow>
#include <QTimer>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "compose/external_editor.h"
#include "gui/adapters/message_boxes.h"
#include "gui/composer/composer_text_edit.h"
#include "ui/program_state.h"

namespace zelk::gui {

enum class ComposerCommand {
  kSendNow,
  kSaveToOutbox,
  kProperty,
  kClose,
  kUndo,
  kCut,
  kCopy,
  kPaste,
  kPasteFromFile,
  kSelectAll,
  kWordWrap,
};

// What the composer needs of the main window.
struct ComposerHost {
  ui::ProgramState& state;
  ui::WindowPorts& ports;
  std::function<bool()> networkIdle;                         // no conversation and no cycle
  std::function<void(const store::ItemRef&)> sendNow;        // the message, stored, to be sent at once
  std::function<void()> closeViewer;
  std::function<void()> closed;                              // the main window raised
};

// "Mail Edit": one message being written, its header summary over its body, or the message
// handed to an external editor while the window stays hidden.
class ComposerWindow final : public QMainWindow {
 public:
  ComposerWindow(ComposerHost host, store::ItemRef item, QWidget* parent);
  ~ComposerWindow() override;

  void Run(ComposerCommand command);
  // The close command: after "Cancel the edit?" for a changed body; false when the user kept it.
  bool Close();
  // The program closes every composer: stored in the Outbox without a question, then closed.
  void SaveAndClose();
  // The message in the external editor, the window hidden; false (and the window shown) when the
  // file could not be written or the editor not started.
  bool StartExternalEditor();
  bool ExternalEditRunning() const { return edit_ != nullptr; }
  // Saved or closed: the window is on its way out.
  bool finished() const { return finished_; }
  // The header summary and the title after the message's fields changed.
  void ApplyHeader();

  const store::ItemRef& item() const { return item_; }
  ComposerTextEdit& body() { return *body_; }
  QLabel& header() { return *header_; }
  QAction* action(ComposerCommand command) const { return actions_.at(command); }
  // "Paste from file"'s file dialog; tests answer it themselves. Nothing: cancelled.
  std::function<std::optional<QString>()> askPasteFile;

 protected:
  void closeEvent(QCloseEvent* event) override;

 private:
  void BuildActions();
  void BuildMenusAndToolBar();
  void ApplyWrap();
  // The Property dialog over the message; true when confirmed (the summary and the row follow).
  bool EditProperty();
  bool Save(bool silent);
  void CloseAfterSave(bool send, bool show);
  // The window goes; the message too unless it is in the Outbox.
  void Finish(bool showMain);
  void SendNow();
  void PasteFromFile();
  void WatchExternalEditor();

  ComposerHost host_;
  store::ItemRef item_;
  MessageBoxes dialogs_{this};
  QLabel* header_;
  ComposerTextEdit* body_;
  std::map<ComposerCommand, QAction*> actions_;
  std::unique_ptr<compose::ExternalEdit> edit_;
  QTimer watch_;
  bool finished_ = false;
};

}  // namespace zelk::gui
