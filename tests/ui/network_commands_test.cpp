#include "ui/network_commands.h"

#include <gtest/gtest.h>

#include "mime/outgoing_message.h"
#include "store/marks.h"
#include "support/dovecot_server.h"
#include "support/fake_dial_link.h"
#include "support/fake_ports.h"
#include "support/fixed_clock.h"
#include "support/scripted_server.h"
#include "support/temp_dir.h"

namespace zelk::ui {
namespace {

using namespace net;  // the conversation and its handlers, which these commands drive

using namespace std::chrono_literals;
using test::Expect;
using test::ScriptedServer;
using test::Send;
using Steps = std::vector<test::ScriptStep>;
using Calls = std::vector<std::string>;

// The main window and the selector, recorded among the other ports' calls.
class FakeWindow final : public QuietWindow, public store::SelectorPort {
 public:
  explicit FakeWindow(Calls& calls) : calls_(calls) {}
  bool visible = false, inFront = false;
  void SetTitle(const platform::Text& title) override { calls_.push_back("title " + title); }
  bool Visible() const override { return visible; }
  bool InFront() const override { return inFront; }
  void ShowAndRaise() override { calls_.push_back("raise"); }
  void ShowMailBox(int mailbox) override { calls_.push_back("show mailbox " + std::to_string(mailbox)); }
  void ShowNewMailNotice(bool activate) override { calls_.push_back(activate ? "notice active" : "notice"); }
  void HideNewMailNotice() override { calls_.push_back("notice hidden"); }
  void EntryAdded(const platform::Text&) override {}
  void EntryRemoved(int) override {}
  void EntryRenamed(int i, const platform::Text& label) override {
    calls_.push_back("entry " + std::to_string(i) + " " + label);
  }
  void EntrySelected(int) override {}

 private:
  Calls& calls_;
};

class FakeDialUp final : public DialUpGate {
 public:
  std::vector<int> requests;
  int refused = -1;
  bool Request(int mailbox, bool) override { return requests.push_back(mailbox), mailbox != refused; }
  void HangUp() override {}
  bool Dialing() const override { return false; }
};

Steps Login(const char* password = "+OK\r\n") {
  Steps steps = {Send("+OK ready\r\n"), Expect("USER me"), Send("+OK\r\n"), Expect("PASS secret"), Send(password)};
  if (password[0] == '+') steps.insert(steps.end(), {Expect("CAPA"), Send("-ERR\r\n")});
  return steps;
}
const Steps kQuitting = {Expect("QUIT"), Send("+OK bye\r\n"), test::Close()};
// A first check of a server that holds `count` messages.
Steps Holding(int count) {
  Steps steps = Login();
  steps.insert(steps.end(), {Expect("STAT"), Send("+OK " + std::to_string(count) + " 100\r\n")});
  for (int n = 1; n <= count; ++n) {
    const std::string s = std::to_string(n);
    steps.insert(steps.end(), {Expect("LIST " + s), Send("+OK " + s + " 50\r\n"), Expect("TOP " + s + " 100"),
                               Send("+OK\r\nMessage-Id: <" + s + "@x>\r\n\r\nbody\r\n.\r\n")});
  }
  steps.insert(steps.end(), kQuitting.begin(), kQuitting.end());
  return steps;
}

// Accounts "One", "Two" and "Three" (indexes 2 to 4, user "me", password "secret"); nothing
// listens on their port, so an unwanted visit shows as an error. The Savebox is selected and the
// window hidden. Dial-up requests are recorded and answered at once, or with `dialling` go to a
// real dial-up over a scripted link that knows the entry "ISP".
struct CommandsFixture {
  test::TempDir home;
  config::Settings settings;
  store::MailBoxTable table;
  platform::PollEventLoop loop;
  test::FakePorts ports;
  FakeWindow window{ports.calls};
  FakeDialUp dialUp;
  test::FakeDialLink link{loop};
  DialUp dialling{DialUpParts{loop, ports, ports, link}, settings, table};
  ConversationLog log{home.path(), false};
  test::FixedClock clock{{2006, 1, 2, 3, 10, 5, 9, 0}, 0};
  mime::LocalZone zone;
  std::vector<int> finished;
  std::unique_ptr<NetworkCommands> commands;

