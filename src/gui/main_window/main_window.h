#pragma once
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QToolBar>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "gui/adapters/message_boxes.h"
#include "gui/main_window/command_table.h"
#include "gui/main_window/message_list_view.h"
#include "gui/notice/new_mail_notice.h"
#include "gui/tray/tray_icon.h"
#include "mime/dates.h"
#include "net/conversation_log.h"
#include "net/dial_up.h"
#include "net/nmcli_link.h"
#include "platform/clock.h"
#include "platform/event_loop.h"
#include "ui/compose_request.h"
#include "ui/exit_sequence.h"
#include "ui/network_commands.h"
#include "ui/program_state.h"
#include "ui/shown_list_follower.h"
#include "ui/window_port.h"
#include "ui/window_rules.h"

namespace zelk::gui {

class ViewerWindow;
class ComposerWindow;

// The program's home: the command bar (menus and tool bar), the account selector, the message
// list and the two-part status bar; the tray icon and the new-mail notice. It is every port the
// core's commands and network work talk to, and runs them on the window's event loop.
class MainWindow final : public QMainWindow,
                         public ui::WindowPort,
                         public ports::StatusPort,
                         public ports::ShellPort,
                         public store::SelectorPort,
                         public ui::ExitPort {
 public:
  MainWindow(ui::ProgramState& state, platform::EventLoop& loop);
  ~MainWindow() override;

  // Loads the mail, fills the window and carries out the start: shown or hidden in the tray, the
  // automatic check, "Check all accounts", the first account's settings, the command line.
  // False when loading failed ("Initialisation error" was shown): the program ends.
  bool Start(const platform::Text& commandLine);
  // A second start of the program handed over its command line (empty: none).
  void HandOver(const platform::Text& commandLine);
  // The exit sequence; true when everything was written and the program may end.
  bool Exit();
  bool exited() const { return exited_; }

  ui::NetworkCommands& network() { return *network_; }
  MessageListView& list() { return *list_; }
  QAction* action(MenuCommand command) const { return actions_.at(command); }
  QComboBox& selector() { return *selector_; }
  const QString& statusText(int part) const { return statusTexts_[part == 0 ? 0 : 1]; }
  bool compactLayout() const { return compact_; }
  TrayIcon& tray() { return *tray_; }
  // Runs a command as its menu item, key or button would.
  void Run(MenuCommand command);
  // The viewer, when one is open.
  ViewerWindow* viewer() const;
  // Every window that starts a message asks here; true when the composer opened a window of its own.
  bool StartComposer(const ui::ComposeRequest& request);
  // The composer, when one is open.
  ComposerWindow* composer() const;

  // ui::WindowPort
  void MailboxShown(int index, const store::ListFocus& focus) override;
  void ShowMailBox(int mailbox) override;
  void ShowCounts() override;
  void ResortList() override;
  bool EditAccount(int mailbox) override;
  bool InitialiseAccount(int mailbox) override;
  void SetTitle(const platform::Text& title) override;
  bool Visible() const override { return isVisible() && !isMinimized(); }
  bool InFront() const override { return isActiveWindow(); }
  void ShowAndRaise() override;
  void ShowNewMailNotice(bool activate) override;
  void HideNewMailNotice() override;
  // ports::StatusPort
  void SetStatusText(int part, const platform::Text& text) override;
  // ports::ShellPort
  void RefreshCommandStates() override;
  void SetTrayState(ports::TrayState state) override;
  void SetWaitCursor(bool wait) override;
  bool ShiftHeld() const override;
  void PlaySound(const platform::Text& file) override;
  // store::SelectorPort
  void EntryAdded(const platform::Text& label) override;
  void EntryRemoved(int index) override;
  void EntryRenamed(int index, const platform::Text& label) override;
  void EntrySelected(int index) override;
  // ui::ExitPort
  bool StopConversation() override { return network_->CutShortForExit(); }
  bool Dialing() const override { return dialUp_->Dialing(); }
  void HangUp() override { dialUp_->HangUp(); }
  void CloseViewerAndComposers() override;
  std::array<int, 4> ColumnWidths() const override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildActions();
  void BuildMenus();
  // A menu's or the tool bar's commands in order, nullopt standing for a separator.
  template <typename Bar>
  void AddCommands(Bar& bar, std::span<const std::optional<MenuCommand>> items);
  void BuildToolBar();
  void ApplyLayoutForWidth(int width);
  void ApplyMailMenuTexts();
  void ApplyGeometry();
  void KeepGeometry();
  // Back to the network-free state the tray and the title show once the user looks.
  void WindowActivated();
  // Hides into the tray instead of closing or minimising.
  void HideToTray();
  void Quit();

  // The commands.
  void Open(ui::OpenBy by);
  void SpacePressed();
  void OnSelectorChosen(int index);
  void OnHeaderClicked(int column);
  void ShowMailMenu(const QPoint& where);
  void DeleteSelectedAccount();
  void ShowOptions();
  void About();
  // The focused row in the viewer (or the external viewer, as DefViewApp and Shift say).
  void OpenViewer(int row, bool internalOnly);
  void FindFromList(bool next);
  void OpenAddressBook();
  // What the composer opened: nothing, its window, or the external editor with its window hidden.
  enum class ComposerOpened { kNothing, kWindow, kExternalEditor };
  // A composer on an Outbox message (`outboxItem`), or on a new message or a reply as `request`
  // asks; new messages and replies pass the Property dialog first.
  ComposerOpened OpenComposer(const store::ItemRef& outboxItem, const ui::ComposeRequest* request);
  // Reply: on an Outbox message its Property dialog, elsewhere a composer answering the focused row.
  void ReplyToFocused();
  // A new message from the address or "mailto:" text of the command line.
  void ComposeToAddress(const platform::Text& address);

  ui::ProgramState& state_;
  platform::EventLoop& loop_;
  platform::SystemClock clock_;
  mime::LocalZone zone_;
  MessageBoxes dialogs_{this};
  QComboBox* selector_;
  MessageListView* list_;
  QToolBar* toolBar_;
  QLabel* statusLabels_[2];
  QString statusTexts_[2];
  std::map<MenuCommand, QAction*> actions_;
  std::vector<QMenu*> normalMenus_;
  std::vector<QMenu*> compactMenus_;
  std::vector<std::optional<MenuCommand>> toolBarButtons_;  // as the tool bar shows them
  bool compact_ = false;
  bool filling_selector_ = false;  // selector changes made by the core, not the user
  std::unique_ptr<TrayIcon> tray_;
  std::unique_ptr<NewMailNotice> notice_;
  ui::WindowPorts ports_;
  ui::ShownListFollower follower_;
  std::unique_ptr<net::ConversationLog> log_;
  std::unique_ptr<net::NmcliLink> link_;
  std::unique_ptr<net::DialUpGate> dialUp_;
  std::unique_ptr<ui::NetworkCommands> network_;
  QPointer<ViewerWindow> viewer_;
  QPointer<ComposerWindow> composer_;
  bool exiting_ = false;
  bool exited_ = false;
};

}  // namespace zelk::gui
