#include "net/socket_bio.h"

#include <sys/socket.h>

#include <cerrno>
#include <cstdint>

namespace zelk::net {

namespace {

int Fd(BIO* bio) { return static_cast<int>(reinterpret_cast<std::intptr_t>(BIO_get_data(bio))); }

bool WouldBlock() { return errno == EAGAIN || errno == EWOULDBLOCK; }

int SocketWrite(BIO* bio, const char* data, int size) {
  BIO_clear_retry_flags(bio);
  ssize_t sent;
  do {
    sent = ::send(Fd(bio), data, static_cast<std::size_t>(size), MSG_NOSIGNAL | MSG_DONTWAIT);
  } while (sent < 0 && errno == EINTR);
  if (sent < 0 && WouldBlock()) BIO_set_retry_write(bio);
  return static_cast<int>(sent);
}

int SocketRead(BIO* bio, char* into, int size) {
  BIO_clear_retry_flags(bio);
  ssize_t got;
  do {
    got = ::recv(Fd(bio), into, static_cast<std::size_t>(size), MSG_DONTWAIT);
  } while (got < 0 && errno == EINTR);
  if (got < 0 && WouldBlock()) BIO_set_retry_read(bio);
  return static_cast<int>(got);
}

long SocketControl(BIO*, int command, long, void*) { return command == BIO_CTRL_FLUSH ? 1 : 0; }

int SocketCreate(BIO* bio) {
  BIO_set_init(bio, 1);
  return 1;
}

const BIO_METHOD* SocketMethod() {
  static BIO_METHOD* const method = [] {
    BIO_METHOD* made = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK, "zelk socket");
    if (made == nullptr) return made;
    BIO_meth_set_write(made, SocketWrite);
    BIO_meth_set_read(made, SocketRead);
    BIO_meth_set_ctrl(made, SocketControl);
    BIO_meth_set_create(made, SocketCreate);
    return made;
  }();
  return method;
}

}  // namespace

BIO* NewSocketBio(int fd) {
  const BIO_METHOD* method = SocketMethod();
  BIO* bio = method != nullptr ? BIO_new(method) : nullptr;
  if (bio != nullptr) BIO_set_data(bio, reinterpret_cast<void*>(static_cast<std::intptr_t>(fd)));
  return bio;
}

}  // namespace zelk::net
