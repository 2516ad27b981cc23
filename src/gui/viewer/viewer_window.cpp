// The viewer's window: its panes, menus and what it shows for a message.
#include "gui/viewer/viewer_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QTextOption>

#include "gui/common/message_layout.h"
#include "viewer/attachment_menu.h"
#include "viewer/header_pane.h"

namespace zelk::gui {

namespace {

struct ViewerEntry {
  ViewerCommand command;
  const char* text;  // after a tab: the key, shown in the menu
  QKeySequence shortcut;
};

using C = ViewerCommand;

// The keys with a modifier are shortcuts of their actions; the plain ones (Enter, Back, Esc...)
// belong to the key table of the text pane, so that they never steal keys from a dialog.
const ViewerEntry kFileMenu[] = {
    {C::kPrevious, "&Prev mail\tBack", {}},
    {C::kNext, "&Next mail\tEnter", {}},
    {C::kNextUnread, "Next &unread mail\tCtrl+Enter", {}},
    {C::kReply, "&Reply...", QKeySequence(Qt::CTRL | Qt::Key_R)},
    {C::kReplyToAll, "&Reply to all", {}},
    {C::kAddressInfo, "Address &info...", QKeySequence(Qt::CTRL | Qt::Key_I)},
    {C::kSaveAs, "&Save as...", QKeySequence(Qt::CTRL | Qt::Key_S)},
    {C::kExternalViewer, "External &viewer", {}},
    {C::kClose, "&Close\tEsc", {}},
};
const ViewerEntry kEditMenu[] = {
    {C::kCopy, "&Copy", QKeySequence(Qt::CTRL | Qt::Key_C)},
    {C::kSelectAll, "Select &all", QKeySequence(Qt::CTRL | Qt::Key_A)},
    {C::kFind, "&Find...", QKeySequence(Qt::CTRL | Qt::Key_F)},
    {C::kFindNext, "&Find next", QKeySequence(Qt::Key_F3)},
    {C::kWordWrap, "&Word wrap", {}},
    {C::kShowDate, "Show &date", {}},
};
// The entries rebuilt for each message.
const ViewerEntry kPartEntries[] = {
    {C::kViewText, "&View text", {}},
    {C::kViewSource, "&View source", {}},
    {C::kDeleteAttach, "&Delete attach", {}},
};

}  // namespace

ViewerWindow::ViewerWindow(ViewerHost host, QWidget* parent) : QMainWindow(parent, Qt::Window), host_(std::move(host)) {
  setObjectName("ZelkViewWndClass");
  setWindowTitle("Mail View");
  setAttribute(Qt::WA_DeleteOnClose);
  text_ = new ViewerTextPane(this);
  text_->document()->setDocumentMargin(6);
  header_ = PutHeaderOverText(*this, *text_);
  text_->run = [this](ViewerCommand command) { Run(command); };
  text_->linkChosen = [this](const QString& selection) { ChooseLink(selection); };
  text_->editMenuAt = [this](const QPoint& where) { editMenu_->popup(where); };
  connect(text_, &QPlainTextEdit::copyAvailable, this, [this](bool yes) { actions_.at(C::kCopy)->setEnabled(yes); });
  const QScreen* screen = QGuiApplication::primaryScreen();
  narrow_ = screen != nullptr && screen->geometry().width() < viewer::kNarrowScreenWidth;
  BuildMenus();
  ApplyFont();
  ApplyWrap();
  ApplyHeader();
  qApp->installEventFilter(this);
  resize(640, 480);
  text_->setFocus();
}

void ViewerWindow::BuildMenus() {
  const auto make = [this](const ViewerEntry& entry) {
    auto* action = new QAction(QString::fromUtf8(entry.text), this);
    if (!entry.shortcut.isEmpty()) {
      action->setShortcut(entry.shortcut);
      action->setShortcutContext(Qt::WindowShortcut);
    }
    const ViewerCommand command = entry.command;
    connect(action, &QAction::triggered, this, [this, command] { Run(command); });
    actions_[command] = action;
    return action;
  };
  fileMenu_ = menuBar()->addMenu("&File");
  for (const ViewerEntry& entry : kFileMenu) {
    if (entry.command == C::kReply || entry.command == C::kSaveAs || entry.command == C::kClose) {
      fileMenu_->addSeparator();
    }
    fileMenu_->addAction(make(entry));
  }
  editMenu_ = menuBar()->addMenu("&Edit");
  for (const ViewerEntry& entry : kEditMenu) {
    if (entry.command == C::kFind || entry.command == C::kWordWrap) editMenu_->addSeparator();
    editMenu_->addAction(make(entry));
  }
  // Kept out of the menu until a message offers them.
  for (const ViewerEntry& entry : kPartEntries) make(entry);
  // The main window may have moved to the Outbox meanwhile, where nothing is searched.
  connect(editMenu_, &QMenu::aboutToShow, this, [this] {
    actions_.at(C::kFind)->setEnabled(host_.state.table.selected != store::kOutboxIndex);
  });
  // Ctrl+Shift+R answers as Ctrl+R.
  actions_.at(C::kReply)->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_R), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_R)});
  actions_.at(C::kCopy)->setEnabled(false);
  actions_.at(C::kWordWrap)->setCheckable(true);
  actions_.at(C::kShowDate)->setCheckable(true);
  actions_.at(C::kViewText)->setText(viewer::ViewTextLabel(narrow_));
}

