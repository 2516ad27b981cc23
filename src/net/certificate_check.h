#pragma once
#include <openssl/ssl.h>

#include <optional>
#include <string>

#include "net/fingerprint.h"
#include "platform/code_page.h"

// How a server's certificate is judged during the TLS handshake: by the system's store of
// authorities (ca-certificates, or SSL_CERT_FILE/SSL_CERT_DIR where set), its dates and the
// server's name, or, where the account pins a fingerprint, by that fingerprint alone.
namespace zelk::net {

struct CertificateCheck {
  // The pinned certificate is accepted whatever its authority, name and dates say, and no other
  // is: the user has compared it already, and a self-signed one has nothing else to go by.
  std::optional<Fingerprint> pin;
  // Once the handshake has seen the server's certificate: its fingerprint and the verification
  // result (X509_V_OK when accepted).
  bool seen = false;
  Fingerprint fingerprint{};
  long result = X509_V_OK;
};

// Sets up `context` and `ssl` so that the handshake fails unless the certificate passes `check`,
// which must outlive the handshake. `host` (8-bit) is the server's name as the account gives it:
// a DNS name, also sent as SNI, or an IPv4 or IPv6 address, matched against the certificate's IP
// names. False when OpenSSL refuses the settings (out of memory).
[[nodiscard]] bool PrepareCertificateCheck(SSL_CTX* context, SSL* ssl, const std::string& host,
                                           CertificateCheck& check);

// The refusal of a certificate the handshake saw, naming the reason and the fingerprint the user
// may compare and pin:
//   Certificate not accepted: unknown authority
//   SHA-256 fingerprint: 5E:1A:...:C3
platform::Text CertificateRefusal(const CertificateCheck& check);

}  // namespace zelk::net
