#include "support/model_pop3_server.h"

#include "support/loopback_listener.h"
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>

namespace zelk::test {

namespace {

constexpr int kPatienceMs = 20'000;

bool Write(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t sent = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    done += static_cast<std::size_t>(sent);
  }
  return true;
}

// Appends what the client sends; false once it closed or went quiet for too long.
bool ReadMore(int fd, std::string& into) {
  pollfd watch{fd, POLLIN, 0};
  if (::poll(&watch, 1, kPatienceMs) != 1) return false;
  char chunk[4096];
  const ssize_t got = ::read(fd, chunk, sizeof chunk);
  if (got <= 0) return false;
  into.append(chunk, static_cast<std::size_t>(got));
  return true;
}

int NumberArgument(const std::string& command, std::size_t word) {
  std::size_t at = 0;
  for (std::size_t i = 0; i < word; ++i) {
    at = command.find(' ', at);
    if (at == std::string::npos) return -1;
    ++at;
  }
  try {
    return std::stoi(command.substr(at));
  } catch (const std::exception&) {
    return -1;
  }
}

}  // namespace

ModelPop3Server::ModelPop3Server(std::vector<ModelMessage> messages, ModelQuirks quirks)
    : messages_(std::move(messages)), deleted_(messages_.size(), false), quirks_(std::move(quirks)) {
  const LoopbackListener listener = ListenOnLoopback(1, "model server");
  listener_ = listener.fd;
  port_ = listener.port;
  thread_ = std::thread([this] { Run(); });
}

ModelPop3Server::~ModelPop3Server() {
  // A client that never came: the accept gives up with the listener shut down.
  ::shutdown(listener_, SHUT_RDWR);
  thread_.join();
  ::close(listener_);
}

std::vector<ModelMessage> ModelPop3Server::Remaining() {
  const std::lock_guard lock(mutex_);
  std::vector<ModelMessage> left;
  for (std::size_t i = 0; i < messages_.size(); ++i) {
    if (!deleted_[i]) left.push_back(messages_[i]);
  }
  return left;
}

void ModelPop3Server::Run() {
  pollfd watch{listener_, POLLIN, 0};
  if (::poll(&watch, 1, kPatienceMs) != 1) return;
  const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  if (fd < 0) return;
  std::string input;
  bool quiet = !Write(fd, "+OK model ready\r\n");
  bool closed = false;
  bool quit = false;
  while (!quit && !quiet && !closed) {
    std::size_t end = input.find("\r\n");
    if (end == std::string::npos) {
      if (!ReadMore(fd, input)) break;
      continue;
    }
    const std::string command = input.substr(0, end);
    if (command == quirks_.closeAt) {
      closed = true;
      break;
    }
    if (command == quirks_.silentAt) {
      quiet = true;
      break;
    }
    if (command == quirks_.pauseAt) {
      while (input.find("RSET\r\n") == std::string::npos && ReadMore(fd, input)) {
      }
      quirks_.pauseAt.clear();
    }
    input.erase(0, end + 2);
    quiet = !Write(fd, Answer(command, quit));
  }
  if (!quit) {
    // Deletions count only once QUIT was answered.
    const std::lock_guard lock(mutex_);
    deleted_.assign(messages_.size(), false);
  }
  // Closing only the sending side keeps the client's last bytes from turning the close into a
  // reset. A silent server keeps the connection open until the client gives up.
  if (!quiet) ::shutdown(fd, SHUT_WR);
  std::string rest;
  while (ReadMore(fd, rest)) rest.clear();
  ::close(fd);
}

std::string ModelPop3Server::Answer(const std::string& command, bool& quit) {
  const std::lock_guard lock(mutex_);
  const std::string name = command.substr(0, command.find(' '));
  const int count = static_cast<int>(messages_.size());
  const auto message = [&](int number) -> const ModelMessage* {
    if (number < 1 || number > count || deleted_[static_cast<std::size_t>(number - 1)]) return nullptr;
    return &messages_[static_cast<std::size_t>(number - 1)];
  };
  const auto size = [&](const ModelMessage& m) {
    return quirks_.hugeSizes ? std::string("99999999999999") : std::to_string(m.text.size());
  };
  if (name == "USER" || name == "PASS" || name == "NOOP") return "+OK\r\n";
  if (name == "QUIT") {
    quit = true;
    return "+OK bye\r\n";
  }
  if (name == "RSET") {
    deleted_.assign(messages_.size(), false);
    return "+OK\r\n";
  }
  if (name == "CAPA") {
    if (!quirks_.capa) return "-ERR unknown command\r\n";
    return std::string("+OK\r\nTOP\r\nUSER\r\n") + (quirks_.uidl ? "UIDL\r\n" : "") +
           (quirks_.pipelining ? "PIPELINING\r\n" : "") + ".\r\n";
  }
  if (name == "STAT") {
    std::size_t total = 0;
    int left = 0;
    for (int n = 1; n <= count; ++n) {
      if (const ModelMessage* m = message(n)) {
        total += m->text.size();
        ++left;
      }
    }
    return "+OK " + std::to_string(left) + " " + std::to_string(total) + "\r\n";
  }
  const int number = NumberArgument(command, 1);
  const ModelMessage* m = message(number);
  if (name == "LIST") {
    if (!m) return "-ERR no such message\r\n";
    return "+OK " + std::to_string(number) + " " + size(*m) + "\r\n";
  }
  if (name == "UIDL") {
    if (!quirks_.uidl) return "-ERR unknown command\r\n";
    if (command == "UIDL") {
      std::string list = "+OK\r\n";
      for (int n = 1; n <= count; ++n) {
        if (const ModelMessage* each = message(n)) list += std::to_string(n) + " " + each->uid + "\r\n";
      }
      return list + ".\r\n";
    }
    if (!m) return "-ERR no such message\r\n";
    return "+OK " + std::to_string(number) + " " + m->uid + "\r\n";
  }
  if (name == "TOP" || name == "RETR") {
    const bool top = name == "TOP";
    if (!m || (top ? quirks_.topRefused : quirks_.retrRefused).count(number)) return "-ERR no\r\n";
    std::string text = m->text;
    if (top) {
      // The header, the empty line and at most `lines` lines of the body.
      int lines = NumberArgument(command, 2);
      std::size_t at = text.find("\r\n\r\n");
      at = at == std::string::npos ? text.size() : at + 4;
      while (lines-- > 0 && at < text.size()) {
        const std::size_t next = text.find("\r\n", at);
        at = next == std::string::npos ? text.size() : next + 2;
      }
      text.resize(at);
    }
    return "+OK\r\n" + text + ".\r\n";
  }
  if (name == "DELE") {
    if (!m || quirks_.deleRefused.count(number)) return "-ERR no\r\n";
    deleted_[static_cast<std::size_t>(number - 1)] = true;
    return "+OK\r\n";
  }
  return "-ERR unknown command\r\n";
}

}  // namespace zelk::test
