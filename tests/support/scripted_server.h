#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <openssl/ssl.h>

#include "support/test_authority.h"

namespace zelk::test {

// One step of a scripted server's part in a conversation.
struct ScriptStep {
  enum class Kind { kSend, kExpect, kClose, kSilence, kAcceptTls };
  Kind kind;
  std::vector<std::string> pieces;  // kSend: written one after another, `pause` between them;
                                    // kAcceptTls: the certificate and key files
  std::chrono::milliseconds pause{0};
  std::string line;                 // kExpect: the client's next line, without CR LF
};

// Sends bytes as they are (add the CR LF yourself).
ScriptStep Send(std::string bytes);
// Sends each piece as its own TCP segment, pausing between them, so that a client most likely
// reads them separately (a CR at the end of one piece and its LF in the next).
ScriptStep SendPieces(std::vector<std::string> pieces,
                      std::chrono::milliseconds pause = std::chrono::milliseconds(50));
// Waits for the client's next line and checks it. A line ending in "*" matches every line that
// begins with what comes before the "*". A wrong line, or none within 10 s, fails the script.
ScriptStep Expect(std::string line);
// Takes the client's TLS handshake with this certificate; the steps after it speak TLS. A failed
// handshake fails the script with "TLS handshake failed" and ends it.
ScriptStep AcceptTls(const ServerIdentity& identity);
// Closes the connection now. The end of the script does the same.
ScriptStep Close();
// Sends nothing more and keeps the connection open until the client closes it.
ScriptStep Silence();

// A TCP server on 127.0.0.1 and a free port that accepts one connection and plays a script on it
// in its own thread. Everything the client sends is recorded (decrypted, once TLS is accepted),
// also after the script has ended (a closed server still reads until the client closes), so
// tests can check the command order.
class ScriptedServer {
 public:
  explicit ScriptedServer(std::vector<ScriptStep> script);
  ~ScriptedServer();
  ScriptedServer(const ScriptedServer&) = delete;
  ScriptedServer& operator=(const ScriptedServer&) = delete;

  std::uint16_t port() const { return port_; }
  // Where it listens, as the address cache keeps it.
  static constexpr const char* kAddress = "127.0.0.1";

  // Waits until the connection is over (script played, client gone); false after `limit`.
  bool WaitDone(std::chrono::milliseconds limit = std::chrono::seconds(10));
  // The client's lines without CR LF, in order, and every byte exactly as it came.
  std::vector<std::string> lines() const;
  std::string bytes() const;
  // What went wrong in the script: empty when every Expect got its line.
  std::string failures() const;

 private:
  void Run(std::vector<ScriptStep> script);
  bool Accept();
  bool Play(const ScriptStep& step);
  bool StartTls(const ScriptStep& step);
  // What the connection delivers: the socket's bytes, or once TLS runs, their plaintext.
  long Receive(char* into, std::size_t size);
  bool Transmit(std::string_view bytes);
  // Reads once into the record; false when the client closed, `stop_` came, or `limit` passed.
  bool ReadSome(std::chrono::milliseconds limit);
  void Fail(std::string what);

  int listener_ = -1;
  int connection_ = -1;
  int stop_ = -1;  // eventfd: the destructor's signal to give up waiting
  SSL_CTX* tlsContext_ = nullptr;
  SSL* tls_ = nullptr;
  std::uint16_t port_ = 0;
  std::size_t linesTaken_ = 0;  // lines already matched by Expect steps
  std::size_t lineStart_ = 0;   // where the client's unfinished line begins in bytes_

  mutable std::mutex mutex_;
  std::condition_variable changed_;
  std::string bytes_;
  std::vector<std::string> lines_;
  std::string failures_;
  bool done_ = false;

  std::thread thread_;
};

}  // namespace zelk::test
