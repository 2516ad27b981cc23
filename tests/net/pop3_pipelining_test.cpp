// The check and the update with PIPELINING give what they give without it, for any server: the
// same model mailbox, with the same quirks, played once to a client that sends ahead and once to
// one that waits for each answer.
#include <gtest/gtest.h>

#include <random>
#include <sstream>

#include "filter/filters.h"
#include "net/check_fixture.h"
#include "net/pop3_update.h"
#include "platform/files.h"
#include "support/model_pop3_server.h"

namespace zelk::net {
namespace {

using test::ModelMessage;
using test::ModelPop3Server;
using test::ModelQuirks;
using test_support::CheckFixture;

std::vector<ModelMessage> Messages(std::mt19937& random, int from, int count) {
  std::vector<ModelMessage> messages;
  for (int n = from; n < from + count; ++n) {
    const std::string s = std::to_string(n);
    std::string text;
    // Some messages share an id or have none: their keys fall back to Date "." From.
    if (random() % 5 != 0) text += "Message-Id: <" + std::to_string(random() % 7 == 0 ? 1 : n) + "@x>\r\n";
    text += "From: a" + s + "@x\r\nSubject: s" + s + "\r\n\r\nbody " + s + "\r\n..dotted\r\n";
    for (unsigned line = random() % 3; line > 0; --line) text += "more\r\n";
    messages.push_back({text, "uid-" + s});
  }
  return messages;
}

// Everything a conversation leaves behind that a user or the next conversation could tell apart.
std::string Outcome(CheckFixture& f, ModelPop3Server& server) {
  std::ostringstream out;
  out << "error: " << f.Error() << "\nLastNo " << f.box().LastNo << " LastMessageId "
      << f.box().LastMessageId.value_or("(none)") << " MailCnt " << f.box().MailCnt << "\n";
  for (const auto& item : f.box().Items) {
    out << item->No << " " << item->MessageId.value_or("-") << " " << item->ServerUidl.value_or("-") << " new "
        << item->New << " dl " << item->Download << " mark " << item->Mark << " status " << item->Status << " size "
        << item->Size.value_or("-") << " body " << item->Body.value_or("-") << "\n";
  }
  for (const std::string& call : f.ports.calls) {
    if (call.find("PIPELINING") == std::string::npos) out << call << "\n";
  }
  std::istringstream log(platform::ReadWholeFile(f.log.path()).value_or(""));
  for (std::string line; std::getline(log, line);) {
    if (line.find("PIPELINING") == std::string::npos) out << "log " << line << "\n";
  }
  for (const ModelMessage& left : server.Remaining()) out << "left " << left.uid << "\n";
  for (const auto& copy : store::Savebox(f.table).Items) out << "saved " << copy->Subject.value_or("-") << "\n";
  return out.str();
}

struct Case {
  std::vector<ModelMessage> before;  // what an earlier plain check listed
  std::vector<ModelMessage> now;     // the server at the conversation under test
  ModelQuirks quirks;
  bool update = false;
  std::vector<int> marks;  // per held item, for an update
  bool stop = false;       // Stop once the client takes the pause command's turn
  int socLog = 0;
  int listDownload = 0;
  bool filter = false;  // subjects with a 3 kept out, with a 4 copied to the Savebox
};

Case RandomCase(std::mt19937& random) {
  Case c;
  const int before = static_cast<int>(random() % 5);
  c.before = Messages(random, 1, before);
  c.now = c.before;
  c.update = before > 0 && random() % 2 == 0;
  // Another client deleted some (before a check: an update would mostly stop at its first
  // verification), new mail arrived.
  for (auto it = c.now.begin(); it != c.now.end();) it = !c.update && random() % 4 == 0 ? c.now.erase(it) : it + 1;
  const std::vector<ModelMessage> fresh = Messages(random, before + 1, static_cast<int>(random() % 6));
  c.now.insert(c.now.end(), fresh.begin(), fresh.end());
  const int count = static_cast<int>(c.now.size());
  c.socLog = static_cast<int>(random() % 2);
  c.listDownload = random() % 5 == 0 ? 1 : 0;
  c.filter = random() % 3 == 0;
  ModelQuirks& q = c.quirks;
  q.capa = random() % 8 != 0;
  q.uidl = random() % 6 != 0;
  q.hugeSizes = random() % 8 == 0;
  // A trigger at a command both clients come to; refused TOPs only after it, where a client
  // sending ahead would otherwise have sent the trigger and the plain one never.
  // An update acts only on the items an earlier check listed.
  const int at = 1 + static_cast<int>(random() % (c.update ? before : count + 1));
  std::string trigger;
  if (c.update) {
    for (int i = 0; i < before; ++i) c.marks.push_back(std::vector<int>{0, 2, store::kMarkDownload, store::kMarkDelete}[random() % 4]);
    trigger = (random() % 2 ? "DELE " : "RETR ") + std::to_string(at);
  } else {
    trigger = "LIST " + std::to_string(at);
  }
  for (int n = 1; n <= count + 1; ++n) {
    if (random() % 6 == 0) q.retrRefused.insert(n);
    if (random() % 8 == 0) q.deleRefused.insert(n);
    if (random() % 5 == 0 && (c.update || n >= at)) q.topRefused.insert(n);
  }
  switch (random() % 5) {
    case 0: q.closeAt = trigger; break;
    case 1: q.silentAt = trigger; break;
    case 2:
      q.pauseAt = trigger;
      c.stop = true;
      break;
    default: break;
  }
  return c;
}

// Lists `before` with a plain check, then runs the case's conversation against `now`.
std::string Play(const Case& c, bool pipelining) {
  CheckFixture f;
  f.settings.TimeoutInterval = 1;
  f.conversation->SetMinuteForTesting(std::chrono::milliseconds(300));
  {
    ModelPop3Server earlier(c.before, {});
    if (!f.Check(earlier.port())) return "the first check did not start";
  }
  for (std::size_t i = 0; i < c.marks.size() && i < f.box().Items.size(); ++i) f.box().Items[i]->Mark = c.marks[i];
  f.ports.calls.clear();
  if (c.filter) {
    f.box().FilterEnable = 1;
    f.box().Filters.push_back({1, filter::kActionNotDownload, "Subject:", "*3*", {}, {}});
    f.box().Filters.push_back({1, filter::kActionCopyToSavebox, "Subject:", "*4*", {}, {}});
  }
  f.settings.SocLog = c.socLog;
  f.settings.ListDownload = c.listDownload;
  ModelQuirks quirks = c.quirks;
  quirks.pipelining = pipelining;
  ModelPop3Server server(c.now, quirks);
  f.box().Port = server.port();
  const bool started = c.update ? StartUpdate(*f.conversation, 2, {f.settings, f.table, f.ports, f.hooks, f.zone, f.clock, {}})
                                : StartCheck(*f.conversation, 2, false, f.Parts());
  if (!started) return "not started\n" + Outcome(f, server);
  const auto over = [&] { return f.conversation->socket() == kNoSocket && !f.loop.HasTimer(kPollTimer); };
  const std::string pause = "[Work] " + c.quirks.pauseAt + "\r\n";
  f.loop.RunUntil([&] { return over() || (c.stop && f.ports.status[1] == pause); });
  if (!over()) f.conversation->Stop();
  f.loop.RunUntil(over);
  return Outcome(f, server);
}

TEST(Pop3Pipelining, EveryServerGivesTheSameOutcomeWithAndWithoutSendingAhead) {
  for (unsigned seed = 1; seed <= 200; ++seed) {
    std::mt19937 random(seed);
    const Case c = RandomCase(random);
    const std::string lockStep = Play(c, false);
    const std::string pipelined = Play(c, true);
    ASSERT_EQ(pipelined, lockStep) << "seed " << seed;
  }
}

}  // namespace
}  // namespace zelk::net
