#pragma once
#include <cstdint>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace zelk::test {

// One message of a model mailbox, as stored (CR LF lines, dot-stuffed) and the server's id for it.
struct ModelMessage {
  std::string text;
  std::string uid;
};

// How a model server departs from the plain protocol. Triggers name a whole command line (without
// CR LF); everything the client sent before it is answered first, as a server working through its
// input in order would.
struct ModelQuirks {
  bool capa = true;         // answers CAPA
  bool pipelining = false;  // ... and offers PIPELINING in it
  bool uidl = true;         // offers and answers UIDL
  std::set<int> topRefused;
  std::set<int> retrRefused;
  std::set<int> deleRefused;
  bool hugeSizes = false;   // LIST answers sizes no int holds
  std::string closeAt;      // closes instead of answering this command
  std::string silentAt;     // answers nothing from this command on
  std::string pauseAt;      // answers this command only once the client has also sent RSET
};

// A POP3 server on 127.0.0.1 that answers from a model of one mailbox (USER/PASS, CAPA, STAT,
// LIST, UIDL, TOP, RETR, DELE, RSET, QUIT), so that its answers depend only on the commands and
// never on when they came: a client sending ahead and one waiting for each answer meet the same
// server. It serves one connection in its own thread.
class ModelPop3Server {
 public:
  ModelPop3Server(std::vector<ModelMessage> messages, ModelQuirks quirks);
  ~ModelPop3Server();
  ModelPop3Server(const ModelPop3Server&) = delete;
  ModelPop3Server& operator=(const ModelPop3Server&) = delete;

  std::uint16_t port() const { return port_; }
  // The messages left after the connection, deletions committed by QUIT.
  std::vector<ModelMessage> Remaining();

 private:
  void Run();
  std::string Answer(const std::string& command, bool& quit);

  std::vector<ModelMessage> messages_;
  std::vector<bool> deleted_;
  ModelQuirks quirks_;
  int listener_ = -1;
  std::uint16_t port_ = 0;
  std::mutex mutex_;
  std::thread thread_;
};

}  // namespace zelk::test
