#include "net/dial_up.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>

#include "net/conversation.h"
#include "net/nmcli_link.h"
#include "platform/files.h"
#include "support/fake_dial_link.h"
#include "support/fake_ports.h"
#include "support/temp_dir.h"

namespace zelk::net {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Strings = std::vector<std::string>;

constexpr int kIsp = 2;     // account dialling "ISP"
constexpr int kOffice = 3;  // account dialling "Office"

// Two dial-up accounts over a scripted link, every port call recorded.
struct DialFixture {
  config::Settings settings;
  store::MailBoxTable table;
  platform::PollEventLoop loop;
  test::FakePorts ports;
  test::FakeDialLink link{loop};
  DialUp dialUp{DialUpParts{loop, ports, ports, link}, settings, table};

  DialFixture() {
    store::Init(table);
    store::NoSelector selector;
    for (const char* entry : {"ISP", "Office"}) {
      store::MailBox& box = *table.boxes[static_cast<std::size_t>(store::AddMailBox(table, selector))];
      box.RasMode = 1;
      box.RasEntry = entry;
    }
    settings.RasInfos = {{"ISP", "ann", "pw1"}, {"Office", "bob", "pw2"}};
    dialUp.SetSecondForTesting(1ms);
  }
  store::MailBox& Box(int index) { return *table.boxes[static_cast<std::size_t>(index)]; }
  Strings Shown(std::string_view kind) const {
    Strings shown;
    for (const std::string& call : ports.calls) {
      if (call.starts_with(kind)) shown.push_back(call.substr(kind.size()));
    }
    return shown;
  }
  // Runs `call` from the event loop after `delay`, as a command the user gives during a wait.
  void Later(std::chrono::milliseconds delay, std::function<void()> call) {
    loop.SetTimer(99, delay, [this, call] {
      loop.KillTimer(99);
      call();
    });
  }
};

TEST(DialUpRequest, RulesThatAnswerWithoutDialling) {
  DialFixture f;
  f.settings.EnableLAN = 1;
  EXPECT_TRUE(f.dialUp.Request(kIsp, true));
  f.settings.EnableLAN = 0;
  f.Box(kOffice).RasMode = 0;
  EXPECT_TRUE(f.dialUp.Request(kOffice, false));
  f.Box(kOffice).RasMode = 1;
  EXPECT_FALSE(f.dialUp.Request(9, false));  // no such mailbox
  f.link.available = false;
  EXPECT_TRUE(f.dialUp.Request(kIsp, false));
  f.link.available = true;
  EXPECT_TRUE(f.ports.calls.empty());

  // An entry no RASINFO names (names match exactly): refused, boxed unless errors are ignored.
  f.Box(kIsp).RasEntry = "isp";
  EXPECT_FALSE(f.dialUp.Request(kIsp, false));
  f.settings.SocIgnoreError = 1;
  EXPECT_FALSE(f.dialUp.Request(kIsp, false));
  EXPECT_EQ(f.Shown("message "), Strings{"Error: No dial-up setting available"});
  EXPECT_EQ(f.ports.status[1], "No dial-up setting available");

  // Without an entry only an automatic check with RasNoCheck and nothing up is refused; with
  // RasNoCheck an automatic check never dials.
  f.Box(kIsp).RasEntry.reset();
  EXPECT_FALSE(f.dialUp.Request(kIsp, true));
  EXPECT_TRUE(f.dialUp.Request(kIsp, false));
  EXPECT_FALSE(f.dialUp.Request(kOffice, true));
  f.settings.RasNoCheck = 0;
  EXPECT_TRUE(f.dialUp.Request(kIsp, true));
  EXPECT_TRUE(f.link.calls.empty());

  // With our own connection up, an account without an entry uses it, automatic check or not.
  f.settings.RasNoCheck = 1;
  ASSERT_TRUE(f.dialUp.Request(kOffice, false));
  f.Box(kIsp).RasReCon = 1;
  EXPECT_TRUE(f.dialUp.Request(kIsp, true));
  EXPECT_EQ(f.link.calls, Strings{"dial Office bob pw2"});
}

TEST(DialUpRequest, UsesAConnectionOfAnotherProgramAndNeverHangsItUp) {
  DialFixture f;
  f.link.active = Strings{"Neighbour"};
  f.Box(kIsp).RasReCon = 1;
  EXPECT_TRUE(f.dialUp.Request(kIsp, false));
  f.link.active.reset();  // cannot tell what is up: taken as up
  EXPECT_TRUE(f.dialUp.Request(kOffice, true));
  f.dialUp.HangUp();
  EXPECT_TRUE(f.link.calls.empty());
}

TEST(DialUpRequest, DialsWithTheEntrysLoginReportsProgressAndHangsUpOnce) {
  DialFixture f;
  EXPECT_TRUE(f.dialUp.Request(kIsp, false));
  EXPECT_EQ(f.Shown("status 1 "), (Strings{"Starting Dial-up", "Opening port...", "Connecting device...",
                                           "Verifying user...", "Dial-up connected"}));
  // Up through our own dial: the same entry, or another account without RasReCon, goes ahead.
  f.Box(kIsp).RasReCon = 1;
  EXPECT_TRUE(f.dialUp.Request(kIsp, false));
  EXPECT_TRUE(f.dialUp.Request(kOffice, false));
  f.dialUp.HangUp();
  f.dialUp.HangUp();
  EXPECT_EQ(f.link.calls, (Strings{"dial ISP ann pw1", "hang up"}));
  EXPECT_TRUE(f.Shown("message ").empty());
}

TEST(DialUpRequest, RedialsAnotherEntryAfterTheWait) {
  DialFixture f;
  f.dialUp.SetSecondForTesting(20ms);
  ASSERT_TRUE(f.dialUp.Request(kIsp, false));
  f.Box(kOffice).RasReCon = 1;
  bool waitTimerSeen = false;
  f.Later(10ms, [&] { waitTimerSeen = f.loop.HasTimer(kDialWaitTimer); });
  const Clock::time_point start = Clock::now();
  EXPECT_TRUE(f.dialUp.Request(kOffice, false));
  EXPECT_GE(Clock::now() - start, 100ms);  // RasWaitSec 5
  EXPECT_TRUE(waitTimerSeen);
  EXPECT_FALSE(f.loop.HasTimer(kDialWaitTimer));
  EXPECT_EQ(f.link.calls, (Strings{"dial ISP ann pw1", "hang up", "dial Office bob pw2"}));
}

TEST(DialUpRequest, StopEndsTheWaitsAtOnce) {
  DialFixture f;
  const auto refusedWithin = [&](int mailbox, std::function<void()> stop) {
    f.Later(20ms, std::move(stop));
    const Clock::time_point start = Clock::now();
    const bool refused = !f.dialUp.Request(mailbox, false);
    return refused && Clock::now() - start < 1000ms && !f.dialUp.Dialing() && !f.loop.HasTimer(kDialWaitTimer);
  };
  ASSERT_TRUE(f.dialUp.Request(kIsp, false));
  f.Box(kOffice).RasReCon = 1;
  f.dialUp.SetSecondForTesting(1000ms);
  EXPECT_TRUE(refusedWithin(kOffice, [&] {
    EXPECT_FALSE(f.dialUp.Request(kIsp, false));  // nothing nests into a running request
    f.dialUp.HangUp();
  }));
  EXPECT_EQ(f.link.calls, (Strings{"dial ISP ann pw1", "hang up"}));

  // A dial that never reports: Stop hangs it up.
  f.link.script.clear();
  EXPECT_TRUE(refusedWithin(kIsp, [&] { f.dialUp.HangUp(); }));
  EXPECT_EQ(f.link.calls.size(), 4u);
  EXPECT_EQ(f.link.calls.back(), "hang up");

  // Stopped work kills the wait's timer: nothing is dialled after it.
  f.link.script = {{DialState::kConnected, {}}};
  ASSERT_TRUE(f.dialUp.Request(kIsp, false));
  EXPECT_TRUE(refusedWithin(kOffice, [&] { f.loop.KillTimer(kDialWaitTimer); }));
  EXPECT_EQ(f.link.calls.back(), "hang up");
  EXPECT_TRUE(f.Shown("message ").empty());
}

TEST(DialUpRequest, FailuresAndDisconnections) {
  DialFixture f;
  f.link.dialStarts = false;
  f.link.dialError = "Modem not responding";
  EXPECT_FALSE(f.dialUp.Request(kIsp, false));
  EXPECT_EQ(f.Shown("status 1 "), (Strings{"Starting Dial-up", "Modem not responding"}));

  // Reported during the dial: what was started is hung up.
  f.link.dialStarts = true;
  f.link.script = {{DialState::kOpenPort, {}}, {DialState::kAuthenticate, "Authentication failed"}};
  EXPECT_FALSE(f.dialUp.Request(kIsp, false));
  EXPECT_EQ(f.ports.status[1], "Authentication failed");
  f.link.script = {{DialState::kOpenPort, {}}, {DialState::kDisconnected, {}}};
  EXPECT_FALSE(f.dialUp.Request(kIsp, false));
  EXPECT_EQ(f.ports.status[1], "Dial-up disconnected");
  EXPECT_EQ(f.Shown("message "), (Strings{"Error: Modem not responding", "Error: Authentication failed",
                                          "Error: Dial-up disconnected"}));
  f.settings.SocIgnoreError = 1;
  EXPECT_FALSE(f.dialUp.Request(kIsp, false));

  // A line that drops once up is told in the status bar only; the next request dials again.
  f.settings.SocIgnoreError = 0;
  f.link.script = {{DialState::kConnected, {}}};
  ASSERT_TRUE(f.dialUp.Request(kIsp, false));
  f.link.Report({DialState::kDisconnected, "Carrier lost"});
  EXPECT_EQ(f.ports.status[1], "Carrier lost");
  EXPECT_TRUE(f.dialUp.Request(kIsp, false));
  EXPECT_EQ(f.Shown("message ").size(), 3u);
  EXPECT_EQ(f.link.calls, (Strings{"dial ISP ann pw1", "dial ISP ann pw1", "hang up", "dial ISP ann pw1", "hang up",
                                   "dial ISP ann pw1", "hang up", "dial ISP ann pw1", "hang up", "dial ISP ann pw1"}));
}

TEST(DialUpRequest, ReportsOfAnEarlierDialAreIgnored) {
  DialFixture f;
  f.link.script = {{DialState::kOpenPort, "No dial tone"}};
  ASSERT_FALSE(f.dialUp.Request(kIsp, false));
  f.link.script.clear();
  f.Later(5ms, [&] {
    f.link.Report({DialState::kDisconnected, {}}, 0);
    f.link.Report({DialState::kOpenPort, "No dial tone"}, 0);
    f.link.Report({DialState::kConnected, {}}, 1);
  });
  EXPECT_TRUE(f.dialUp.Request(kIsp, false));
  EXPECT_EQ(f.link.calls, (Strings{"dial ISP ann pw1", "hang up", "dial ISP ann pw1"}));
}

// A stand-in for nmcli, first on PATH: it records each argument vector (and a passwd-file's
// mode and text), and answers from files in its directory.
class FakeNmcli {
 public:
  FakeNmcli() : oldPath_(std::getenv("PATH")) {
    for (const char* name : {"profiles", "active", "up-output"}) Put(name, "");
    Put("up-status", "0");
    Put("nmcli", "#!/bin/sh\nd='" + dir_.path() +
                     "'\n"
                     "for a in \"$@\"; do printf '%s|' \"$a\"; f=\"$a\"; done >> \"$d/calls\"; echo >> \"$d/calls\"\n"
                     "case \" $* \" in *' passwd-file '*) { stat -c %a \"$f\"; cat \"$f\"; } >> \"$d/calls\";; esac\n"
                     "case \"$*\" in\n"
                     "  *'show --active') [ -f \"$d/active-fails\" ] && exit 8; cat \"$d/active\";;\n"
                     "  *show) cat \"$d/profiles\";;\n"
                     "  *' up '*) [ -f \"$d/up-sleep\" ] && exec sleep 5\n"
                     "    cat \"$d/up-output\"; exit $(cat \"$d/up-status\");;\n"
                     "esac\n");
    ::chmod(dir_.file("nmcli").c_str(), 0700);
    ::setenv("PATH", (dir_.path() + ":" + oldPath_).c_str(), 1);
  }
  ~FakeNmcli() { ::setenv("PATH", oldPath_.c_str(), 1); }

