#include "gui/main_window/main_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QHeaderView>
#include <QMenuBar>
#include <QProcess>
#include <QScreen>
#include <QStandardPaths>
#include <QStatusBar>
#include <QVBoxLayout>

#include "gui/settings/account_settings_sheet.h"
#include "gui/settings/initialise_dialog.h"
#include "platform/files.h"
#include "ui/command_line_rule.h"
#include "ui/mailbox_selection.h"
#include "ui/save_all.h"
#include "ui/startup.h"
#include "ui/window_rules.h"
#include "viewer/external_viewer.h"

namespace zelk::gui {

namespace {

constexpr int kStatusCountsWidth = 120;

}  // namespace

MainWindow::MainWindow(ui::ProgramState& state, platform::EventLoop& loop)
    : state_(state),
      loop_(loop),
      selector_(new QComboBox(this)),
      list_(new MessageListView(state.list, this)),
      toolBar_(new QToolBar("Commands", this)),
      ports_{dialogs_, *list_, *this, *this},
      follower_(state.list, *list_) {
  setObjectName("mainWindow");
  setWindowTitle("Zelk");
  setWindowIcon(QIcon(":/icons/zelk.svg"));
  selector_->setObjectName("accountSelector");
  auto* centre = new QWidget(this);
  auto* layout = new QVBoxLayout(centre);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(selector_);
  layout->addWidget(list_, 1);
  setCentralWidget(centre);
  toolBar_->setObjectName("commandBar");
  toolBar_->setMovable(false);
  toolBar_->setIconSize(QSize(24, 24));
  addToolBar(toolBar_);
  for (int part = 0; part < 2; ++part) {
    statusLabels_[part] = new QLabel(this);
    statusLabels_[part]->setObjectName(part == 0 ? "statusCounts" : "statusWork");
  }
  statusLabels_[0]->setFixedWidth(kStatusCountsWidth);
  statusBar()->addWidget(statusLabels_[0]);
  statusBar()->addWidget(statusLabels_[1], 1);

  BuildActions();
  BuildMenus();
  connect(selector_, &QComboBox::activated, this, [this](int index) { OnSelectorChosen(index); });
  connect(list_->header(), &QHeaderView::sectionClicked, this, [this](int column) { OnHeaderClicked(column); });
  connect(list_, &QWidget::customContextMenuRequested, this,
          [this](const QPoint& at) { ShowMailMenu(list_->viewport()->mapToGlobal(at)); });
  list_->enterPressed = [this] { Open(ui::OpenBy::kEnterKey); };
  list_->spacePressed = [this] { SpacePressed(); };
  list_->selectionChanged = [this] { RefreshCommandStates(); };

  tray_ = std::make_unique<TrayIcon>(TrayIcon::Actions{
      [this] { Run(MenuCommand::kShowWindow); }, [this] { Run(MenuCommand::kCheckAll); },
      [this] { Run(MenuCommand::kStop); }, [this] { Run(MenuCommand::kNewMessage); },
      [this] { Run(MenuCommand::kExit); }, [this] { return network_ && network_->ConversationMailbox() >= 0; }});
  notice_ = std::make_unique<NewMailNotice>([this](bool yes) {
    if (network_) network_->NoticeAnswered(yes);
  });
}

MainWindow::~MainWindow() {
  // The network work ends before the window it talks to.
  network_.reset();
}

bool MainWindow::Start(const platform::Text& commandLine) {
  const ui::StartupPlan plan = ui::StartUp(state_, !commandLine.empty(), zone_, clock_, ports_, *this);
  if (!plan.ok) return false;
  log_ = std::make_unique<net::ConversationLog>(state_.home, state_.settings.SocLog == 1);
  link_ = std::make_unique<net::NmcliLink>(loop_);
  dialUp_ = std::make_unique<net::DialUp>(net::DialUpParts{loop_, dialogs_, *this, *link_}, state_.settings,
                                          state_.table);
  network_ = std::make_unique<ui::NetworkCommands>(
      ui::CommandParts{loop_, dialogs_, *this, follower_, *this, *this, *this, *dialUp_, *log_, clock_, zone_,
                       config::DataDirectoryPath(state_.settings, state_.home),
                       [this](const store::MailItem& item) { return store::RowOfItem(state_.list, &item); }},
      state_.settings, state_.table);
  network_->accountFinished = [this](int mailbox) {
    if (!ui::SaveAfterConversation(state_.home, state_.settings, state_.table, mailbox)) {
      SetStatusText(1, "Save File error");
    }
  };
  ApplyGeometry();
  ApplyLayoutForWidth(width());
  tray_->SetShown(plan.trayIcon);
  if (plan.showWindow) show();
  RefreshCommandStates();
  ShowCounts();
  if (plan.openAccountSettings) {
    ui::SetUpFirstAccount(state_, ports_);
    return true;
  }
  const platform::Text address = ui::CarryOutStartupPlan(plan, state_, *network_, commandLine, ports_);
  if (!address.empty()) ComposeToAddress(address);
  return true;
}

void MainWindow::HandOver(const platform::Text& commandLine) {
  CloseViewerAndComposers();
  ShowAndRaise();
  if (commandLine.empty()) {
    if (state_.settings.StartCheck == 1) Run(MenuCommand::kCheckAll);
    return;
  }
  const ui::CommandLineRequest request = ui::ReadCommandLine(state_.table, commandLine);
  if (request.account >= 0) ui::SelectMailbox(state_, request.account, ports_);
  if (!request.address.empty()) ComposeToAddress(request.address);
}

bool MainWindow::Exit() {
  if (exiting_ || exited_) return false;
  exiting_ = true;
  KeepGeometry();
  const bool done = ui::RunExitSequence(state_, *this, dialogs_, *this);
  exiting_ = false;
  if (!done) return false;
  exited_ = true;
  // The message handed to the external viewer goes with the program.
  (void)platform::DeleteFile(viewer::ExternalViewerFile(config::DataDirectoryPath(state_.settings, state_.home),
                                                        state_.settings.ViewFileSuffix));
  notice_->hide();
  tray_->SetShown(false);
  return true;
}

void MainWindow::Quit() {
  if (!Exit()) return;
  hide();
  QApplication::quit();
}

// --- Layout ---

void MainWindow::BuildActions() {
  for (const CommandEntry& entry : CommandTable()) {
    auto* action = new QAction(QString::fromUtf8(entry.text), this);
    action->setShortcuts(entry.keys);
    action->setShortcutContext(Qt::WindowShortcut);
    action->setCheckable(entry.checkable);
    if (entry.icon) action->setIcon(QIcon(QString(":/icons/%1.svg").arg(entry.icon)));
    if (entry.toolTip) action->setToolTip(QString::fromUtf8(entry.toolTip));
    const MenuCommand command = entry.command;
    connect(action, &QAction::triggered, this, [this, command] { Run(command); });
    // Keys work whichever menu is on show, and for commands no menu holds.
    addAction(action);
    actions_[command] = action;
  }
  actions_[MenuCommand::kThreadMode]->setChecked(state_.settings.LvThreadView == 1);
  actions_[MenuCommand::kLan]->setChecked(state_.settings.EnableLAN == 1);
}

template <typename Bar>
void MainWindow::AddCommands(Bar& bar, std::span<const std::optional<MenuCommand>> items) {
  for (const std::optional<MenuCommand>& item : items) {
    if (item) {
      bar.addAction(actions_.at(*item));
    } else {
      bar.addSeparator();
    }
  }
}

void MainWindow::BuildMenus() {
  for (const bool compact : {false, true}) {
    for (const MenuLayout& layout : compact ? CompactMenus() : NormalMenus()) {
      auto* menu = new QMenu(QString::fromUtf8(layout.title), this);
      AddCommands(*menu, layout.items);
      (compact ? compactMenus_ : normalMenus_).push_back(menu);
    }
  }
}

void MainWindow::ApplyLayoutForWidth(int width) {
  const bool compact = width < kCompactWidth;
  const bool first = menuBar()->actions().isEmpty();
  if (first || compact != compact_) {
    compact_ = compact;
    menuBar()->clear();
    for (QMenu* menu : compact ? compactMenus_ : normalMenus_) menuBar()->addMenu(menu);
    for (const CommandEntry& entry : CommandTable()) {
      const char* text = compact && entry.compactText ? entry.compactText : entry.text;
      actions_.at(entry.command)->setText(QString::fromUtf8(text));
    }
    ApplyMailMenuTexts();
    if (network_) network_->conversation().compactLayout = compact;
  }
  std::vector<std::optional<MenuCommand>> buttons = ToolBarButtons(width);
  if (buttons == toolBarButtons_) return;
  toolBarButtons_ = std::move(buttons);
  toolBar_->clear();
  AddCommands(*toolBar_, toolBarButtons_);
}

void MainWindow::ApplyMailMenuTexts() {
  const ui::MailMenuTexts texts = ui::MailMenuTextsFor(state_.table.selected, compact_);
  // The keys are the actions' own; the menu shows them beside the text.
  const auto plain = [](const char* text) { return QString::fromUtf8(text).section('\t', 0, 0); };
  actions_.at(MenuCommand::kReply)->setText(plain(texts.reply));
  actions_.at(MenuCommand::kMarkForDownload)->setText(plain(texts.mark));
  actions_.at(MenuCommand::kCopy)->setText(plain(texts.copy));
}

void MainWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  ApplyLayoutForWidth(width());
}

