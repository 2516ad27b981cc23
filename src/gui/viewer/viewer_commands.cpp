// What each of the viewer's commands does: the core's rule, then what the window shows.
#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QStandardPaths>
#include <QTextBlock>

#include "compose/mailto.h"
#include "config/settings.h"
#include "gui/address_book/address_information_dialog.h"
#include "gui/viewer/find_dialog.h"
#include "gui/viewer/viewer_window.h"
#include "mime/display_text.h"
#include "platform/launch.h"
#include "store/marks.h"
#include "viewer/external_viewer.h"
#include "viewer/find.h"
#include "viewer/links.h"
#include "viewer/saving.h"

namespace zelk::gui {

using C = ViewerCommand;

void ViewerWindow::Run(ViewerCommand command) {
  if (searching_) return;
  switch (command) {
    case C::kPrevious: Move(viewer::Move::kPrevious); break;
    case C::kNext: Move(viewer::Move::kNext); break;
    case C::kNextUnread: Move(viewer::Move::kNextUnread); break;
    case C::kReply: Reply(false); break;
    case C::kReplyToAll: Reply(true); break;
    case C::kAddressInfo: AddressInformation(); break;
    case C::kSaveAs: SaveAs(); break;
    case C::kExternalViewer: OpenExternalViewer(); break;
    case C::kClose: close(); break;
    case C::kCopy: text_->copy(); break;
    case C::kSelectAll: text_->selectAll(); break;
    case C::kFind: Find(false); break;
    case C::kFindNext: Find(true); break;
    case C::kWordWrap: {
      int& flag = host_.state.settings.WordBreakFlag;
      flag = flag == 1 ? 0 : 1;
      ApplyWrap();
      break;
    }
    case C::kShowDate: {
      int& flag = host_.state.settings.ViewShowDate;
      flag = flag == 1 ? 0 : 1;
      ApplyHeader();
      break;
    }
    case C::kViewSource:
    case C::kViewText:
      if (StillThere()) Show(shown_.item, command == C::kViewSource);
      break;
    case C::kDeleteAttach: DeleteAttachments(); break;
  }
}

void ViewerWindow::Error(const char* text) {
  dialogs_.ShowMessage("Error", text, ports::MessageIcon::kError, ports::MessageButtons::kOk);
}

bool ViewerWindow::StillThere() {
  if (viewer::StillInViewedMailbox(shown_, host_.state.table)) return true;
  Error(viewer::kNoMailInList);
  return false;
}

// --- Moving through the list ---

void ViewerWindow::ShowRow(int row) {
  const store::ItemRef item = viewer::ItemOfRow(host_.state.list, row);
  if (!viewer::CanShow(item.get())) return;
  if (host_.selectRow) host_.selectRow(row);
  Show(item);
}

void ViewerWindow::Move(viewer::Move move) {
  const int current = store::RowOfItem(host_.state.list, shown_.item.get());
  const viewer::MoveTarget target = viewer::FindMoveTarget(host_.state, current, move, host_.ports);
  if (target.row < 0) return;
  ShowRow(target.row);
  if (target.switchedMailbox && host_.mailSeen) host_.mailSeen();
}

// --- Find ---

bool ViewerWindow::AskFindText() {
  QString text = text_->textCursor().selectedText();
  if (text.isEmpty()) text = QString::fromStdU16String(findText_);
  FindDialog dialog(text, host_.state.settings, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  findText_ = dialog.text().toStdU16String();
  dialog.Store(host_.state.settings);
  return true;
}

void ViewerWindow::SelectHit(std::size_t start) {
  QTextCursor cursor = text_->textCursor();
  cursor.setPosition(static_cast<int>(start));
  cursor.setPosition(static_cast<int>(start + findText_.size()), QTextCursor::KeepAnchor);
  text_->setTextCursor(cursor);
  text_->ensureCursorVisible();
  findPosition_ = start + 1;
}

void ViewerWindow::Find(bool next) {
  if (host_.state.table.selected == store::kOutboxIndex) return;
  if ((!next || findText_.empty()) && !AskFindText()) return;
  SearchShown();
}

void ViewerWindow::SearchShown() {
  const config::Settings& settings = host_.state.settings;
  const viewer::ShownResult result = viewer::FindInShownText(
      text_->toPlainText().toStdU16String(), findText_, findPosition_,
      static_cast<std::size_t>(text_->textCursor().selectionStart()), settings.MatchCase == 1, settings.AllFind == 1);
  switch (result.outcome) {
    case viewer::ShownOutcome::kHit: SelectHit(result.position); break;
    case viewer::ShownOutcome::kSearchRows: SearchRows(); break;
    case viewer::ShownOutcome::kNotFound:
      dialogs_.ShowMessage(viewer::kFindCaption,
                           viewer::NotFoundText(QString::fromStdU16String(findText_).toStdString()),
                           ports::MessageIcon::kInformation, ports::MessageButtons::kOk);
      break;
  }
}

void ViewerWindow::SearchRows() {
  const config::Settings& settings = host_.state.settings;
  const viewer::FindRequest request{findText_, settings.MatchCase == 1, settings.SubjectFind == 1};
  const std::string findText = QString::fromStdU16String(findText_).toStdString();
  const int from = store::RowOfItem(host_.state.list, shown_.item.get()) + 1;
  int checked = 0;
  // Events are let through now and then so that ESC can stop a long search; meanwhile ESC is
  // taken by the event filter and the viewer's commands wait.
  const auto aborted = [this, &checked] {
    if (++checked % 256 == 0) {
      searching_ = true;
      QApplication::processEvents();
      searching_ = false;
    }
    return searchAborted_;
  };
  const auto redo = [this, &findText] {
    return dialogs_.ShowMessage(viewer::RedoCaption(findText), viewer::kRedoQuestion, ports::MessageIcon::kQuestion,
                                ports::MessageButtons::kYesNo, true) == ports::Answer::kYes;
  };
  searchAborted_ = false;
  const viewer::RowsResult result =
      viewer::FindThroughRows(host_.state.list, from, request, settings.UndeclaredCharset, aborted, redo);
  if (result.outcome != viewer::RowsOutcome::kFound) return;
  ShowRow(result.row);
  if (result.inSubject) return;
  const std::u16string pane = text_->toPlainText().toStdU16String();
  if (const auto hit = viewer::FindInText(pane, findText_, 0, request.matchCase)) SelectHit(*hit);
}

// --- Saving and handing on ---

std::optional<QString> ViewerWindow::DefaultSavePath(const QString& proposed, const QString& suffix,
                                                     const QString& filter) {
  QFileDialog dialog(this, "Save as", QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation), filter);
  dialog.setAcceptMode(QFileDialog::AcceptSave);
  dialog.setFileMode(QFileDialog::AnyFile);
  dialog.setDefaultSuffix(suffix);
  dialog.selectFile(proposed);
  // Asks before replacing a file that exists.
  dialog.setOption(QFileDialog::DontConfirmOverwrite, false);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
  return dialog.selectedFiles().front();
}

void ViewerWindow::SaveAs() {
  if (!StillThere()) return;
  const auto ask = askSavePath ? askSavePath : [this](const QString& p, const QString& s, const QString& f) {
    return DefaultSavePath(p, s, f);
  };
  const std::optional<QString> path = ask(QString::fromUtf8(viewer::TextSaveName(*shown_.item)), "txt",
                                          "Text Files (*.txt)");
  if (!path) return;
  if (!viewer::SaveMessageAsText(platform::TextToLocal(path->toStdString()), *shown_.item, viewer::kSaveAsTemplate,
                                 host_.state.settings.UndeclaredCharset)) {
    Error("Save File error");
  }
}

void ViewerWindow::RunAttachment(int command) {
  if (!viewer::PartsStillValid(shown_)) {
    // The message changed under the menu: show it as it is now, with its entries.
    Show(shown_.item, shown_.source);
    return;
  }
  const std::optional<std::size_t> part = viewer::PartOfCommand(command, shown_.parts.size());
  if (part) SaveAttachment(*part);
}

void ViewerWindow::SaveAttachment(std::size_t part) {
  const viewer::ProposedName proposed = viewer::AttachmentSaveName(shown_.parts[part]);
  const auto ask = askSavePath ? askSavePath : [this](const QString& p, const QString& s, const QString& f) {
    return DefaultSavePath(p, s, f);
  };
  const std::optional<QString> path =
      ask(QString::fromUtf8(proposed.name), QString::fromUtf8(proposed.defaultExtension), "All Files (*)");
  if (!path) return;
  if (!viewer::SaveAttachment(platform::TextToLocal(path->toStdString()), shown_.parts[part], *shown_.item)) {
    Error("Save File error");
  }
}

void ViewerWindow::OpenExternalViewer() {
  const config::Settings& settings = host_.state.settings;
  if (!viewer::OpenExternalViewer(*shown_.item, settings, config::DataDirectoryPath(settings, host_.state.home))) {
    Error("Display failed");
    return;
  }
  if (settings.ViewAppClose == 1) close();
}

void ViewerWindow::DeleteAttachments() {
  if (dialogs_.ShowMessage("Delete", "Delete attached files?", ports::MessageIcon::kExclamation,
                           ports::MessageButtons::kYesNo) != ports::Answer::kYes) {
    return;
  }
  if (!StillThere()) return;
  if (mime::KeepFirstTextPart(*shown_.item)) Show(shown_.item);
}

// --- Links, replies and addresses ---

void ViewerWindow::ChooseLink(const QString& selection) {
  const viewer::Link link = viewer::LinkInSelection(selection.toStdString());
  if (link.kind == viewer::LinkKind::kNone) return;
  QTextCursor cursor = text_->textCursor();
  cursor.setPosition(cursor.selectionStart());
  text_->setTextCursor(cursor);
  if (link.kind == viewer::LinkKind::kWeb) {
    if (!platform::LaunchProgram(viewer::WebLinkCommand(host_.state.settings.URLApp, link.text))) {
      Error("Display failed");
    }
    return;
  }
  ui::ComposeRequest request;
  compose::ParseMailtoText(link.text, request.message, compose::MailtoSource::kReceivedMessage);
  if (host_.compose && host_.compose(request)) hide();
}

void ViewerWindow::Reply(bool all) {
  if (!StillThere()) return;
  ui::ComposeRequest request{all ? ui::ComposeKind::kReplyToAll : ui::ComposeKind::kReply, *shown_.item, shown_.mailbox};
  if (host_.compose && host_.compose(request)) hide();
}

void ViewerWindow::AddressInformation() {
  if (!StillThere()) return;
  AddressInformationDialog dialog(host_.state, *shown_.item, shown_.mailbox, this);
  dialog.compose = host_.compose;
  dialog.exec();
  if (dialog.composerWindowOpened()) hide();
}

}  // namespace zelk::gui