  void Put(const std::string& name, const std::string& text) {
    ASSERT_TRUE(platform::WriteFileAtomically(dir_.file(name), text));
  }
  Strings Calls() const {
    Strings lines;
    std::string text = platform::ReadWholeFile(dir_.file("calls")).value_or("");
    for (std::size_t end; (end = text.find('\n')) != std::string::npos; text.erase(0, end + 1)) {
      lines.push_back(text.substr(0, end));
    }
    return lines;
  }

 private:
  test::TempDir dir_;
  std::string oldPath_;
};

constexpr char kShowAll[] = "-t|-e|yes|-f|NAME,TYPE,STATE|connection|show|";
constexpr char kShowActive[] = "-t|-e|yes|-f|NAME,TYPE,STATE|connection|show|--active|";

// Dials and runs the loop until `count` reports have come (or five seconds have passed).
std::vector<DialEvent> DialAndAwait(platform::EventLoop& loop, NmcliLink& link, const platform::Text& entry,
                                    const platform::Text& password, std::size_t count) {
  std::vector<DialEvent> events;
  platform::Text error;
  EXPECT_TRUE(link.Dial(entry, "ann", password, [&](const DialEvent& e) { events.push_back(e); }, error));
  EXPECT_TRUE(events.empty());  // reports come through the loop, never from inside Dial
  loop.SetTimer(98, 5s, [&loop] { loop.KillTimer(98); });
  loop.RunUntil([&] { return events.size() >= count || !loop.HasTimer(98); });
  loop.KillTimer(98);
  return events;
}

TEST(NmcliLink, ReadsProfilesAndWhatIsUpFromTerseOutput) {
  FakeNmcli nmcli;
  platform::PollEventLoop loop;
  NmcliLink link(loop);
  ASSERT_TRUE(link.Available());
  nmcli.Put("profiles", "My\\:ISP:gsm:\nlo:loopback:activated\nBack\\\\slash:pppoe:\n");
  EXPECT_EQ(link.Entries(), (Strings{"My:ISP", "Back\\slash"}));
  nmcli.Put("active", "lo:loopback:activated\nVPN:vpn:activating\nHome:802-11-wireless:activated\n");
  EXPECT_EQ(link.ActiveEntries(), Strings{"Home"});
  nmcli.Put("active-fails", "");
  EXPECT_FALSE(link.ActiveEntries().has_value());
  EXPECT_EQ(nmcli.Calls(), (Strings{kShowAll, kShowActive, kShowActive}));

  const std::string path = std::getenv("PATH");
  ::setenv("PATH", "/nonexistent", 1);
  NmcliLink missing(loop);
  ::setenv("PATH", path.c_str(), 1);
  EXPECT_FALSE(missing.Available());
}

TEST(NmcliLink, DialsWithAPrivatePasswordFileAndTakesDownOnlyItsOwn) {
  FakeNmcli nmcli;
  platform::PollEventLoop loop;
  NmcliLink link(loop);
  nmcli.Put("profiles", "My\\:ISP:gsm:\nHome:802-11-wireless:\n");
  std::vector<DialEvent> events = DialAndAwait(loop, link, "My:ISP", "s3cret", 2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].state, DialState::kOpenPort);
  EXPECT_EQ(events[1].state, DialState::kConnected);
  EXPECT_EQ(events[1].error, "");
  Strings calls = nmcli.Calls();
  const std::string up = "connection|up|id|My:ISP|passwd-file|";
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[0], kShowAll);
  ASSERT_TRUE(calls[1].starts_with(up));
  EXPECT_EQ(Strings(calls.begin() + 2, calls.end()), (Strings{"600", "gsm.password:s3cret"}));
  EXPECT_FALSE(platform::FileSize(calls[1].substr(up.size(), calls[1].size() - up.size() - 1)));  // removed
  link.HangUp();
  link.HangUp();
  EXPECT_EQ(nmcli.Calls().back(), "connection|down|id|My:ISP|");
  EXPECT_EQ(nmcli.Calls().size(), 5u);

  // No password file where the secret has another name, or where the password would add lines.
  DialAndAwait(loop, link, "Home", "pw", 2);
  EXPECT_EQ(nmcli.Calls().back(), "connection|up|id|Home|");
  DialAndAwait(loop, link, "My:ISP", "a\nvpn.secrets.x:y", 2);
  EXPECT_EQ(nmcli.Calls().back(), "connection|up|id|My:ISP|");

  // A profile that is up already is reported connected and never taken down.
  nmcli.Put("profiles", "Up:802-3-ethernet:activated\n");
  const std::size_t before = nmcli.Calls().size();
  events = DialAndAwait(loop, link, "Up", "", 1);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].state, DialState::kConnected);
  link.HangUp();
  EXPECT_EQ(nmcli.Calls().size(), before + 1);
}

TEST(NmcliLink, FailureTextAndHangUpDuringTheDial) {
  FakeNmcli nmcli;
  platform::PollEventLoop loop;
  NmcliLink link(loop);
  nmcli.Put("up-output", "Error: Connection activation failed: No suitable device found.\n");
  nmcli.Put("up-status", "4");
  std::vector<DialEvent> events = DialAndAwait(loop, link, "ISP", "", 2);
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[1].error, "Error: Connection activation failed: No suitable device found.");

  // nmcli still at work: stopped, the activation taken down, and nothing reported later.
  nmcli.Put("up-sleep", "");
  events.clear();
  platform::Text error;
  ASSERT_TRUE(link.Dial("ISP", "", "", [&](const DialEvent& e) { events.push_back(e); }, error));
  const Clock::time_point start = Clock::now();
  link.HangUp();
  EXPECT_LT(Clock::now() - start, 2s);
  EXPECT_EQ(nmcli.Calls().back(), "connection|down|id|ISP|");
  loop.SetTimer(98, 50ms, [&loop] { loop.KillTimer(98); });
  loop.RunUntil([] { return false; });
  EXPECT_TRUE(events.empty());
}

}  // namespace
}  // namespace zelk::net