void MainWindow::ApplyGeometry() {
  const config::Settings& settings = state_.settings;
  const std::array<int, 4>& widths = settings.LvColSize;
  for (int column = 0; column < static_cast<int>(widths.size()); ++column) {
    list_->header()->resizeSection(column, widths[static_cast<std::size_t>(column)]);
  }
  if (settings.WindowWidth > 0 && settings.WindowHeight > 0) {
    resize(settings.WindowWidth, settings.WindowHeight);
    move(settings.WindowLeft, settings.WindowTop);
  } else {
    resize(640, 480);
  }
}

void MainWindow::KeepGeometry() {
  // The normal size, not that of a maximised window.
  const QRect rect = normalGeometry().isValid() ? normalGeometry() : geometry();
  config::Settings& settings = state_.settings;
  settings.WindowLeft = rect.x();
  settings.WindowTop = rect.y();
  settings.WindowWidth = rect.width();
  settings.WindowHeight = rect.height();
}

std::array<int, 4> MainWindow::ColumnWidths() const {
  std::array<int, 4> widths{};
  for (int column = 0; column < 4; ++column) widths[static_cast<std::size_t>(column)] = list_->header()->sectionSize(column);
  return widths;
}

// --- ui::WindowPort ---

void MainWindow::MailboxShown(int, const store::ListFocus& focus) {
  ApplyMailMenuTexts();
  list_->model().HeadersChanged();
  list_->ApplyFocus(focus);
  RefreshCommandStates();
  ShowCounts();
}

