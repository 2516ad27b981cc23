#include "net/tls_connection.h"

#include <fcntl.h>
#include <openssl/err.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <climits>

#include "net/socket_bio.h"

namespace zelk::net {

namespace {

// Bytes handed to each SSL_write: one full record. The small slices of plain TCP are for servers
// that read commands straight off the socket; under TLS the server reads whole records anyway.
constexpr std::size_t kRecordBytes = 16 * 1024;
constexpr std::size_t kReadAheadBytes = 64 * 1024;

}  // namespace

TlsConnection::TlsConnection(platform::EventLoop& loop, int fd, TlsPeer peer, TlsEvents& events)
    : loop_(loop), fd_(fd), peer_(std::move(peer)), events_(events) {
  check_.pin = peer_.pin;
  if (fd_ >= 0) ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

TlsConnection::~TlsConnection() {
  if (ssl_ != nullptr) {
    if (state_ == State::kOpen) {
      ERR_clear_error();
      (void)SSL_shutdown(ssl_);
    }
    SSL_free(ssl_);
  }
  SSL_CTX_free(context_);
  ERR_clear_error();
  if (fd_ < 0) return;
  loop_.Unwatch(fd_);
  ::shutdown(fd_, SHUT_RDWR);
  ::close(fd_);
}

bool TlsConnection::Start(platform::Text& error) {
  ERR_clear_error();
  context_ = SSL_CTX_new(TLS_client_method());
  ssl_ = context_ != nullptr ? SSL_new(context_) : nullptr;
  BIO* bio = ssl_ != nullptr ? NewSocketBio(fd_) : nullptr;
  if (bio == nullptr || SSL_CTX_set_min_proto_version(context_, TLS1_2_VERSION) != 1 ||
      !PrepareCertificateCheck(context_, ssl_, peer_.host, check_)) {
    BIO_free(bio);
    ERR_clear_error();
    error = "TLS could not be set up";
    return false;
  }
  SSL_set_bio(ssl_, bio, bio);
  // Whole runs of records per recv() (as much as the line transport takes per read) rather than
  // a header and a body for each.
  SSL_set_read_ahead(ssl_, 1);
  SSL_set_default_read_buffer_len(ssl_, kReadAheadBytes);
  // The queue moves and grows while a write waits: OpenSSL must accept the same bytes from a new
  // place and take part of a slice.
  SSL_set_mode(ssl_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_set_connect_state(ssl_);
  state_ = State::kHandshaking;
  loop_.WatchReadable(fd_, [this] { OnReadable(); });
  WatchWritable(true);
  return true;
}

void TlsConnection::Handshake() {
  ERR_clear_error();
  const int result = SSL_do_handshake(ssl_);
  if (result == 1) {
    state_ = State::kOpen;
    WatchWritable(false);
    if (Queued() > 0 && WriteQueue() == Flush::kWaiting) WatchWritable(true);
    AnnounceBuffered();
    // Last: the owner may send, or end the conversation and with it this connection.
    events_.Secured(std::string(SSL_get_version(ssl_)) + ", " + SSL_get_cipher_name(ssl_));
    return;
  }
  const int sslError = SSL_get_error(ssl_, result);
  if (sslError == SSL_ERROR_WANT_READ || sslError == SSL_ERROR_WANT_WRITE) {
    WatchWritable(sslError == SSL_ERROR_WANT_WRITE);
    return;
  }
  state_ = State::kFailed;
  WatchWritable(false);
  events_.HandshakeFailed(HandshakeError(sslError));
}

platform::Text TlsConnection::HandshakeError(int sslError) const {
  if (check_.seen && check_.result != X509_V_OK) return CertificateRefusal(check_);
  const unsigned long reason = ERR_peek_last_error();
  if (reason != 0 && ERR_reason_error_string(reason) != nullptr) {
    return platform::Text("TLS handshake failed: ") + ERR_reason_error_string(reason);
  }
  if (sslError == SSL_ERROR_SYSCALL || sslError == SSL_ERROR_ZERO_RETURN) {
    return "TLS handshake failed: the server closed the connection";
  }
  return "TLS handshake failed";
}

ReadResult TlsConnection::Read(char* into, std::size_t capacity) {
  if (state_ == State::kFailed) return {ReadStatus::kClosed};
  if (state_ != State::kOpen || readWaiting_) return {ReadStatus::kNothing};
  std::size_t got = 0;
  while (got < capacity) {
    ERR_clear_error();
    const int read = SSL_read(ssl_, into + got, static_cast<int>(std::min<std::size_t>(capacity - got, INT_MAX)));
    if (read > 0) {
      got += static_cast<std::size_t>(read);
      // Nothing more in hand: the socket's readiness tells when more has come, without a recv()
      // that finds nothing.
      if (!SSL_has_pending(ssl_)) break;
      continue;
    }
    const int sslError = SSL_get_error(ssl_, read);
    if (sslError == SSL_ERROR_WANT_WRITE) {
      readWaiting_ = true;
      WatchWritable(true);
    } else if (sslError != SSL_ERROR_WANT_READ && got == 0) {
      // close_notify, an end without it, or a broken record: the server is gone either way.
      return {ReadStatus::kClosed};
    }
    break;
  }
  if (got == capacity) AnnounceBuffered();
  return got > 0 ? ReadResult{ReadStatus::kData, got} : ReadResult{ReadStatus::kNothing};
}

bool TlsConnection::Send(std::string_view bytes) {
  if (state_ == State::kFailed) return false;
  if (bytes.empty()) return true;
  queue_.Append(bytes);
  if (state_ != State::kOpen || writeWaiting_) return true;
  switch (WriteQueue()) {
    case Flush::kDone:
      return true;
    case Flush::kWaiting:
      WatchWritable(true);
      return true;
    case Flush::kFailed:
      return false;
  }
  return false;
}

TlsConnection::Flush TlsConnection::WriteQueue() {
  writeWaiting_ = false;
  while (queue_.size() > 0) {
    ERR_clear_error();
    const std::string_view slice = queue_.waiting().substr(0, kRecordBytes);
    const int wrote = SSL_write(ssl_, slice.data(), static_cast<int>(slice.size()));
    if (wrote > 0) {
      queue_.Taken(static_cast<std::size_t>(wrote));
      continue;
    }
    const int sslError = SSL_get_error(ssl_, wrote);
    if (sslError == SSL_ERROR_WANT_WRITE || sslError == SSL_ERROR_WANT_READ) {
      writeWaiting_ = true;
      return Flush::kWaiting;
    }
    state_ = State::kFailed;
    queue_.Clear();
    return Flush::kFailed;
  }
  queue_.Clear();
  return Flush::kDone;
}

void TlsConnection::OnReadable() {
  switch (state_) {
    case State::kHandshaking:
      Handshake();
      return;
    case State::kOpen:
      // A write waiting for the server's part of a renegotiation goes on as that arrives.
      if (writeWaiting_ && SSL_want_read(ssl_)) {
        OnWritable();
        if (state_ != State::kOpen) return;
      }
      events_.Readable();
      return;
    case State::kIdle:
    case State::kFailed:
      // The end of the stream is news the owner must see, or the socket stays readable forever.
      events_.Readable();
      return;
  }
}

void TlsConnection::OnWritable() {
  if (state_ == State::kHandshaking) {
    Handshake();
    return;
  }
  if (state_ != State::kOpen) {
    WatchWritable(false);
    return;
  }
  // The read that had to write first can go on now.
  if (readWaiting_) {
    readWaiting_ = false;
    PostReadable();
  }
  const std::size_t before = Queued();
  const Flush flush = writeWaiting_ || Queued() > 0 ? WriteQueue() : Flush::kDone;
  WatchWritable(flush == Flush::kWaiting);
  // Last: the owner may end the conversation, and with it this connection.
  if (flush == Flush::kFailed) {
    events_.SendFailed();
  } else if (Queued() < before) {
    events_.SendProgressed();
  }
}

void TlsConnection::WatchWritable(bool wanted) {
  if (wanted == watchingWritable_) return;
  watchingWritable_ = wanted;
  if (wanted) {
    loop_.WatchWritable(fd_, [this] { OnWritable(); });
  } else {
    loop_.UnwatchWritable(fd_);
  }
}

void TlsConnection::AnnounceBuffered() {
  if (SSL_has_pending(ssl_)) PostReadable();
}

void TlsConnection::PostReadable() {
  if (readablePosted_) return;
  readablePosted_ = true;
  loop_.Post([this, alive = std::weak_ptr<bool>(alive_)] {
    if (alive.expired()) return;
    readablePosted_ = false;
    if (state_ != State::kOpen) return;
    events_.Readable();
    // An owner waiting in a nested loop reads nothing: the bytes are announced again, as a
    // socket's readiness would be.
    if (!alive.expired() && state_ == State::kOpen && SSL_has_pending(ssl_)) PostReadable();
  });
}

}  // namespace zelk::net
