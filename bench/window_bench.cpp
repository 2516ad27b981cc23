// The desktop program's window, offscreen: how fast it comes up on large mailboxes against the
// time zelk-cli needs to load the same files, what showing 100,000 messages costs, and how long
// the window can go without painting while a check and an update of 2,000 messages run.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <cstdlib>
#include <memory>

#include "bench_data.h"
#include "gui/adapters/qt_event_loop.h"
#include "gui/main_window/main_window.h"
#include "gui/viewer/viewer_window.h"
#include "pop3_data.h"
#include "ratio.h"
#include "store/mailbox_table.h"
#include "ui/save_all.h"

namespace zelk::bench {
namespace {

constexpr int kSaveboxItems = 100'000;
constexpr int kAccountItems = 10'000;

QApplication& Application() {
  static int argc = 1;
  static char name[] = "zelk_bench";
  static char* argv[] = {name, nullptr};
  // Never destroyed: at exit Qt's own statics may be gone before a static application, and its
  // destructor crashed the run before the figures were printed.
  static QApplication* const application = [] {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return *application;
}

store::ItemRef Item(int n) {
  auto item = std::make_shared<store::MailItem>();
  item->Subject = "Message number " + std::to_string(n) + " about the weekly figures";
  item->From = "Sender " + std::to_string(n % 97) + " <s" + std::to_string(n % 97) + "@example.org>";
  item->Date = "Tue, 3 Jan 2006 10:00:00 +0000";
  item->MessageId = "<m" + std::to_string(n) + "@example.org>";
  item->Size = std::to_string(4000 + n % 1000);
  item->Status = item->Mark = 2;
  item->Download = 1;
  item->Body = "Line one of the text.\r\nLine two.\r\n";
  return item;
}

// A home with a Savebox of 100,000 messages and one account of 10,000, written once.
const std::string& LargeHome() {
  static const std::string home = [] {
    const std::string dir = MakeTemporaryDirectory("large-window-home");
    ui::ProgramState state;
    store::Init(state.table);
    store::NoSelector selector;
    store::MailBox& work = *state.table.boxes[static_cast<std::size_t>(store::AddMailBox(state.table, selector))];
    work.Name = "Work";
    for (int n = 0; n < kSaveboxItems; ++n) state.table.boxes[store::kSaveboxIndex]->Items.push_back(Item(n));
    for (int n = 0; n < kAccountItems; ++n) work.Items.push_back(Item(kSaveboxItems + n));
    if (!ui::SaveAllFiles(dir, state.settings, state.table)) std::abort();
    return dir;
  }();
  return home;
}

struct Window {
  explicit Window(const std::string& home) {
    Application();
    state.home = home;
    window = std::make_unique<gui::MainWindow>(state, loop);
  }
  ui::ProgramState state;
  gui::QtEventLoop loop;
  std::unique_ptr<gui::MainWindow> window;
};

void BM_WindowStartLarge(benchmark::State& state) {
  const std::string& home = LargeHome();
  for (auto _ : state) {
    QElapsedTimer clock;
    clock.start();
    Window shown(home);
    if (!shown.window->Start("")) state.SkipWithError("the window did not start");
    shown.window->show();
    QApplication::processEvents();
    shown.window->repaint();
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_WindowStartLarge)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_CliListLarge(benchmark::State& state) {
  RunCommandBenchmark(state, {ZELK_CLI_PATH, "--home", LargeHome(), "list", "Work"}, 0);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_CliListLarge)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// From the choice in the selector to the list painted; `cells_asked` counts what the model was
// asked for, which only the visible rows should cost.
void BM_SelectLargeMailbox(benchmark::State& state) {
  Window shown(LargeHome());
  shown.window->Start("");
  shown.window->resize(800, 600);
  shown.window->show();
  long long asked = 0;
  for (auto _ : state) {
    shown.window->selector().activated(store::kFirstAccountIndex);
    const long long before = shown.window->list().model().dataCalls();
    QElapsedTimer clock;
    clock.start();
    shown.window->selector().activated(store::kSaveboxIndex);
    // The view lays its rows out on the next turn of the loop, then paints them.
    QApplication::processEvents();
    shown.window->list().viewport()->repaint();
    state.SetIterationTime(static_cast<double>(clock.nsecsElapsed()) / 1e9);
    asked = shown.window->list().model().dataCalls() - before;
  }
  state.counters["cells_asked"] = static_cast<double>(asked);
  state.counters["rows"] = kSaveboxItems;
}
BENCHMARK(BM_SelectLargeMailbox)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// A 5 ms timer stands for painting: the longest gap between its ticks while a check of 2,000
// new messages and then the update downloading them all run.
void BM_LongestPaintGapCheckAndUpdate(benchmark::State& state) {
  for (auto _ : state) {
    Window shown(FreshHome(0));
    shown.window->Start("");
    shown.window->show();
    QElapsedTimer sinceTick;
    qint64 longest = 0;
    QTimer ticks;
    QObject::connect(&ticks, &QTimer::timeout, [&] {
      longest = std::max(longest, sinceTick.restart());
    });
    const auto runUntilIdle = [&] {
      while (!shown.window->network().Idle()) QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    };
    sinceTick.start();
    ticks.start(5);
    shown.window->Run(gui::MenuCommand::kCheck);
    runUntilIdle();
    shown.window->list().SelectAll();
    shown.window->Run(gui::MenuCommand::kMarkForDownload);
    shown.window->Run(gui::MenuCommand::kUpdate);
    runUntilIdle();
    ticks.stop();
    state.SetIterationTime(static_cast<double>(longest) / 1e3);
    state.counters["rows"] = store::RowCount(shown.state.list);
  }
}
BENCHMARK(BM_LongestPaintGapCheckAndUpdate)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(1);

}  // namespace

ZELK_RATIO("Window shown, 100,000 + 10,000 messages, vs zelk-cli list (>= 1/1.5)", "BM_WindowStartLarge",
           "BM_CliListLarge", 1 / 1.5);

}  // namespace zelk::bench

// --- The viewer: a message with a 20 MiB attachment shown from the list, against 50 ms ---
namespace zelk::bench {
namespace {

const std::string& AttachmentHome() {
  static const std::string home = [] {
    const std::string dir = MakeTemporaryDirectory("viewer-attachment-home");
    ui::ProgramState state;
    store::Init(state.table);
    store::NoSelector selector;
    store::MailBox& work = *state.table.boxes[static_cast<std::size_t>(store::AddMailBox(state.table, selector))];
    work.Name = "Work";
    auto item = Item(0);
    std::string body =
        "--=_b\r\nContent-Type: text/plain; charset=UTF-8\r\n\r\nHello,\r\n\r\nthe archive is attached.\r\n"
        "--=_b\r\nContent-Type: application/zip; name=\"archive.zip\"\r\nContent-Transfer-Encoding: base64\r\n\r\n";
    const std::string line(76, 'Q');
    while (body.size() < (20u << 20) * 4 / 3) body.append(line).append("\r\n");
    body += "--=_b--\r\n";
    item->Body = std::move(body);
    item->ContentType = "multipart/mixed; boundary=\"=_b\"";
    item->Multipart = 1;
    work.Items.push_back(item);
    if (!ui::SaveAllFiles(dir, state.settings, state.table)) std::abort();
    return dir;
  }();
  return home;
}

void BM_ViewerOpenLargeAttachment(benchmark::State& state) {
  Window shown(AttachmentHome());
  if (!shown.window->Start("")) std::abort();
  shown.window->show();
  QApplication::processEvents();
  for (auto _ : state) {
    shown.window->list().SelectRow(0, true);
    QElapsedTimer timer;
    timer.start();
    shown.window->Run(gui::MenuCommand::kOpen);
    QApplication::processEvents();  // shown and painted
    state.SetIterationTime(static_cast<double>(timer.nsecsElapsed()) / 1e9);
    if (shown.window->viewer() == nullptr || !shown.window->viewer()->isVisible()) state.SkipWithError("no viewer");
    shown.window->viewer()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  }
  state.SetItemsProcessed(state.iterations());
  (void)shown.window->Exit();
}
BENCHMARK(BM_ViewerOpenLargeAttachment)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);

void BM_FiftyMillisecondLimit(benchmark::State& state) {
  for (auto _ : state) state.SetIterationTime(0.05);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FiftyMillisecondLimit)->UseManualTime()->Iterations(1);

}  // namespace

ZELK_RATIO("Viewer shown, 20 MiB attachment, vs 50 ms (>= 1)", "BM_ViewerOpenLargeAttachment",
           "BM_FiftyMillisecondLimit", 1.0);

}  // namespace zelk::bench
