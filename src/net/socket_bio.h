#pragma once
#include <openssl/bio.h>

namespace zelk::net {

// An OpenSSL BIO over a connected non-blocking socket that it neither owns nor closes. OpenSSL's
// own socket BIO writes with write(2), whose SIGPIPE would kill the program when a server goes
// away; this one sends with MSG_NOSIGNAL. Nothing when OpenSSL cannot allocate it.
BIO* NewSocketBio(int fd);

}  // namespace zelk::net
