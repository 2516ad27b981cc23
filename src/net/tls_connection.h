#pragma once
#include <openssl/ssl.h>

#include <cstddef>
#include <memory>
#include <string>

#include "net/certificate_check.h"
#include "net/connection.h"
#include "net/send_queue.h"
#include "platform/event_loop.h"

namespace zelk::net {

// What a TLS connection tells its owner besides what every connection does, on the loop's thread.
class TlsEvents : public ConnectionEvents {
 public:
  // The handshake is over and the certificate accepted. `description` names the protocol
  // version and the cipher ("TLSv1.3, TLS_AES_256_GCM_SHA384").
  virtual void Secured(const std::string& description) = 0;
  // The handshake failed; nothing was sent but the handshake itself. `error` names the
  // certificate's fault and fingerprint, or what OpenSSL said.
  virtual void HandshakeFailed(const platform::Text& error) = 0;
};

// The server as the certificate must name it, and the account's pin.
struct TlsPeer {
  std::string host;  // 8-bit: a DNS name or an IP address literal
  std::optional<Fingerprint> pin;
};

// TLS 1.2 or later (OpenSSL, the system's cipher policy) over a connected TCP socket, driven by
// the event loop like TcpConnection: the handshake, reads and writes step on as the socket
// becomes readable or writable (SSL_ERROR_WANT_READ/WANT_WRITE), so nothing ever waits and the
// owner can drop it in any state. What is sent during the handshake waits until it is over.
class TlsConnection final : public Connection {
 public:
  // Takes `fd` (connected, any blocking mode); nothing happens before Start.
  TlsConnection(platform::EventLoop& loop, int fd, TlsPeer peer, TlsEvents& events);
  // Sends close_notify when it can without waiting, then closes the socket.
  ~TlsConnection() override;
  TlsConnection(const TlsConnection&) = delete;
  TlsConnection& operator=(const TlsConnection&) = delete;

  // Sets up the session and begins the handshake once the socket is writable; its end comes
  // through the events. False with `error` when OpenSSL cannot be set up (no event follows).
  [[nodiscard]] bool Start(platform::Text& error);

  [[nodiscard]] ReadResult Read(char* into, std::size_t capacity) override;
  [[nodiscard]] bool Send(std::string_view bytes) override;
  std::size_t Queued() const override { return queue_.size(); }

 private:
  enum class State { kIdle, kHandshaking, kOpen, kFailed };
  enum class Flush { kDone, kWaiting, kFailed };
  void Handshake();
  platform::Text HandshakeError(int sslError) const;
  Flush WriteQueue();
  void OnReadable();
  void OnWritable();
  void WatchWritable(bool wanted);
  // Decrypted bytes OpenSSL holds already raise no readiness of the socket: they are announced
  // from the loop instead.
  void AnnounceBuffered();
  void PostReadable();

  platform::EventLoop& loop_;
  int fd_;
  TlsPeer peer_;
  TlsEvents& events_;
  CertificateCheck check_;
  SSL_CTX* context_ = nullptr;
  SSL* ssl_ = nullptr;
  State state_ = State::kIdle;
  SendQueue queue_;
  bool writeWaiting_ = false;      // a write could not finish until the socket is writable
  bool readWaiting_ = false;       // a read needs to write first (a key update's answer)
  bool watchingWritable_ = false;
  bool readablePosted_ = false;
  std::shared_ptr<bool> alive_ = std::make_shared<bool>(true);  // for calls posted to the loop
};

}  // namespace zelk::net