// The network work asks only when the mailbox changed.
void MainWindow::ShowMailBox(int mailbox) { ui::SelectMailbox(state_, mailbox, ports_); }

void MainWindow::ShowCounts() {
  const ui::StatusCounts counts = ui::CountsFor(state_, !network_ || network_->Idle());
  SetStatusText(0, counts.view);
  if (counts.idle) SetStatusText(1, *counts.idle);
}

void MainWindow::ResortList() {
  list_->model().Reorder([this] {
    const store::ListFocus focus = store::RowsAdded(state_.list);
    if (focus.row >= 0) loop_.Post([this, focus] { list_->ApplyFocus(focus); });
  });
}

bool MainWindow::EditAccount(int mailbox) {
  AccountSettingsSheet sheet(*state_.table.boxes[static_cast<std::size_t>(mailbox)], state_.settings, *link_, this);
  return sheet.exec() == QDialog::Accepted;
}

bool MainWindow::InitialiseAccount(int mailbox) {
  InitialiseDialog dialog(*state_.table.boxes[static_cast<std::size_t>(mailbox)], this);
  return dialog.exec() == QDialog::Accepted;
}

void MainWindow::SetTitle(const platform::Text& title) { setWindowTitle(QString::fromStdString(title)); }

void MainWindow::ShowAndRaise() {
  if (isMinimized()) {
    showNormal();
  } else {
    show();
  }
  raise();
  activateWindow();
}

