#include "support/scripted_server.h"

#include "support/loopback_listener.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <string_view>

namespace zelk::test {

ScriptStep Send(std::string bytes) {
  return {ScriptStep::Kind::kSend, {std::move(bytes)}, {}, {}};
}

ScriptStep SendPieces(std::vector<std::string> pieces, std::chrono::milliseconds pause) {
  return {ScriptStep::Kind::kSend, std::move(pieces), pause, {}};
}

ScriptStep Expect(std::string line) {
  return {ScriptStep::Kind::kExpect, {}, {}, std::move(line)};
}

ScriptStep AcceptTls(const ServerIdentity& identity) {
  return {ScriptStep::Kind::kAcceptTls, {identity.certificate, identity.key}, {}, {}};
}

ScriptStep Close() { return {ScriptStep::Kind::kClose, {}, {}, {}}; }

ScriptStep Silence() { return {ScriptStep::Kind::kSilence, {}, {}, {}}; }

namespace {

constexpr std::chrono::milliseconds kForever{-1};
constexpr std::chrono::milliseconds kClientPatience = std::chrono::seconds(10);

// True when `fd` is ready for `events` within `limit` (kForever: no limit); false when the limit
// passed or `stop` was signalled first.
bool WaitFor(int fd, short events, int stop, std::chrono::milliseconds limit) {
  pollfd watch[2] = {{fd, events, 0}, {stop, POLLIN, 0}};
  for (;;) {
    const int ready = ::poll(watch, 2, static_cast<int>(limit.count()));
    if (ready < 0 && errno == EINTR) continue;
    return ready > 0 && watch[1].revents == 0 && watch[0].revents != 0;
  }
}

// Sleeps for `pause`; false when `stop` was signalled first.
bool Pause(int stop, std::chrono::milliseconds pause) {
  pollfd watch{stop, POLLIN, 0};
  int ready;
  do {
    ready = ::poll(&watch, 1, static_cast<int>(pause.count()));
  } while (ready < 0 && errno == EINTR);
  return ready == 0;
}

bool Matches(const std::string& pattern, const std::string& line) {
  if (!pattern.empty() && pattern.back() == '*') return line.starts_with(pattern.substr(0, pattern.size() - 1));
  return line == pattern;
}

}  // namespace

ScriptedServer::ScriptedServer(std::vector<ScriptStep> script) {
  const LoopbackListener listener = ListenOnLoopback(1, "scripted server");
  listener_ = listener.fd;
  port_ = listener.port;
  stop_ = ::eventfd(0, EFD_CLOEXEC);
  if (stop_ < 0) {
    ::close(listener_);
    throw std::runtime_error("scripted server: no eventfd");
  }
  thread_ = std::thread([this, steps = std::move(script)]() mutable { Run(std::move(steps)); });
}

ScriptedServer::~ScriptedServer() {
  const std::uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = ::write(stop_, &one, sizeof one);
  thread_.join();
  SSL_free(tls_);
  SSL_CTX_free(tlsContext_);
  ::close(listener_);
  ::close(stop_);
}

void ScriptedServer::Run(std::vector<ScriptStep> script) {
  // OpenSSL writes with write(2): a client gone away must fail the write, not kill the tests.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  if (Accept()) {
    bool silent = false;
    for (const ScriptStep& step : script) {
      silent = step.kind == ScriptStep::Kind::kSilence;
      if (silent || step.kind == ScriptStep::Kind::kClose || !Play(step)) break;
    }
    // Closing only our sending side lets us still record what the client says afterwards.
    if (!silent) ::shutdown(connection_, SHUT_WR);
    while (ReadSome(silent ? kForever : kClientPatience)) {
    }
    ::close(connection_);
  }
  const std::lock_guard lock(mutex_);
  done_ = true;
  changed_.notify_all();
}

bool ScriptedServer::Accept() {
  if (!WaitFor(listener_, POLLIN, stop_, kForever)) return false;
  connection_ = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (connection_ < 0) return false;
  const int on = 1;
  ::setsockopt(connection_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);  // one segment per piece
  return true;
}