void ViewerWindow::RebuildEditMenu() {
  // The fixed entries stay; everything after them is this message's.
  const QList<QAction*> entries = editMenu_->actions();
  const qsizetype fixed = entries.indexOf(actions_.at(C::kShowDate)) + 1;
  for (qsizetype i = fixed; i < entries.size(); ++i) {
    editMenu_->removeAction(entries[i]);
    if (entries[i]->isSeparator() || entries[i]->data().isValid()) entries[i]->deleteLater();
  }
  const viewer::AttachmentMenu& menu = shown_.menu;
  if (menu.viewText || menu.viewSource || menu.deleteAttach || menu.separator) editMenu_->addSeparator();
  if (menu.viewText) editMenu_->addAction(actions_.at(C::kViewText));
  if (menu.viewSource) editMenu_->addAction(actions_.at(C::kViewSource));
  if (menu.deleteAttach) editMenu_->addAction(actions_.at(C::kDeleteAttach));
  if (menu.separator && (menu.viewSource || menu.deleteAttach)) editMenu_->addSeparator();
  for (const viewer::AttachmentEntry& entry : menu.attachments) {
    QString label = QString::fromUtf8(entry.label);
    label.replace('&', "&&");
    auto* action = editMenu_->addAction(label);
    action->setData(entry.command);
    action->setEnabled(entry.enabled);
    const int command = entry.command;
    connect(action, &QAction::triggered, this, [this, command] { RunAttachment(command); });
  }
}

void ViewerWindow::ApplyFont() {
  const config::Settings& settings = host_.state.settings;
  if (settings.LvFontName.empty()) return;
  QFont font(QString::fromUtf8(settings.LvFontName));
  if (settings.LvFontSize > 0) font.setPointSize(settings.LvFontSize);
  text_->setFont(font);
}

void ViewerWindow::ApplyWrap() {
  const bool wrap = host_.state.settings.WordBreakFlag == 1;
  text_->setLineWrapMode(wrap ? QPlainTextEdit::WidgetWidth : QPlainTextEdit::NoWrap);
  text_->setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
  text_->setHorizontalScrollBarPolicy(wrap ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded);
  actions_.at(C::kWordWrap)->setChecked(wrap);
}

void ViewerWindow::ApplyHeader() {
  const bool date = host_.state.settings.ViewShowDate == 1;
  actions_.at(C::kShowDate)->setChecked(date);
  if (shown_.item) {
    shown_.header = viewer::HeaderPaneText(*shown_.item,
                                           viewer::ReaderAddress(host_.state.table, shown_.mailbox, *shown_.item), date);
  }
  QString text = QString::fromUtf8(shown_.header);
  text.replace("\r\n", "\n");
  header_->setText(text);
  const int lines = date ? 3 : 2;
  header_->setFixedHeight(header_->fontMetrics().lineSpacing() * lines + 8);
}

void ViewerWindow::Show(const store::ItemRef& item, bool source) {
  if (!viewer::CanShow(item.get())) return;
  viewer::ShowItem(shown_, host_.state, item, source, host_.ports);
  setWindowTitle(QString::fromUtf8(shown_.title));
  ApplyHeader();
  QTextDocument* document = text_->document();
  QTextOption option = document->defaultTextOption();
  // Each paragraph takes the direction of its own first strong character: Hebrew and Arabic
  // lines run right to left among left-to-right ones.
  option.setTextDirection(Qt::LayoutDirectionAuto);
  document->setDefaultTextOption(option);
  text_->setPlainText(QString::fromUtf8(shown_.pane));
  findPosition_ = 0;
  RebuildEditMenu();
  if (!isVisible()) show();
  raise();
  activateWindow();
}

void ViewerWindow::closeEvent(QCloseEvent* event) {
  qApp->removeEventFilter(this);
  QMainWindow::closeEvent(event);
  if (host_.closed) host_.closed();
}

void ViewerWindow::resizeEvent(QResizeEvent* event) {
  QMainWindow::resizeEvent(event);
  actions_.at(C::kViewText)->setText(viewer::ViewTextLabel(narrow_ || width() < viewer::kNarrowScreenWidth));
}

bool ViewerWindow::eventFilter(QObject* watched, QEvent* event) {
  // ESC while a search runs through the messages stops it, and closes nothing.
  if (searching_ && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
    searchAborted_ = true;
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

}  // namespace zelk::gui
