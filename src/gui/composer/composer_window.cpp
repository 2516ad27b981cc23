// The composer's window: its panes, menus and tool bar, and each command as the core's rule.
#include "gui/composer/composer_window.h"

#include <QCloseEvent>
#include <QFileDialog>
#include <QMenuBar>
#include <QToolBar>

#include "compose/composer_text.h"
#include "gui/common/message_layout.h"
#include "gui/composer/property_dialog.h"
#include "gui/settings/sheet_widgets.h"
#include "platform/files.h"
#include "platform/line_breaks.h"
#include "ui/composer_commands.h"

namespace zelk::gui {

namespace {

using C = ComposerCommand;

struct ComposerEntry {
  ComposerCommand command;
  const char* text;
  QKeySequence shortcut;
  const char* icon;  // in the tool bar when set
};

const ComposerEntry kFileMenu[] = {
    {C::kSendNow, "&Send now", QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_G), ":/icons/send-now.svg"},
    {C::kSaveToOutbox, "Save to &Outbox", QKeySequence(Qt::CTRL | Qt::Key_G), ":/icons/save-to-outbox.svg"},
    {C::kProperty, "&Property...", QKeySequence(Qt::CTRL | Qt::Key_I), ":/icons/property.svg"},
    {C::kClose, "&Close", QKeySequence(Qt::Key_Escape), nullptr},
};
const ComposerEntry kEditMenu[] = {
    {C::kUndo, "&Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), nullptr},
    {C::kCut, "Cu&t", QKeySequence(Qt::CTRL | Qt::Key_X), nullptr},
    {C::kCopy, "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C), nullptr},
    {C::kPaste, "&Paste", QKeySequence(Qt::CTRL | Qt::Key_V), nullptr},
    {C::kPasteFromFile, "Paste from &file...", {}, nullptr},
    {C::kSelectAll, "Select &all", QKeySequence(Qt::CTRL | Qt::Key_A), nullptr},
    {C::kWordWrap, "&Word wrap", {}, nullptr},
};

// How often a running external editor is looked at.
constexpr int kEditorWatchMilliseconds = 250;

}  // namespace

ComposerWindow::ComposerWindow(ComposerHost host, store::ItemRef item, QWidget* parent)
    : QMainWindow(parent, Qt::Window), host_(std::move(host)), item_(std::move(item)) {
  setObjectName("ZelkEditWndClass");
  setAttribute(Qt::WA_DeleteOnClose);
  body_ = new ComposerTextEdit(this);
  body_->setObjectName("body");
  header_ = PutHeaderOverText(*this, *body_);
  BuildActions();
  BuildMenusAndToolBar();
  ApplyListFont(this, host_.state.settings);
  ApplyWrap();
  ApplyHeader();
  body_->setPlainText(ToQt(compose::EditorText(*item_)));
  body_->document()->setModified(false);
  item_->EditWindow = 1;
  askPasteFile = [this]() -> std::optional<QString> {
    const QString file = QFileDialog::getOpenFileName(this, "Open", "*.txt", "Text Files (*.txt);;All Files (*.*)");
    if (file.isEmpty()) return std::nullopt;
    return file;
  };
  connect(&watch_, &QTimer::timeout, this, [this] { WatchExternalEditor(); });
  resize(640, 480);
  body_->setFocus();
}

ComposerWindow::~ComposerWindow() {
  if (!finished_) item_->EditWindow = 0;
}

void ComposerWindow::BuildActions() {
  const auto make = [this](const ComposerEntry& entry) {
    auto* action = new QAction(QString::fromUtf8(entry.text), this);
    if (!entry.shortcut.isEmpty()) {
      action->setShortcut(entry.shortcut);
      action->setShortcutContext(Qt::WindowShortcut);
    }
    if (entry.icon != nullptr) action->setIcon(QIcon(entry.icon));
    const ComposerCommand command = entry.command;
    connect(action, &QAction::triggered, this, [this, command] { Run(command); });
    actions_[command] = action;
  };
  for (const ComposerEntry& entry : kFileMenu) make(entry);
  for (const ComposerEntry& entry : kEditMenu) make(entry);
  actions_.at(C::kWordWrap)->setCheckable(true);
  for (const C command : {C::kUndo, C::kCut, C::kCopy}) actions_.at(command)->setEnabled(false);
  connect(body_, &QPlainTextEdit::copyAvailable, this, [this](bool yes) {
    actions_.at(C::kCut)->setEnabled(yes);
    actions_.at(C::kCopy)->setEnabled(yes);
  });
  connect(body_, &QPlainTextEdit::undoAvailable, actions_.at(C::kUndo), &QAction::setEnabled);
}

void ComposerWindow::BuildMenusAndToolBar() {
  QMenu* file = menuBar()->addMenu("&File");
  QMenu* edit = menuBar()->addMenu("&Edit");
  QToolBar* tools = addToolBar("Tools");
  tools->setMovable(false);
  tools->setIconSize(QSize(24, 24));
  for (const ComposerEntry& entry : kFileMenu) {
    if (entry.command == C::kClose) file->addSeparator();
    file->addAction(actions_.at(entry.command));
    if (entry.icon != nullptr) tools->addAction(actions_.at(entry.command));
  }
  for (const ComposerEntry& entry : kEditMenu) {
    if (entry.command == C::kPasteFromFile || entry.command == C::kWordWrap) edit->addSeparator();
    edit->addAction(actions_.at(entry.command));
  }
}

void ComposerWindow::ApplyWrap() {
  const bool wrap = host_.state.settings.EditWordBreakFlag == 1;
  actions_.at(C::kWordWrap)->setChecked(wrap);
  body_->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
}

void ComposerWindow::ApplyHeader() {
  setWindowTitle(ToQt(compose::ComposerTitle(*item_)));
  header_->setText(ToQt(compose::HeaderSummary(*item_)));
}

void ComposerWindow::Run(ComposerCommand command) {
  switch (command) {
    case C::kSendNow: SendNow(); break;
    case C::kSaveToOutbox:
      if (Save(false)) CloseAfterSave(false, true);
      break;
    case C::kProperty: (void)EditProperty(); break;
    case C::kClose: (void)Close(); break;
    case C::kUndo: body_->undo(); break;
    case C::kCut: body_->cut(); break;
    case C::kCopy: body_->copy(); break;
    case C::kPaste: body_->paste(); break;
    case C::kPasteFromFile: PasteFromFile(); break;
    case C::kSelectAll: body_->selectAll(); break;
    case C::kWordWrap:
      host_.state.settings.EditWordBreakFlag = host_.state.settings.EditWordBreakFlag == 1 ? 0 : 1;
      ApplyWrap();
      break;
  }
}

bool ComposerWindow::EditProperty() {
  if (!gui::EditProperty(host_.state, *item_, false, this)) return false;
  ApplyHeader();
  ui::RedrawOutboxRow(host_.state, host_.ports, *item_);
  return true;
}

bool ComposerWindow::Save(bool silent) {
  ui::SaveSteps steps;
  if (!edit_) steps.editedText = FromQt(body_->toPlainText());
  steps.silent = silent;
  steps.selectInBody = [this](std::size_t position) {
    QTextCursor cursor = body_->textCursor();
    cursor.setPosition(static_cast<int>(position));
    cursor.setPosition(static_cast<int>(position) + 1, QTextCursor::KeepAnchor);
    body_->setTextCursor(cursor);
    body_->ensureCursorVisible();
    body_->setFocus();
  };
  steps.property = [this] { return EditProperty(); };
  return ui::SaveToOutbox(host_.state, host_.ports, item_, steps);
}

void ComposerWindow::CloseAfterSave(bool send, bool show) {
  if (!ui::ReleaseSavedItem(host_.state, *item_)) {
    dialogs_.ShowMessage("Error", "Save File error", ports::MessageIcon::kError, ports::MessageButtons::kOk);
  }
  const store::ItemRef item = item_;
  Finish(show);
  if (send && host_.sendNow) host_.sendNow(item);
}

void ComposerWindow::Finish(bool showMain) {
  finished_ = true;
  watch_.stop();
  edit_.reset();  // the editor's file goes with it
  item_->EditWindow = 0;
  item_->EditProcess = 0;
  close();
  if (showMain && host_.closed) host_.closed();
}

bool ComposerWindow::Close() {
  if (finished_) return true;
  if (body_->document()->isModified() &&
      dialogs_.ShowMessage("Mail Edit", ui::kCancelEditQuestion, ports::MessageIcon::kQuestion,
                           ports::MessageButtons::kYesNo, true) != ports::Answer::kYes) {
    return false;
  }
  Finish(true);
  return true;
}

void ComposerWindow::SaveAndClose() {
  if (finished_) return;
  if (edit_) {
    if (const std::optional<platform::Text> text = edit_->ReadBack(host_.state.settings)) item_->Body = *text;
  }
  (void)Save(true);
  CloseAfterSave(false, false);
}

void ComposerWindow::SendNow() {
  if (dialogs_.ShowMessage("Send now", ui::kSendItQuestion, ports::MessageIcon::kQuestion,
                           ports::MessageButtons::kYesNo) != ports::Answer::kYes) {
    return;
  }
  if (host_.networkIdle && !host_.networkIdle()) {
    dialogs_.ShowMessage("Send now", ui::kSendingBarred, ports::MessageIcon::kExclamation, ports::MessageButtons::kOk);
    return;
  }
  if (Save(false)) CloseAfterSave(true, true);
}

void ComposerWindow::PasteFromFile() {
  const std::optional<QString> file = askPasteFile();
  if (!file) return;
  const std::optional<std::string> bytes = platform::ReadWholeFile(FromQt(*file));
  if (!bytes) {
    dialogs_.ShowMessage("Error", "Open File error", ports::MessageIcon::kError, ports::MessageButtons::kOk);
    return;
  }
  if (bytes->empty()) return;
  body_->InsertWithinLimit(ToQt(platform::WithLfLineBreaks(platform::LocalToText(*bytes))));
}

bool ComposerWindow::StartExternalEditor() {
  if (host_.closeViewer) host_.closeViewer();
  const config::Settings& settings = host_.state.settings;
  const std::string file = compose::ExternalEditorFile(config::DataDirectoryPath(settings, host_.state.home),
                                                       settings.EditFileSuffix);
  edit_ = compose::ExternalEdit::Start(
      item_->Body,
      compose::ExternalEditorCommand(settings.EditApp, settings.EditAppCmdLine, file,
                                     compose::EditorEnvironmentOfProcess()),
      file);
  if (!edit_) {
    dialogs_.ShowMessage("Error", "The external editor could not be started", ports::MessageIcon::kError,
                         ports::MessageButtons::kOk);
    show();
    return false;
  }
  item_->EditProcess = 1;
  watch_.start(kEditorWatchMilliseconds);
  return true;
}

void ComposerWindow::WatchExternalEditor() {
  if (!edit_ || !edit_->Ended()) return;
  watch_.stop();
  item_->EditProcess = 0;
  if (const std::optional<platform::Text> text = edit_->ReadBack(host_.state.settings)) item_->Body = *text;
  edit_.reset();
  body_->setPlainText(ToQt(compose::EditorText(*item_)));
  ui::SaveSteps steps;  // the body is stored already: no editor text to take
  if (ui::SaveToOutbox(host_.state, host_.ports, item_, steps)) {
    CloseAfterSave(false, true);
  } else {
    show();
  }
}

void ComposerWindow::closeEvent(QCloseEvent* event) {
  if (finished_ || Close()) {
    event->accept();
  } else {
    event->ignore();
  }
}

}  // namespace zelk::gui
