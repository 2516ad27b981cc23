// POP3 work on a local Dovecot, as whole zelk-cli processes, against Python poplib scripts that
// send the same commands to the same server: the same protocol shape, so the ratios are our own
// overhead. A check of 2,000 new messages of about 4 KB (LIST n, then TOP n k); an update that
// downloads 2,000 such messages (RETR n); an update that downloads 50 messages of 2 MB. The
// check and the large update also run inside this process over plain TCP and over TLS (POP3S,
// the server's certificate from a test authority), for what TLS costs.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "bench_data.h"
#include "pop3_data.h"
#include "config/password.h"
#include "net/conversation.h"
#include "net/pop3_check.h"
#include "net/pop3_update.h"
#include "platform/event_loop.h"
#include "store/mailbox_file.h"
#include "support/fake_ports.h"
#include "platform/files.h"
#include "ratio.h"
#include "support/dovecot_server.h"
#include "support/test_authority.h"

namespace zelk::bench {

namespace {

constexpr int kMessages = 2000;
constexpr int kLargeMessages = 50;
constexpr std::size_t kLargeBytes = 2 << 20;

std::string Message(int n) {
  std::string body;
  while (body.size() < 3800) body += "Line of message " + std::to_string(n) + " with some words in it.\r\n";
  return "From: Sender <s@example.org>\r\nTo: u1@example.org\r\nSubject: Message " + std::to_string(n) +
         "\r\nDate: Tue, 3 Jan 2006 10:00:00 +0000\r\nMessage-ID: <m" + std::to_string(n) + "@example.org>\r\n\r\n" + body;
}

}  // namespace

test::DovecotServer& Server() {
  static test::TestAuthority authority;
  static const std::unique_ptr<test::DovecotServer> server = [] {
    authority.TrustInThisProcess();
    auto s = std::make_unique<test::DovecotServer>(test::DovecotOptions{
        .users = {{"u1", "pw"}, {"u2", "pw"}, {"u3", "pw"}}, .tls = authority.Issue(test::kLoopbackNames)});
    for (int n = 1; n <= kMessages; ++n) s->DeliverMessage("u1", Message(n));
    for (int n = 1; n <= kDistantMessages; ++n) s->DeliverMessage("u3", Message(n));
    std::string large;
    while (large.size() < kLargeBytes) large += "A line of a large message, long enough to fill two megabytes soon.\r\n";
    for (int n = 1; n <= kLargeMessages; ++n) {
      s->DeliverMessage("u2", "Subject: Large " + std::to_string(n) + "\r\nMessage-ID: <l" + std::to_string(n) +
                                  "@example.org>\r\n\r\n" + large);
    }
    return s;
  }();
  return *server;
}

std::string FreshHome(int lines, const std::string& user, bool tls, int port) {
  static int homes = 0;
  const std::string home = MakeTemporaryDirectory("check-home-" + std::to_string(++homes));
  const std::string profile = "[GENERAL]\r\nMailBoxCnt=1\r\nListGetLine=" + std::to_string(lines) +
                              "\r\n[MAILBOX-0]\r\nName=\"Work\"\r\nServer=\"127.0.0.1\"\r\nPort=" +
                              std::to_string(port ? port : tls ? Server().tlsPort() : Server().port()) +
                              "\r\nUser=\"" + user +
                              "\"\r\nPass=\"" + config::EncodePassword(user, "pw") + "\"\r\nPopTls=" +
                              (tls ? "1" : "0") + "\r\n";
  if (!platform::WriteFileAtomically(home + "Zelk.ini", profile)) std::abort();
  return home;
}

namespace {

void BM_CheckZelk(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  Server();
  for (auto _ : state) {
    state.PauseTiming();
    const std::string home = FreshHome(lines);
    state.ResumeTiming();
    const double seconds = TimeCommand({ZELK_CLI_PATH, "--home", home, "check", "Work"});
    if (seconds < 0) state.SkipWithError("zelk-cli check failed");
    state.SetIterationTime(seconds);
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_CheckZelk)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_CheckPoplib(benchmark::State& state) {
  const std::string script =
      "import poplib,sys\n"
      "p=poplib.POP3('127.0.0.1'," + std::to_string(Server().port()) + ")\n"
      "p.user('u1'); p.pass_('pw'); n=p.stat()[0]\n"
      "for i in range(1,n+1):\n"
      "  p.list(i); p.top(i," + std::to_string(state.range(0)) + ")\n"
      "p.quit()\n";
  RunCommandBenchmark(state, {"python3", "-c", script}, 0);
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_CheckPoplib)->Arg(0)->Arg(100)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// Reference figures, not ratios: two other POP3 clients fetching the same 2,000 messages whole,
// without deleting them, each delivering to one file (no process per message). mpop pipelines its commands; fetchmail does not.
// Skipped when the client is not installed (apt-get install fetchmail mpop).
void RunPeerClient(benchmark::State& state, const std::vector<std::string>& command) {
  if (::access(command[0].c_str(), X_OK) != 0) {
    state.SkipWithError((command[0] + " is not installed").c_str());
    return;
  }
  RunCommandBenchmark(state, command, 0);
  state.SetItemsProcessed(state.iterations() * kMessages);
}

void BM_FetchAllFetchmail(benchmark::State& state) {
  const std::string rc = MakeTemporaryDirectory("fetchmail") + "fetchmailrc";
  std::ofstream(rc) << "poll 127.0.0.1 protocol pop3 port " << Server().port()
                    << " user u1 password pw is root here keep fetchall bsmtp " << rc << ".bsmtp sslproto ''\n";
  ::chmod(rc.c_str(), 0600);
  RunPeerClient(state, {"/usr/bin/fetchmail", "--silent", "--nodetach", "--norewrite", "-f", rc});
}
BENCHMARK(BM_FetchAllFetchmail)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_FetchAllMpop(benchmark::State& state) {
  RunPeerClient(state, {"/usr/bin/mpop", "--host=127.0.0.1", "--port=" + std::to_string(Server().port()),
                        "--user=u1", "--passwordeval=echo pw", "--auth=user", "--tls=off", "--keep=on",
                        "--only-new=off", "--delivery=mbox," + MakeTemporaryDirectory("mpop") + "box", "--quiet"});
}
BENCHMARK(BM_FetchAllMpop)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// A home whose account has been checked and has every message marked for download.
std::string MarkedHome(const std::string& user, int count, bool tls = false) {
  const std::string home = FreshHome(0, user, tls);
  if (TimeCommand({ZELK_CLI_PATH, "--home", home, "check", "Work"}) < 0) std::abort();
  std::vector<std::string> mark = {ZELK_CLI_PATH, "--home", home, "mark", "Work"};
  for (int row = 1; row <= count; ++row) mark.push_back(std::to_string(row));
  mark.push_back("--download");
  if (TimeCommand(mark) < 0) std::abort();
  return home;
}

void RunUpdate(benchmark::State& state, const std::string& user, int count) {
  Server();
  for (auto _ : state) {
    state.PauseTiming();
    const std::string home = MarkedHome(user, count);
    state.ResumeTiming();
    const double seconds = TimeCommand({ZELK_CLI_PATH, "--home", home, "update", "Work"});
    if (seconds < 0) state.SkipWithError("zelk-cli update failed");
    state.SetIterationTime(seconds);
  }
}

void BM_UpdateZelk(benchmark::State& state) {
  RunUpdate(state, "u1", kMessages);
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_UpdateZelk)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_UpdatePoplib(benchmark::State& state) {
  const std::string script = "import poplib\np=poplib.POP3('127.0.0.1'," + std::to_string(Server().port()) +
                             ")\np.user('u1'); p.pass_('pw'); n=p.stat()[0]\n"
                             "for i in range(1,n+1):\n  p.retr(i)\np.quit()\n";
  RunCommandBenchmark(state, {"python3", "-c", script}, 0);
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_UpdatePoplib)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// 50 messages of 2 MB, against the bytes loopback carries: cat of the same amount through a pipe
// would be the wrong peer, so this one states its throughput against the 300 MB/s aimed at.
void BM_UpdateLargeZelk(benchmark::State& state) {
  RunUpdate(state, "u2", kLargeMessages);
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargeMessages * kLargeBytes));
}
BENCHMARK(BM_UpdateLargeZelk)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// One conversation inside this process over the account of `home`, without loading and saving
// the mailbox around it: the conversation's own throughput.
template <typename Start>
void RunConversation(benchmark::State& state, const std::string& home, Start start) {
  config::Settings settings;
  store::MailBoxTable table;
  store::Init(table);
  store::NoSelector selector;
  if (!config::LoadSettings(home, settings, table, selector).ok) std::abort();
  platform::PollEventLoop loop;
  test::FakePorts ports;
  net::WorkHooks hooks;
  const net::ConversationLog log(home, false);
  platform::SystemClock clock;
  mime::LocalZone zone;
  net::Conversation conversation({loop, ports, ports, ports, hooks, log, clock}, settings, table);
  state.ResumeTiming();
  if (!start(conversation, settings, table, ports, hooks, zone, clock)) state.SkipWithError("did not start");
  loop.RunUntil([&] { return conversation.socket() == net::kNoSocket && !loop.HasTimer(net::kPollTimer); });
  state.PauseTiming();
  if (!ports.calls.empty() && ports.calls.back().starts_with("message ")) state.SkipWithError(ports.calls.back().c_str());
}

// The large download inside one process (the whole process above spends most of its time writing
// the 100 MB mailbox file at the end); Arg 1 over TLS.
void BM_UpdateLargeConversation(benchmark::State& state) {
  Server();
  for (auto _ : state) {
    state.PauseTiming();
    RunConversation(state, MarkedHome("u2", kLargeMessages, state.range(0) == 1),
                    [](net::Conversation& conversation, const config::Settings& settings, store::MailBoxTable& table,
                       test::FakePorts& ports, net::WorkHooks& hooks, mime::LocalZone& zone,
                       const platform::Clock& clock) {
                      const net::UpdateParts parts{settings, table, ports, hooks, zone, clock, {}};
                      return net::StartUpdate(conversation, store::kFirstAccountIndex, parts);
                    });
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kLargeMessages * kLargeBytes));
}
BENCHMARK(BM_UpdateLargeConversation)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// The check of 2,000 headers inside one process; Arg 1 over TLS.
void BM_CheckConversation(benchmark::State& state) {
  Server();
  for (auto _ : state) {
    state.PauseTiming();
    RunConversation(state, FreshHome(0, "u1", state.range(0) == 1),
                    [](net::Conversation& conversation, const config::Settings& settings, store::MailBoxTable& table,
                       test::FakePorts& ports, net::WorkHooks& hooks, mime::LocalZone& zone,
                       const platform::Clock& clock) {
                      const net::CheckParts parts{settings, table, ports, ports, hooks, zone, clock, {}, {}};
                      return net::StartCheck(conversation, store::kFirstAccountIndex, false, parts);
                    });
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_CheckConversation)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

// Peers of the two above, over the same two ports: what TLS costs the server. Dovecot's login
// process carries TLS and hands the plaintext on to the POP3 process, one more hop for every
// reply. A reader that sends every RETR at once and takes the replies in 1 MB reads (Python's
// socket and ssl modules, OpenSSL underneath), for the most a client can get; and poplib's check.
// Python code that opens `s`, a socket to the server (over TLS or not), or `p`, a poplib session.
std::string PythonSocket(bool tls) {
  const std::string address = "('127.0.0.1'," + std::to_string(tls ? Server().tlsPort() : Server().port()) + ")";
  return "import socket,ssl\ns=socket.create_connection(" + address + ")\n" +
         (tls ? "s=ssl.create_default_context().wrap_socket(s,server_hostname='127.0.0.1')\n" : "");
}

std::string PoplibSession(bool tls) {
  return tls ? "import poplib,ssl\np=poplib.POP3_SSL('127.0.0.1'," + std::to_string(Server().tlsPort()) +
                   ",context=ssl.create_default_context())\n"
             : "import poplib\np=poplib.POP3('127.0.0.1'," + std::to_string(Server().port()) + ")\n";
}

void BM_DownloadLargePipelined(benchmark::State& state) {
  std::string commands = "USER u2\\r\\nPASS pw\\r\\n";
  for (int n = 1; n <= kLargeMessages; ++n) commands += "RETR " + std::to_string(n) + "\\r\\n";
  const std::string script =
      PythonSocket(state.range(0) == 1) + "s.sendall(b'" + commands + "QUIT\\r\\n')\nwhile s.recv(1<<20):\n  pass\n";
  RunCommandBenchmark(state, {"python3", "-c", script}, kLargeMessages * kLargeBytes);
}
BENCHMARK(BM_DownloadLargePipelined)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

void BM_CheckPoplibOverTls(benchmark::State& state) {
  const std::string script = PoplibSession(state.range(0) == 1) +
                             "p.user('u1'); p.pass_('pw'); n=p.stat()[0]\nfor i in range(1,n+1):\n"
                             "  p.list(i); p.top(i,0)\np.quit()\n";
  RunCommandBenchmark(state, {"python3", "-c", script}, 0);
  state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_CheckPoplibOverTls)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

// The disk's part of the whole process: the same 100 MB written as the mailbox file is, to a new
// file with fsync and rename. On this VM the first write after other disk work often stalls for
// a few hundred milliseconds, so this is the limit the whole-process figure above is held to.
void BM_WriteLargeFileAtomically(benchmark::State& state) {
  std::string large;
  while (large.size() < kLargeMessages * kLargeBytes) large += "A line of a large message, long enough to fill two megabytes soon.\r\n";
  const std::string path = MakeTemporaryDirectory("large-write") + "MailBox0.dat";
  for (auto _ : state) {
    if (!platform::WriteFileAtomically(path, large)) state.SkipWithError("write failed");
    state.PauseTiming();
    platform::DeleteFile(path);
    state.ResumeTiming();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * large.size()));
}
BENCHMARK(BM_WriteLargeFileAtomically)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

