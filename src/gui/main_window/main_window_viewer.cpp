// The main window's ways into the viewer and the address book.
#include "gui/address_book/address_book_dialog.h"
#include "gui/main_window/main_window.h"
#include "gui/viewer/viewer_window.h"
#include "store/marks.h"
#include "viewer/external_viewer.h"

namespace zelk::gui {

ViewerWindow* MainWindow::viewer() const { return viewer_.data(); }

void MainWindow::OpenViewer(int row, bool internalOnly) {
  const store::ItemRef item = viewer::ItemOfRow(state_.list, row);
  if (!viewer::CanShow(item.get())) return;
  const config::Settings& settings = state_.settings;
  if (!internalOnly && viewer::UsesExternalViewer(settings.DefViewApp, ShiftHeld())) {
    if (!viewer::OpenExternalViewer(*item, settings, config::DataDirectoryPath(settings, state_.home))) {
      dialogs_.ShowMessage("Error", "Display failed", ports::MessageIcon::kError, ports::MessageButtons::kOk);
      return;
    }
    store::MarkShown(*item);
    list_->RedrawRow(row);
    ShowCounts();
    return;
  }
  if (!viewer_) {
    viewer_ = new ViewerWindow(ViewerHost{
        state_, ports_, [this](int shown) { list_->SelectRow(shown, true); },
        [this](const ui::ComposeRequest& request) { return StartComposer(request); },
        [this] { WindowActivated(); },
        [this] {
          ShowAndRaise();
          WindowActivated();
        }},
        this);
  }
  viewer_->Show(item);
}

void MainWindow::FindFromList(bool next) {
  if (state_.table.selected == store::kOutboxIndex) return;
  const int row = list_->FocusedRow();
  if (!viewer::CanShow(viewer::ItemOfRow(state_.list, row).get())) return;
  OpenViewer(row, true);
  if (viewer_) viewer_->Run(next ? ViewerCommand::kFindNext : ViewerCommand::kFind);
}

void MainWindow::OpenAddressBook() {
  AddressBookDialog dialog(state_, BookMode::kManage, this);
  dialog.compose = [this](const ui::ComposeRequest& request) { return StartComposer(request); };
  dialog.exec();
}

}  // namespace zelk::gui
