#pragma once
#include <QAbstractButton>
#include <QAbstractItemModelTester>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <chrono>
#include <functional>
#include <memory>

#include "gui/adapters/qt_event_loop.h"
#include "gui/main_window/main_window.h"
#include "store/mailbox_table.h"
#include "support/temp_dir.h"
#include "ui/save_all.h"

namespace zelk::test {

// A home written through the core's own files, and the desktop program's main window started on
// it, as the program starts it.
class WindowFixture : public ::testing::Test {
 protected:
  // The accounts' names; each gets the server 127.0.0.1 at `port` with user u1.
  void WriteHome(const std::vector<std::string>& accounts, int port = 1) {
    ui::ProgramState state;
    store::Init(state.table);
    store::NoSelector selector;
    for (const std::string& name : accounts) {
      store::MailBox& box = *state.table.boxes[static_cast<std::size_t>(store::AddMailBox(state.table, selector))];
      box.Name = name;
      box.Server = "127.0.0.1";
      box.Port = port;
      box.User = "u1";
      box.Pass = "secret";
    }
    if (fill) fill(state.table);
    if (configure) configure(state.settings);
    ASSERT_TRUE(ui::SaveAllFiles(dir_.path(), state.settings, state.table));
  }
  void StartWindow() {
    state_.home = dir_.path();
    window_ = std::make_unique<gui::MainWindow>(state_, loop_);
    tester_ = std::make_unique<QAbstractItemModelTester>(&window_->list().model(),
                                                         QAbstractItemModelTester::FailureReportingMode::Fatal);
    ASSERT_TRUE(window_->Start(""));
  }
  // Runs the window's events until `done`, at most `limit`.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = std::chrono::seconds(20)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (!done()) {
      if (std::chrono::steady_clock::now() > end) return false;
      QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
  }
  // The next message box gets this button; its text is kept in `answered`.
  void AnswerNextBox(QMessageBox::StandardButton button) {
    QTimer::singleShot(0, [this, button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (!box) return AnswerNextBox(button);
      answered = box->text().toStdString();
      box->button(button)->click();
    });
  }
  store::MailBox& Box(int index) { return *state_.table.boxes[static_cast<std::size_t>(index)]; }

  std::function<void(store::MailBoxTable&)> fill;
  std::function<void(config::Settings&)> configure;
  std::string answered;
  TempDir dir_;
  ui::ProgramState state_;
  gui::QtEventLoop loop_;
  std::unique_ptr<gui::MainWindow> window_;
  std::unique_ptr<QAbstractItemModelTester> tester_;
};

}  // namespace zelk::test