bool ScriptedServer::Play(const ScriptStep& step) {
  if (step.kind == ScriptStep::Kind::kAcceptTls) return StartTls(step);
  if (step.kind == ScriptStep::Kind::kSend) {
    for (std::size_t i = 0; i < step.pieces.size(); ++i) {
      if (i > 0 && !Pause(stop_, step.pause)) return false;
      if (!Transmit(step.pieces[i])) return false;
    }
    return true;
  }
  for (;;) {  // kExpect
    {
      const std::lock_guard lock(mutex_);
      if (linesTaken_ < lines_.size()) {
        const std::string& got = lines_[linesTaken_++];
        if (Matches(step.line, got)) return true;
        failures_ += "expected \"" + step.line + "\", got \"" + got + "\"\n";
        return false;
      }
    }
    if (!ReadSome(kClientPatience)) {
      Fail("expected \"" + step.line + "\", got nothing");
      return false;
    }
  }
}

bool ScriptedServer::StartTls(const ScriptStep& step) {
  tlsContext_ = SSL_CTX_new(TLS_server_method());
  tls_ = tlsContext_ != nullptr ? SSL_new(tlsContext_) : nullptr;
  const bool ready = tls_ != nullptr && SSL_use_certificate_file(tls_, step.pieces[0].c_str(), SSL_FILETYPE_PEM) == 1 &&
                     SSL_use_PrivateKey_file(tls_, step.pieces[1].c_str(), SSL_FILETYPE_PEM) == 1 &&
                     SSL_set_fd(tls_, connection_) == 1 && WaitFor(connection_, POLLIN, stop_, kClientPatience) &&
                     SSL_accept(tls_) == 1;
  if (ready) return true;
  // What the client sends from here on is recorded as it comes.
  SSL_free(tls_);
  tls_ = nullptr;
  Fail("TLS handshake failed");
  return false;
}

long ScriptedServer::Receive(char* into, std::size_t size) {
  if (tls_ == nullptr) return ::recv(connection_, into, size, 0);
  return SSL_read(tls_, into, static_cast<int>(size));
}

bool ScriptedServer::Transmit(std::string_view rest) {
  if (tls_ != nullptr) return SSL_write(tls_, rest.data(), static_cast<int>(rest.size())) == static_cast<int>(rest.size());
  while (!rest.empty()) {
    if (!WaitFor(connection_, POLLOUT, stop_, kClientPatience)) return false;
    const ssize_t sent = ::send(connection_, rest.data(), rest.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent < 0 && errno != EAGAIN && errno != EINTR) return false;
    if (sent > 0) rest.remove_prefix(static_cast<std::size_t>(sent));
  }
  return true;
}

bool ScriptedServer::ReadSome(std::chrono::milliseconds limit) {
  // Plaintext OpenSSL holds already raises no readiness of the socket.
  if ((tls_ == nullptr || SSL_pending(tls_) == 0) && !WaitFor(connection_, POLLIN, stop_, limit)) return false;
  char chunk[4096];
  const long got = Receive(chunk, sizeof chunk);
  if (got <= 0) return false;
  const std::lock_guard lock(mutex_);
  bytes_.append(chunk, static_cast<std::size_t>(got));
  for (std::size_t end; (end = bytes_.find("\r\n", lineStart_)) != std::string::npos; lineStart_ = end + 2) {
    lines_.push_back(bytes_.substr(lineStart_, end - lineStart_));
  }
  changed_.notify_all();
  return true;
}

void ScriptedServer::Fail(std::string what) {
  const std::lock_guard lock(mutex_);
  failures_ += what + "\n";
}

bool ScriptedServer::WaitDone(std::chrono::milliseconds limit) {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, limit, [this] { return done_; });
}

std::vector<std::string> ScriptedServer::lines() const {
  const std::lock_guard lock(mutex_);
  return lines_;
}

std::string ScriptedServer::bytes() const {
  const std::lock_guard lock(mutex_);
  return bytes_;
}

std::string ScriptedServer::failures() const {
  const std::lock_guard lock(mutex_);
  return failures_;
}

}  // namespace zelk::test
