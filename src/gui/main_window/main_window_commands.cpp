// What each of the main window's commands does: the core's rule, then what the window shows.
#include <QApplication>
#include <QMessageBox>

#include "gui/main_window/main_window.h"
#include "gui/settings/global_options_sheet.h"
#include "viewer/shown_message.h"
#include "platform/version.h"
#include "ui/account_commands.h"
#include "ui/list_commands.h"
#include "ui/mailbox_selection.h"
#include "ui/window_rules.h"

namespace zelk::gui {

void MainWindow::Run(MenuCommand command) {
  // A key reaches a disabled action's command only through here: the states hold for all ways in.
  const QAction* action = actions_.at(command);
  if (!action->isEnabled()) return;
  const std::vector<int> rows = list_->SelectedRows();
  using M = MenuCommand;
  switch (command) {
    case M::kNewMessage: (void)StartComposer({}); break;
    case M::kOpen: Open(ui::OpenBy::kCommand); break;
    case M::kReply: ReplyToFocused(); break;
    case M::kMarkForDownload: ui::MarkRowsForDownload(state_, rows, ports_); break;
    case M::kToggleDownloadMark: ui::ToggleDownloadMark(state_, rows, ports_); break;
    case M::kMarkForDelete: ui::MarkRowsForDelete(state_, rows, ports_); break;
    case M::kCancelMark: ui::CancelMarks(state_, rows, ports_); break;
    case M::kMarkAsRead: ui::MarkRowsAsRead(state_, rows, true, ports_); break;
    case M::kMarkAsUnread: ui::MarkRowsAsRead(state_, rows, false, ports_); break;
    case M::kCopy: (void)ui::CopyRows(state_, rows, ports_); break;
    case M::kDeleteFromList: (void)ui::DeleteFromList(state_, rows, ports_); break;
    case M::kSelectAll: list_->SelectAll(); break;
    case M::kSortByIcon:
      list_->model().Reorder([this] { ui::SortByIcon(state_); });
      actions_.at(M::kThreadMode)->setChecked(false);
      break;
    case M::kThreadMode: {
      const bool on = state_.list.settings.LvThreadView != 1;
      list_->model().Reorder([this, on] { ui::SetThreadMode(state_, on); });
      actions_.at(M::kThreadMode)->setChecked(on);
      list_->scrollTo(list_->currentIndex());
      break;
    }
    case M::kSwitchAccounts:
      selector_->setFocus();
      selector_->showPopup();
      break;
    case M::kAccountAdd: (void)ui::AddAccount(state_, ports_); break;
    case M::kAccountEdit: (void)ui::EditAccount(state_, network_->ConversationMailbox(), ports_); break;
    case M::kAccountDelete: DeleteSelectedAccount(); break;
    case M::kMoveUp: store::MoveUp(state_.table, *this); break;
    case M::kMoveDown: store::MoveDown(state_.table, *this); break;
    case M::kInitialise: (void)ui::InitialiseAccount(state_, ports_); break;
    case M::kAddressBook: OpenAddressBook(); break;
    case M::kOptions: ShowOptions(); break;
    case M::kCheck: (void)network_->CheckAccount(); break;
    case M::kCheckAll: (void)network_->CheckAll(); break;
    case M::kUpdate: (void)network_->UpdateAccount(); break;
    case M::kUpdateAll: (void)network_->UpdateAll(); break;
    case M::kStop: network_->Stop(); break;
    case M::kDialUpConnect: (void)network_->DialUpConnect(); break;
    case M::kDialUpDisconnect: dialUp_->HangUp(); break;
    case M::kLan:
      state_.settings.EnableLAN = state_.settings.EnableLAN == 1 ? 0 : 1;
      actions_.at(M::kLan)->setChecked(state_.settings.EnableLAN == 1);
      break;
    case M::kFind: FindFromList(false); break;
    case M::kFindNext: FindFromList(true); break;
    case M::kPreviousMailbox: ui::SelectPreviousMailbox(state_, ports_); break;
    case M::kNextMailbox: ui::SelectNextMailbox(state_, ports_); break;
    case M::kTab:
      if (list_->hasFocus()) {
        selector_->setFocus();
      } else {
        list_->setFocus();
      }
      break;
    case M::kMenuKey:
      if (!Visible() || !InFront()) break;
      if (selector_->hasFocus()) {
        selector_->hidePopup();
        list_->setFocus();
      } else {
        list_->setFocus();
        ShowMailMenu(list_->FocusedRowPoint());
      }
      break;
    case M::kShowWindow:
      CloseViewerAndComposers();
      ShowAndRaise();
      break;
    case M::kAbout: About(); break;
    case M::kExit: Quit(); break;
  }
  RefreshCommandStates();
}

void MainWindow::Open(ui::OpenBy by) {
  const int row = list_->FocusedRow();
  switch (ui::OpenActionFor(state_, row, by)) {
    case ui::OpenAction::kNothing: break;
    case ui::OpenAction::kComposer: {
      const store::ItemRef item = viewer::ItemOfRow(state_.list, row);
      if (item) (void)OpenComposer(item, nullptr);
      break;
    }
    case ui::OpenAction::kViewer: OpenViewer(row, false); break;
    case ui::OpenAction::kBodyNotDownloaded:
      dialogs_.ShowMessage("Open", ui::kBodyNotDownloadedText, ports::MessageIcon::kExclamation,
                           ports::MessageButtons::kOk);
      break;
    case ui::OpenAction::kToggleDownloadMark: {
      const int rows[] = {row};
      ui::ToggleDownloadMark(state_, rows, ports_);
      break;
    }
  }
  RefreshCommandStates();
}

void MainWindow::SpacePressed() {
  if (store::RowCount(state_.list) == 0) {
    const int account = ui::NextAccountWithUnreadMail(state_);
    if (account >= 0) ui::SelectMailbox(state_, account, ports_);
    return;
  }
  const int row = list_->FocusedRow();
  if (row >= 0 && list_->selectionModel()->isRowSelected(row, {})) Open(ui::OpenBy::kEnterKey);
}

void MainWindow::OnSelectorChosen(int index) {
  if (index != state_.table.selected) ui::SelectMailbox(state_, index, ports_);
  list_->setFocus();
}

void MainWindow::OnHeaderClicked(int column) {
  list_->model().Reorder([this, column] { ui::SortByColumn(state_, column); });
  actions_.at(MenuCommand::kThreadMode)->setChecked(false);
}

void MainWindow::ShowMailMenu(const QPoint& where) {
  const std::vector<QMenu*>& menus = compact_ ? compactMenus_ : normalMenus_;
  menus.at(static_cast<std::size_t>(MailMenuPosition(compact_)))->popup(where);
}

void MainWindow::DeleteSelectedAccount() {
  const int deleted = state_.table.selected;
  const std::size_t before = state_.table.boxes.size();
  (void)ui::DeleteAccount(state_, network_->ConversationMailbox(), ports_);
  // The conversation and a cycle move down with the accounts after the deleted one.
  if (state_.table.boxes.size() < before) network_->MailboxDeleted(deleted);
}

void MainWindow::ShowOptions() {
  GlobalOptionsSheet sheet(state_.settings, this);
  (void)sheet.exec();  // confirmed or not, the timer, the icon and the profile follow the settings
  const config::OptionsAftermath after = config::AftermathOfOptions(state_.settings);
  network_->ArmAutoCheck();
  tray_->SetShown(after.trayIcon);
  // A failed write loses nothing: the profile is written again when the program ends.
  if (after.saveProfile) (void)config::SaveSettings(state_.home, state_.settings, state_.table, false);
}

void MainWindow::About() {
  dialogs_.ShowMessage("About",
                       std::string(platform::kVersionText) +
                           "\n\nA lightweight POP3/SMTP mail client for the Linux desktop.\n"
                           "Free software, written by the Zelk developers.",
                       ports::MessageIcon::kInformation, ports::MessageButtons::kOk);
}

}  // namespace zelk::gui
