#pragma once
#include <string>
#include <vector>

#include "support/temp_dir.h"

namespace zelk::test {

// A server's certificate and key as PEM files, and the certificate's SHA-256 fingerprint as
// `openssl x509 -noout -fingerprint -sha256` prints it ("AB:CD:...").
struct ServerIdentity {
  std::string certificate;
  std::string key;
  std::string fingerprint;
};

// When a certificate is valid, in days from now.
struct Validity {
  int fromDays = -1;
  int toDays = 30;
};

// A certificate authority of one test, made with OpenSSL in a temporary directory of its own
// (P-256 keys: a few milliseconds each). It issues server certificates for the names given as
// subjectAltName entries ("IP:127.0.0.1", "DNS:localhost").
class TestAuthority {
 public:
  TestAuthority();
  // Throws std::runtime_error when OpenSSL fails.
  ServerIdentity Issue(const std::string& altNames, Validity validity = {});
  // A certificate signed by its own key, which no authority vouches for.
  ServerIdentity SelfSigned(const std::string& altNames);
  // The authority's certificate (PEM).
  const std::string& caFile() const { return caFile_; }
  // Makes this authority the only one the process trusts, through SSL_CERT_FILE: the program reads
  // the default verify paths for each connection.
  void TrustInThisProcess() const;

 private:
  ServerIdentity Make(const std::string& altNames, Validity validity, bool selfSigned);

  TempDir dir_;
  std::string caFile_;
  std::string caKeyFile_;
  int issued_ = 0;
};

// The listening address "127.0.0.1" and "localhost" as a server certificate names them.
inline constexpr const char* kLoopbackNames = "IP:127.0.0.1,DNS:localhost";

}  // namespace zelk::test