ZELK_RATIO("Check of 2,000 headers (ListGetLine 0) vs poplib (>= 1/1.2)", "BM_CheckZelk/0", "BM_CheckPoplib/0", 1 / 1.2);
ZELK_RATIO("Check of 2,000 headers (ListGetLine 100) vs poplib (>= 1/1.2)", "BM_CheckZelk/100", "BM_CheckPoplib/100", 1 / 1.2);

ZELK_RATIO("Update downloading 2,000 messages vs poplib RETR (>= 1/1.2)", "BM_UpdateZelk", "BM_UpdatePoplib", 1 / 1.2);

ZELK_RATIO("Update of 50 x 2 MB over TLS vs plain (>= 0.7)", "BM_UpdateLargeConversation/1",
           "BM_UpdateLargeConversation/0", 0.7);
ZELK_RATIO("Check of 2,000 headers over TLS vs plain (>= 1/1.2)", "BM_CheckConversation/1", "BM_CheckConversation/0",
           1 / 1.2);
ZELK_RATIO("Pipelined download over TLS vs plain (the server's part)", "BM_DownloadLargePipelined/1",
           "BM_DownloadLargePipelined/0", 0);
ZELK_RATIO("poplib's check of 2,000 headers over TLS vs plain (peer)", "BM_CheckPoplibOverTls/1",
           "BM_CheckPoplibOverTls/0", 0);

}  // namespace

}  // namespace zelk::bench