void MainWindow::ShowNewMailNotice(bool activate) { notice_->ShowCentred(activate); }

void MainWindow::HideNewMailNotice() { notice_->hide(); }

// --- Ports ---

void MainWindow::SetStatusText(int part, const platform::Text& text) {
  const int index = part == 0 ? 0 : 1;
  statusTexts_[index] = QString::fromStdString(text);
  statusLabels_[index]->setText(statusTexts_[index]);
}

void MainWindow::RefreshCommandStates() {
  if (!network_) return;
  const ui::CommandStates states =
      ui::CurrentCommandStates(state_, *network_, !list_->selectionModel()->selection().isEmpty());
  for (const CommandEntry& entry : CommandTable()) {
    if (entry.enabledBy) actions_.at(entry.command)->setEnabled(states.Enabled(*entry.enabledBy));
  }
  // Finding opens the viewer, which the Outbox has not.
  const bool findable = state_.table.selected != store::kOutboxIndex;
  actions_.at(MenuCommand::kFind)->setEnabled(findable);
  actions_.at(MenuCommand::kFindNext)->setEnabled(findable);
  if (network_->ConversationMailbox() < 0 && tray_->State() == ports::TrayState::kBusy) {
    SetTrayState(ports::TrayState::kNormal);
  }
}

void MainWindow::SetTrayState(ports::TrayState state) { tray_->SetState(state); }

void MainWindow::SetWaitCursor(bool wait) {
  if (wait) {
    QApplication::setOverrideCursor(Qt::WaitCursor);
  } else {
    while (QApplication::overrideCursor()) QApplication::restoreOverrideCursor();
  }
}

bool MainWindow::ShiftHeld() const { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); }

void MainWindow::PlaySound(const platform::Text& file) {
  // The desktop's own player when there is one; the beep otherwise.
  const QString path = QString::fromStdString(file);
  if (!path.isEmpty()) {
    for (const char* player : {"paplay", "pw-play", "aplay"}) {
      const QString program = QStandardPaths::findExecutable(player);
      if (!program.isEmpty() && QProcess::startDetached(program, {path})) return;
    }
  }
  QApplication::beep();
}

void MainWindow::EntryAdded(const platform::Text& label) { selector_->addItem(QString::fromStdString(label)); }

void MainWindow::EntryRemoved(int index) { selector_->removeItem(index); }

void MainWindow::EntryRenamed(int index, const platform::Text& label) {
  selector_->setItemText(index, QString::fromStdString(label));
}

void MainWindow::EntrySelected(int index) { selector_->setCurrentIndex(index); }

// --- Window events ---

void MainWindow::closeEvent(QCloseEvent* event) {
  const config::Settings& settings = state_.settings;
  if (settings.ShowTrayIcon == 1 && settings.CloseHide == 1 && !exiting_) {
    event->ignore();
    HideToTray();
    return;
  }
  event->ignore();
  Quit();
}

void MainWindow::changeEvent(QEvent* event) {
  QMainWindow::changeEvent(event);
  if (event->type() == QEvent::WindowStateChange && isMinimized() && state_.settings.ShowTrayIcon == 1 &&
      state_.settings.MinsizeHide == 1) {
    // Hidden after the minimise has run its course, or the window manager shows it again.
    loop_.Post([this] { HideToTray(); });
  }
  if (event->type() == QEvent::ActivationChange && isActiveWindow()) WindowActivated();
}

void MainWindow::HideToTray() {
  CloseViewerAndComposers();
  hide();
}

void MainWindow::WindowActivated() {
  list_->setFocus();
  if (!network_) return;
  if (network_->ConversationMailbox() < 0) SetTrayState(ports::TrayState::kNormal);
  network_->flags().newMailIconShowing = false;
}

}  // namespace zelk::gui
