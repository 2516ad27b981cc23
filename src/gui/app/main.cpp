// zelk: the mail client's desktop program.
#include <QApplication>
#include <QSessionManager>
#include <cstdio>
#include <string>
#include <vector>

#include "gui/adapters/qt_event_loop.h"
#include "gui/app/single_instance.h"
#include "gui/main_window/main_window.h"
#include "platform/code_page.h"
#include "platform/home_directory.h"
#include "platform/stop_signals.h"
#include "platform/version.h"
#include "ui/command_line_rule.h"
#include "ui/save_all.h"

namespace zelk::gui {

namespace {

constexpr char kUsage[] =
    "Usage: zelk [--home DIR] [/a:ACCOUNT] [ADDRESS | mailto:URL]\n"
    "\n"
    "  --home DIR   use DIR for Zelk.ini and the log (default: $ZELK_HOME, else\n"
    "               ~/.config/zelk/)\n"
    "  /a:ACCOUNT   show that account (a name with spaces in double quotes)\n"
    "  --version    show the version\n"
    "\n"
    "A second start on the same home hands its command line to the running program.\n";

int Main(int argc, char** argv) {
  QApplication application(argc, argv);
  application.setApplicationName("zelk");
  application.setDesktopFileName("zelk");
  application.setWindowIcon(QIcon(":/icons/zelk.svg"));
  if (!platform::SelectLocalCodePage(platform::LocalCodePageFromEnvironment())) {
    std::fputs("zelk: unknown code page, using UTF-8\n", stderr);
  }
  std::optional<std::string> homeOption;
  std::vector<std::string> arguments;
  const QStringList words = QApplication::arguments();
  for (qsizetype i = 1; i < words.size(); ++i) {
    const std::string word = words[i].toStdString();
    if (word == "--help" || word == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    }
    if (word == "--version") {
      std::puts(platform::kVersionText);
      return 0;
    }
    if (word == "--home" && i + 1 < words.size()) {
      homeOption = words[++i].toStdString();
      continue;
    }
    arguments.push_back(word);
  }

  ui::ProgramState state;
  state.home = platform::HomeDirectoryFor(homeOption);
  if (!platform::EnsureDirectory(state.home)) {
    std::fprintf(stderr, "zelk: cannot create the directory %s\n", state.home.c_str());
    return 1;
  }
  const platform::Text commandLine = ui::CommandLineOf(arguments);
  SingleInstance instance(state.home);
  switch (instance.Claim(commandLine)) {
    case SingleInstance::Role::kHandedOver: return 0;
    case SingleInstance::Role::kFailed:
      std::fprintf(stderr, "zelk: cannot listen on %s; a second start will not find this one\n",
                   instance.path().toLocal8Bit().constData());
      break;
    case SingleInstance::Role::kFirst: break;
  }

  QtEventLoop loop;
  MainWindow window(state, loop);
  if (!window.Start(commandLine)) return 1;
  instance.received = [&window](const std::string& handed) { window.HandOver(handed); };
  // SIGTERM and SIGINT end the program as Exit does: every file written.
  platform::StopSignals termination(loop, [&window] { window.Run(MenuCommand::kExit); });
  // The desktop session ends: everything is written before the session goes.
  QObject::connect(&application, &QGuiApplication::commitDataRequest, &window,
                   [&window](QSessionManager&) { window.Run(MenuCommand::kExit); });
  QApplication::setQuitOnLastWindowClosed(false);
  QObject::connect(&application, &QCoreApplication::aboutToQuit, &window, [&window, &state] {
    // Exit ran the exit sequence; any other way out still writes every file.
    if (!window.exited()) (void)ui::SaveAllFiles(state.home, state.settings, state.table);
  });
  return QApplication::exec();
}

}  // namespace

}  // namespace zelk::gui

int main(int argc, char** argv) { return zelk::gui::Main(argc, argv); }
