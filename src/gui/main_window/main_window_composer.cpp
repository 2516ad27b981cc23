// The main window's ways into the composer: new messages, replies, the Outbox's messages and the
// addresses a link or a second start hands over.
#include <QTimer>

#include "compose/external_editor.h"
#include "compose/mailto.h"
#include "compose/new_message.h"
#include "gui/composer/composer_window.h"
#include "gui/composer/property_dialog.h"
#include "gui/main_window/main_window.h"
#include "gui/viewer/viewer_window.h"
#include "ui/composer_commands.h"
#include "ui/save_all.h"
#include "viewer/shown_message.h"

namespace zelk::gui {

ComposerWindow* MainWindow::composer() const { return composer_ && !composer_->finished() ? composer_.data() : nullptr; }

bool MainWindow::StartComposer(const ui::ComposeRequest& request) {
  return OpenComposer(nullptr, &request) == ComposerOpened::kWindow;
}

MainWindow::ComposerOpened MainWindow::OpenComposer(const store::ItemRef& outboxItem,
                                                    const ui::ComposeRequest* request) {
  if (composer()) {
    if (composer_->ExternalEditRunning()) return ComposerOpened::kNothing;
    composer_->show();
    composer_->raise();
    composer_->activateWindow();
    if (!composer_->Close()) return ComposerOpened::kWindow;
  }
  const bool shift = ShiftHeld();
  store::ItemRef item = outboxItem;
  if (!item) {
    const bool reply = request->kind != ui::ComposeKind::kNewMessage;
    item = reply ? compose::NewReply(request->message, request->shownMailbox,
                                     request->kind == ui::ComposeKind::kReplyToAll, state_.table, state_.settings)
                 : compose::NewMessage(&request->message);
    if (!EditProperty(state_, *item, reply && item->Mark == 1, this)) return ComposerOpened::kNothing;
    compose::FinishStartingBody(*item, reply ? &request->message : nullptr, state_.table, state_.settings);
  }
  composer_ = new ComposerWindow(
      ComposerHost{state_, ports_, [this] { return network_->Idle(); },
                   [this](const store::ItemRef& sent) {
                     (void)network_->SendNow(sent);
                     RefreshCommandStates();
                   },
                   [this] {
                     if (viewer_) viewer_->close();
                   },
                   [this] {
                     ShowAndRaise();
                     WindowActivated();
                   }},
      std::move(item), this);
  if (compose::UsesExternalEditor(state_.settings.DefEditApp, shift)) {
    QTimer::singleShot(0, composer_, [composer = composer_] {
      if (composer) (void)composer->StartExternalEditor();
    });
    return ComposerOpened::kExternalEditor;
  }
  composer_->show();
  composer_->raise();
  composer_->activateWindow();
  return ComposerOpened::kWindow;
}

void MainWindow::ReplyToFocused() {
  const store::ItemRef item = viewer::ItemOfRow(state_.list, list_->FocusedRow());
  if (!item) return;
  if (state_.table.selected != store::kOutboxIndex) {
    (void)StartComposer({ui::ComposeKind::kReply, *item, state_.table.selected});
    return;
  }
  if (!EditProperty(state_, *item, false, this)) return;
  ui::RedrawOutboxRow(state_, ports_, *item);
  if (composer() && composer_->item() == item) composer_->ApplyHeader();
  if (state_.settings.AutoSave == 1 && !ui::SaveOutbox(state_.home, state_.settings, state_.table)) {
    SetStatusText(1, "Save File error");
  }
}

void MainWindow::ComposeToAddress(const platform::Text& address) {
  ui::ComposeRequest request;
  compose::ParseMailtoText(address, request.message, compose::MailtoSource::kCommandLine);
  (void)StartComposer(request);
}

void MainWindow::CloseViewerAndComposers() {
  if (viewer_) viewer_->close();
  if (composer()) composer_->SaveAndClose();
}

}  // namespace zelk::gui