  explicit CommandsFixture(bool realDialUp = false) {
    settings.RasCheckEndDisCon = 0;
    settings.RasInfos = {{"ISP", "ann", "pw1"}};
    dialling.SetSecondForTesting(1ms);
    settings.NewMailSoundFile = "ding.wav";
    settings.SendMessageId = 0;
    store::Init(table);
    store::NoSelector selector;
    for (const char* name : {"One", "Two", "Three"}) {
      store::MailBox& box = *table.boxes[static_cast<std::size_t>(store::AddMailBox(table, selector))];
      box.Name = name;
      box.Server = box.SmtpServer = "127.0.0.1";
      box.Port = 1;
      box.User = "me";
      box.Pass = "secret";
      box.MailAddress = "me@example.org";
    }
    table.selected = store::kSaveboxIndex;
    commands = std::make_unique<NetworkCommands>(
        CommandParts{loop, ports, ports, ports, ports, window, window,
                     realDialUp ? static_cast<DialUpGate&>(dialling) : dialUp, log, clock, zone, home.path(), {}},
        settings, table);
    // Cycle ticks in every round of the loop, so one also comes between a conversation's close
    // and its end processing.
    commands->SetPeriodsForTesting(0ms, 60'000ms);
    commands->accountFinished = [this](int mailbox) { finished.push_back(mailbox); };
  }
  store::MailBox& box(int index) { return *table.boxes[static_cast<std::size_t>(index)]; }
  bool Working() const {
    for (const int timer : {kPollTimer, kSendCycleTimer, kSingleSendTimer, kCheckAllTimer, kUpdateAllTimer}) {
      if (loop.HasTimer(timer)) return true;
    }
    return commands->conversation().socket() != kNoSocket;
  }
  // False when the work had not ended after 10 s.
  bool RunToIdle() {
    const auto limit = std::chrono::steady_clock::now() + 10s;
    loop.RunUntil([&] { return !Working() || std::chrono::steady_clock::now() > limit; });
    return !Working();
  }
  Calls Seen(std::string_view prefix) const {
    Calls found;
    for (const std::string& call : ports.calls) {
      if (call.starts_with(prefix)) found.push_back(call);
    }
    return found;
  }
  static void Served(std::initializer_list<ScriptedServer*> servers) {
    for (ScriptedServer* server : servers) {
      EXPECT_TRUE(server->WaitDone());
      EXPECT_EQ(server->failures(), "");
    }
  }
  store::ItemRef Add(int mailbox, int mark, const char* account = nullptr) {
    auto item = std::make_shared<store::MailItem>();
    item->Mark = mark;
    item->No = 1;
    item->Status = store::kStatusRead;
    item->To = "a@x.test";
    if (account) item->MailBoxName = account;
    store::Append(box(mailbox), item);
    return item;
  }
};

const std::string kWarning = "Warning!  This will delete mail from the server";

TEST(CheckAll, LeavesOutCyclicAccountsAndTellsOfTheNewMail) {
  CommandsFixture f;
  ScriptedServer one(Holding(2)), three(Holding(1));
  f.box(2).Port = one.port();
  f.box(3).CyclicFlag = 1;
  f.box(4).Port = three.port();
  ASSERT_TRUE(f.commands->CheckAll());
  EXPECT_NE(f.commands->conversation().socket(), kNoSocket);  // the first account at once, not a tick later
  EXPECT_FALSE(f.commands->CheckAll());                // the cycle holds the network
  ASSERT_TRUE(f.RunToIdle());
  CommandsFixture::Served({&one, &three});
  EXPECT_EQ(f.Seen("message"), Calls{});
  EXPECT_EQ(f.dialUp.requests, (std::vector<int>{2, 4}));
  EXPECT_EQ(f.finished, (std::vector<int>{2, 4}));
  EXPECT_FALSE(f.commands->flags().cycleBusy);
  // The window is hidden: the tray tells, both accounts get their " *" and the title counts them.
  EXPECT_EQ(f.Seen("tray new mail").size(), 1u);
  EXPECT_EQ(f.Seen("entry"), (Calls{"entry 2 One *", "entry 4 Three *"}));
  EXPECT_EQ(f.Seen("title"), Calls{"title Zelk - [Accounts with Unread mail: 2]"});
  EXPECT_EQ(f.Seen("sound"), Calls{"sound ding.wav"});
  EXPECT_EQ(f.Seen("notice"), Calls{"notice active"});

  // While the notice is up a new command leaves the accounts' new-mail flags alone.
  f.box(2).CyclicFlag = f.box(4).CyclicFlag = 1;
  ASSERT_TRUE(f.commands->CheckAll());
  ASSERT_TRUE(f.RunToIdle());
  EXPECT_EQ(f.box(2).NewMail, 1);
  // Yes shows the first account with new mail at its first new item.
  f.ports.calls.clear();
  f.box(2).Items[0]->New = 0;
  f.commands->NoticeAnswered(true);
  EXPECT_EQ(f.ports.calls, (Calls{"raise", "show mailbox 2", "select 1 focus", "scroll 1", "notice hidden"}));
  EXPECT_FALSE(f.commands->NoticeShowing());
}

TEST(CheckAll, IgnoredErrorsLetTheCycleGoOnOthersStopIt) {
  for (const int ignore : {1, 0}) {
    CommandsFixture f;
    f.settings.SocIgnoreError = ignore;
    f.dialUp.refused = 4;  // Three's turn ends before any connection
    ScriptedServer one(Holding(0)), two(Login("-ERR bad\r\n"));
    f.box(2).Port = one.port();
    f.box(3).Port = two.port();
    ASSERT_TRUE(f.commands->CheckAll());
    ASSERT_TRUE(f.RunToIdle());
    CommandsFixture::Served({&one, &two});
    EXPECT_EQ(f.finished, (std::vector<int>{2, 3}));
    if (ignore) {
      EXPECT_EQ(f.dialUp.requests, (std::vector<int>{2, 3, 4}));
      EXPECT_EQ(f.Seen("message"), Calls{});
      EXPECT_EQ(f.Seen("status 1 Username"), Calls{"status 1 Username or password error\n\n-ERR bad"});
    } else {
      EXPECT_EQ(f.dialUp.requests, (std::vector<int>{2, 3}));
      EXPECT_EQ(f.Seen("message"), Calls{"message Error - Two: Username or password error\n\n-ERR bad"});
      EXPECT_FALSE(f.commands->flags().cycleBusy || f.commands->flags().cycleRunning);
    }
  }
}

TEST(NewMailNotice, CountsDecideWhatTheUserIsTold) {
  CommandsFixture f;
  f.settings.ShowNoMailMessage = 1;
  f.commands->NotifyNewMail(-1);
  f.commands->NotifyNewMail(0);
  f.commands->flags().autoCheck = true;
  f.commands->NotifyNewMail(0);
  EXPECT_EQ(f.ports.calls, Calls{"message Zelk: No new mail!"});

  // New mail where the user is looking: no tray, no notice, no " *" for it; Three has no unread
  // new item and its checks fetch text, so no " *" either.
  f.ports.calls.clear();
  f.commands->flags().autoCheck = false;
  f.window.visible = f.window.inFront = true;
  f.table.selected = 3;
  f.box(3).NewMail = f.box(4).NewMail = 1;
  f.Add(3, 0)->Status = store::kStatusUnread;
  f.box(3).Items[0]->New = 1;
  f.commands->NotifyNewMail(1);
  EXPECT_EQ(f.ports.calls, (Calls{"title Zelk", "sound ding.wav"}));

  // Checks that fetch no text make new mail unread mail; an automatic check shows the notice.
  f.ports.calls.clear();
  f.settings.ListGetLine = 0;
  f.settings.NewMailSound = f.settings.ActiveNewMailMessage = 0;
  f.commands->flags().autoCheck = true;
  f.commands->NotifyNewMail(1);
  f.commands->NoticeAnswered(false);
  EXPECT_EQ(f.ports.calls,
            (Calls{"entry 4 Three *", "title Zelk - [Accounts with Unread mail: 1]", "notice", "notice hidden"}));
}

TEST(UpdateCommands, NothingMarkedOrDeletionRefusedOpensNoConnection) {
  CommandsFixture f;
  for (const int selected : {2, store::kOutboxIndex}) {
    f.table.selected = selected;
    EXPECT_FALSE(f.commands->UpdateAccount());
  }
  f.Add(2, 0);
  f.Add(2, store::kMarkDelete);
  f.Add(3, store::kMarkDownload);
  f.Add(4, store::kMarkDelete);
  f.table.selected = 2;
  EXPECT_FALSE(f.commands->UpdateAccount());  // No to the question
  f.table.selected = store::kSaveboxIndex;
  EXPECT_FALSE(f.commands->UpdateAll());  // asked once, for the first account; No shows what would go
  EXPECT_EQ(f.ports.calls, (Calls{"message Update account: There is no marked mail",
                                  "message Update account: There is no marked mail",
                                  "message Update account: " + kWarning, "message One: " + kWarning,
                                  "show mailbox 2", "select 1 focus", "scroll 1"}));
  EXPECT_EQ(f.dialUp.requests, std::vector<int>{});

  CommandsFixture g;  // marks only in an account left out
  g.Add(3, store::kMarkDelete);
  g.box(3).CyclicFlag = 1;
  EXPECT_FALSE(g.commands->UpdateAll());
  EXPECT_EQ(g.ports.calls, Calls{"message Update all accounts: There is no marked mail"});
}

// An SMTP session that takes the Outbox item and quits.
Steps Sending(CommandsFixture& f, const store::ItemRef& item) {
  store::MailItem copy = *item;
  platform::Text error;
  mime::OutgoingOptions options;
  options.sendMessageId = 0;
  const std::string text = mime::BuildMessageText(copy, f.box(2), options, f.clock, error).value_or("");
  Steps steps = {Send("220 hi\r\n"), Expect("HELO example.org"), Send("250 hi\r\n"), Expect("RSET"), Send("250 ok\r\n"),
                 Expect("MAIL FROM:<me@example.org>"), Send("250 ok\r\n"), Expect("RCPT TO:<a@x.test>"),
                 Send("250 ok\r\n"), Expect("DATA"), Send("354 go\r\n")};
  for (std::size_t at = 0, end; at < text.size(); at = end + 2) {
    end = text.find("\r\n", at);
    steps.push_back(Expect(text.substr(at, end - at)));
  }
  steps.insert(steps.end(), {Send("250 queued\r\n"), Expect("QUIT"), Send("221 bye\r\n"), test::Close()});
  return steps;
}

TEST(PopBeforeSmtp, LogsInWaitsTheTicksThenSends) {
  // The composer's "Send now", "Update account" on the Outbox (the send cycle), and "Update all
  // accounts", which sends after each account's turn.
  for (const char* start : {"send now", "update outbox", "update all"}) {
    CommandsFixture f;
    f.settings.ShowNoMailMessage = 1;
    f.settings.PopBeforeSmtpWait = 399;  // three ticks
    f.commands->SetPeriodsForTesting(40ms, 60'000ms);
    f.box(2).PopBeforeSmtp = 1;
    const store::ItemRef item = f.Add(store::kOutboxIndex, store::kMarkSend, "One");
    Steps login = Login();
    login.resize(login.size() - 2);  // a login alone asks for no capabilities
    login.insert(login.end(), kQuitting.begin(), kQuitting.end());
    ScriptedServer pop(login), smtp(Sending(f, item));
    f.box(2).Port = pop.port();
    f.box(2).SmtpPort = smtp.port();
    f.table.selected = store::kOutboxIndex;
    const std::string_view how = start;
    ASSERT_TRUE(how == "send now"        ? f.commands->SendNow(item)
                : how == "update outbox" ? f.commands->UpdateAccount()
                                         : f.commands->UpdateAll());
    f.loop.RunUntil([&] { return pop.WaitDone(0ms) && !f.loop.HasTimer(kPollTimer) &&
                                 f.commands->conversation().socket() == kNoSocket; });
    const auto loggedIn = std::chrono::steady_clock::now();
    f.loop.RunUntil([&] { return f.commands->conversation().socket() > 0 || !f.Working(); });
    EXPECT_GE(std::chrono::steady_clock::now() - loggedIn, 3 * 40ms) << start;
    ASSERT_TRUE(f.RunToIdle());
    CommandsFixture::Served({&pop, &smtp});
    EXPECT_EQ(item->Status, store::kStatusSent) << start;
    EXPECT_EQ(f.Seen("message").size() + f.Seen("notice").size(), 0u) << start;  // a login counts no mail
    if (how == "send now") {
      EXPECT_EQ(f.dialUp.requests, (std::vector<int>{2, 2}));
    }
  }
}

TEST(SendCycle, AStartThatKeepsTheMarkMovesTheCycleOn) {
  // Each cancelled prompt, with SendIgnoreError 1, is asked once, not on every tick for ever.
  CommandsFixture f;
  f.settings.SendIgnoreError = 1;
  const store::ItemRef first = f.Add(store::kOutboxIndex, store::kMarkSend, "One");
  const store::ItemRef second = f.Add(store::kOutboxIndex, store::kMarkSend, "Two");
  for (const int index : {2, 3}) {
    f.box(index).SmtpAuth = 1;
    f.box(index).Pass.reset();
  }
  f.table.selected = store::kOutboxIndex;
  ASSERT_TRUE(f.commands->UpdateAccount());
  ASSERT_TRUE(f.RunToIdle());
  EXPECT_EQ(f.Seen("password"), (Calls{"password Zelk - [One]", "password Zelk - [Two]"}));
  EXPECT_EQ(std::make_tuple(first->Mark, second->Mark), std::make_tuple(store::kMarkSend, store::kMarkSend));
}

TEST(AutoCheck, StartsOnTheCountedMinuteUnlessTheNetworkIsBusy) {
  CommandsFixture f;
  f.settings.AutoCheck = 1;
  f.settings.AutoCheckTime = 3;
  f.settings.ShowNoMailMessage = 1;
  for (const int index : {2, 3, 4}) f.box(index).CyclicFlag = 1;
  f.commands->SetPeriodsForTesting(5ms, 30ms);
  f.commands->ArmAutoCheck();
  const auto armed = std::chrono::steady_clock::now();
  f.loop.RunUntil([&] { return f.loop.HasTimer(kCheckAllTimer); });
  EXPECT_GE(std::chrono::steady_clock::now() - armed, 3 * 30ms);
  EXPECT_TRUE(f.commands->flags().autoCheck);
  ASSERT_TRUE(f.RunToIdle());
  EXPECT_EQ(f.Seen("message"), Calls{});  // no "No new mail!" for an automatic check
  EXPECT_FALSE(f.commands->flags().autoCheck);

  // Not while a conversation runs, nor between the conversations of another cycle.
  const auto Wait = [&f] {
    const auto until = std::chrono::steady_clock::now() + 4 * 30ms;
    f.loop.RunUntil([&] { return std::chrono::steady_clock::now() > until; });
    return f.loop.HasTimer(kCheckAllTimer);
  };
  ScriptedServer silent({Send("+OK ready\r\n"), Expect("USER me"), Expect("RSET"), Expect("QUIT"), test::Close()});
  f.box(2).Port = silent.port();
  f.table.selected = 2;
  ASSERT_TRUE(f.commands->CheckAccount());
  EXPECT_FALSE(Wait());
  f.commands->Stop();
  ASSERT_TRUE(f.RunToIdle());
  f.commands->flags().cycleBusy = true;
  EXPECT_FALSE(Wait());
  f.settings.AutoCheck = 0;
  Wait();
  EXPECT_FALSE(f.loop.HasTimer(kAutoCheckTimer));
}

TEST(CheckAgain, AFollowUpCheckThatCannotStartStillEndsTheWork) {
  CommandsFixture f;
  f.settings.ExecEndSound = 1;
  f.settings.ExecEndSoundFile = "done.wav";
  f.box(2).Pass.reset();  // the prompt is cancelled
  f.commands->flags().updateOrSend = true;
  f.commands->CheckAgain(2);
  // The command states are refreshed before and after the dial-up request.
  EXPECT_EQ(f.ports.calls, (Calls{"commands", "commands", "password Zelk - [One]", "commands", "tray normal",
                                  "sound done.wav", "commands"}));
}

// Accounts One and Two dial "ISP" before their conversations (RasCon 1); Three uses the LAN.
struct DiallingFixture : CommandsFixture {
  DiallingFixture() : CommandsFixture(true) {
    settings.RasCon = 1;
    for (const int index : {2, 3}) {
      box(index).RasMode = 1;
      box(index).RasEntry = "ISP";
    }
  }
};

TEST(DialUpCommands, NoCycleTickOrCommandStartsAConversationWhileADialWaits) {
  DiallingFixture f;
  ScriptedServer one(Holding(0)), two(Holding(0)), three(Holding(0));
  f.box(2).Port = one.port();
  f.box(3).Port = two.port();
  f.box(4).Port = three.port();
  // The dial's reports arrive over several rounds of the loop, each with a cycle tick.
  ASSERT_TRUE(f.commands->CheckAll());
  ASSERT_TRUE(f.RunToIdle());
  CommandsFixture::Served({&one, &two, &three});
  EXPECT_EQ(f.finished, (std::vector<int>{2, 3, 4}));
  EXPECT_EQ(f.link.calls, Calls{"dial ISP ann pw1"});  // Two finds the line up
  EXPECT_EQ(f.Seen("message"), Calls{});
  EXPECT_EQ(f.Seen("status 1 Dial-up connected").size(), 1u);

  // Stop while a dial waits ends the wait at once and hangs up; meanwhile the network is busy.
  DiallingFixture g;
  g.link.script.clear();  // the line never answers
  g.table.selected = 2;
  bool busyWhileDialling = false;
  g.loop.Post([&] {
    busyWhileDialling = !g.commands->CheckAll() && !g.commands->DialUpConnect() &&
                        g.commands->conversation().socket() == kPreparing;
    g.commands->Stop();
  });
  EXPECT_FALSE(g.commands->CheckAccount());
  EXPECT_TRUE(busyWhileDialling);
  EXPECT_EQ(g.link.calls, (Calls{"dial ISP ann pw1", "hang up"}));
  EXPECT_EQ(g.commands->conversation().socket(), kNoSocket);
  EXPECT_FALSE(g.Working());

  // "Dial-up connect" and "Dial-up disconnect"; with "&LAN" ticked nothing is dialled.
  g.link.script = {{DialState::kConnected, {}}};
  g.link.calls.clear();
  EXPECT_TRUE(g.commands->DialUpConnect());
  g.commands->HangUp();
  EXPECT_TRUE(ToggleLan(g.settings));
  EXPECT_TRUE(g.commands->DialUpConnect());
  EXPECT_EQ(g.link.calls, (Calls{"dial ISP ann pw1", "hang up"}));
}

TEST(DialUpCommands, RefusedRequestsOpenNoConnection) {
  // An entry that names no dial-up setting: the error, and that account's turn ends unconnected.
  for (const int ignore : {0, 1}) {
    DiallingFixture f;
    f.settings.SocIgnoreError = ignore;
    f.box(2).RasEntry = "Nowhere";
    f.box(3).CyclicFlag = 1;
    ScriptedServer three(Holding(0));
    f.box(4).Port = three.port();
    ASSERT_TRUE(f.commands->CheckAll());
    ASSERT_TRUE(f.RunToIdle());
    EXPECT_EQ(f.Seen("status 1 No dial-up"), Calls{"status 1 No dial-up setting available"});
    EXPECT_TRUE(f.link.calls.empty());
    if (ignore) {
      CommandsFixture::Served({&three});
      EXPECT_EQ(f.Seen("message"), Calls{});
      EXPECT_EQ(f.finished, std::vector<int>{4});
    } else {
      EXPECT_EQ(f.Seen("message"), Calls{"message Error: No dial-up setting available"});
      EXPECT_EQ(f.finished, std::vector<int>{});
    }
  }

  // An automatic check with RasNoCheck 1 and nothing up skips the dial-up accounts undialled.
  DiallingFixture f;
  f.settings.RasNoCheck = 1;
  f.settings.AutoCheck = f.settings.AutoCheckTime = 1;
  ScriptedServer three(Holding(0));
  f.box(4).Port = three.port();
  f.commands->SetPeriodsForTesting(0ms, 5ms);
  f.commands->ArmAutoCheck();
  f.loop.RunUntil([&] { return f.loop.HasTimer(kCheckAllTimer); });
  f.settings.AutoCheck = 0;
  ASSERT_TRUE(f.RunToIdle());
  CommandsFixture::Served({&three});
  EXPECT_TRUE(f.link.calls.empty());
  EXPECT_EQ(f.finished, std::vector<int>{4});
}

TEST(DialUpCommands, AConnectionAnotherProgramMadeIsUsedAndLeftUp) {
  DiallingFixture f;
  f.settings.RasCheckEndDisCon = 1;
  f.link.active = std::vector<platform::Text>{"ISP"};
  ScriptedServer one(Holding(1));
  f.box(2).Port = one.port();
  f.table.selected = 2;
  ASSERT_TRUE(f.commands->CheckAccount());
  ASSERT_TRUE(f.RunToIdle());
  CommandsFixture::Served({&one});
  EXPECT_EQ(f.box(2).Items.size(), 1u);
  EXPECT_TRUE(f.link.calls.empty());
  EXPECT_EQ(f.link.active, std::vector<platform::Text>{"ISP"});
}

TEST(ExitAndTable, ExitCutsTheConversationShortAndDeletionsKeepItsMailbox) {
  CommandsFixture f;
  // The server stays silent after the greeting's answer: exit does not wait for it.
  ScriptedServer silent({Send("+OK ready\r\n"), Expect("USER me"), Send("+OK\r\n"), Expect("PASS secret"),
                         Expect("RSET"), Expect("QUIT"), test::Close()});
  f.box(4).Port = silent.port();
  f.table.selected = 4;
  ASSERT_TRUE(f.commands->CheckAccount());
  f.loop.RunUntil([&] { return f.commands->conversation().step > 1; });  // PASS is out
  // Account One goes from the table: the conversation still serves Three, now at index 3.
  store::NoSelector selector;
  store::DeleteMailBox(f.table, 2, selector);
  f.commands->MailboxDeleted(2);
  EXPECT_EQ(f.commands->conversation().mailbox(), 3);
  EXPECT_TRUE(f.commands->CutShortForExit());
  EXPECT_FALSE(f.commands->CutShortForExit());
  CommandsFixture::Served({&silent});
  EXPECT_FALSE(f.Working());
  EXPECT_EQ(f.finished, std::vector<int>{3});
  EXPECT_EQ(f.commands->flags().newMailCount, -1);
}

class CommandsDovecot : public test::DovecotTest {};

// Update all with Yes to the question, each account checked again after its update.
TEST_F(CommandsDovecot, UpdateAllChecksEachAccountAgainAfterItsUpdate) {
  test::DovecotServer server({.users = {{"one", "secret"}, {"three", "secret"}}});
  const auto message = [](int n) { return "Message-Id: <" + std::to_string(n) + "@x>\r\n\r\nline\r\n"; };
  for (const int n : {1, 2}) {
    server.DeliverMessage("one", message(n));
    server.DeliverMessage("three", message(n));
  }
  CommandsFixture f;
  f.settings.CheckEndExec = f.settings.CheckAfterUpdate = 1;
  for (const int index : {2, 3, 4}) f.box(index).Port = server.port();
  f.box(2).User = "one";
  f.box(3).CyclicFlag = 1;
  f.box(4).User = "three";
  ASSERT_TRUE(f.commands->CheckAll());  // nothing marked: no update follows
  ASSERT_TRUE(f.RunToIdle());
  ASSERT_EQ(std::make_tuple(f.box(2).Items.size(), f.box(4).Items.size()), std::make_tuple(2u, 2u)) << server.LogTail();
  f.commands->NoticeAnswered(false);

  store::MarkForDelete(*f.box(2).Items[0]);
  store::MarkForDownload(*f.box(4).Items[1], false, false);
  server.DeliverMessage("three", message(3));
  f.finished.clear();
  f.ports.calls.clear();
  f.ports.answers.push_back(ports::Answer::kYes);
  ASSERT_TRUE(f.commands->UpdateAll());
  ASSERT_TRUE(f.RunToIdle());
  EXPECT_EQ(f.Seen("message"), Calls{"message One: " + kWarning}) << server.LogTail();
  EXPECT_EQ(std::make_tuple(server.MessageCount("one"), f.box(2).Items.size()), std::make_tuple(1u, 1u));
  ASSERT_EQ(f.box(4).Items.size(), 3u);  // the check after the update found the new one
  EXPECT_EQ(f.box(4).Items[1]->Body, "line\r\n");
  EXPECT_EQ(f.finished, (std::vector<int>{2, 2, 4, 4}));
  EXPECT_EQ(f.Seen("notice"), Calls{"notice active"});
}

}  // namespace
}  // namespace zelk::ui
