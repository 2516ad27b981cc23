#include "net/certificate_check.h"

#include <openssl/x509v3.h>

#include "net/ip_address.h"

namespace zelk::net {

namespace {

// Replaces OpenSSL's verification of the chain, so that the leaf's fingerprint is known whatever
// the outcome and a pin can stand in for the store.
int VerifyServerCertificate(X509_STORE_CTX* store, void* argument) {
  CertificateCheck& check = *static_cast<CertificateCheck*>(argument);
  X509* leaf = X509_STORE_CTX_get0_cert(store);
  unsigned int length = 0;
  check.seen = leaf != nullptr && X509_digest(leaf, EVP_sha256(), check.fingerprint.data(), &length) == 1 &&
               length == check.fingerprint.size();
  if (!check.seen) {
    check.result = X509_V_ERR_UNSPECIFIED;
  } else if (check.pin) {
    check.result = *check.pin == check.fingerprint ? X509_V_OK : X509_V_ERR_CERT_REJECTED;
  } else {
    check.result = X509_verify_cert(store) == 1 ? X509_V_OK : X509_STORE_CTX_get_error(store);
  }
  X509_STORE_CTX_set_error(store, static_cast<int>(check.result));
  return check.result == X509_V_OK ? 1 : 0;
}

const char* Reason(const CertificateCheck& check) {
  switch (check.result) {
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return "expired";
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return "not valid yet";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return "name mismatch (issued for another server)";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return "unknown authority";
    case X509_V_ERR_CERT_REJECTED:
      if (check.pin) return "not the pinned certificate";
      break;
    default:
      break;
  }
  return X509_verify_cert_error_string(check.result);
}

}  // namespace

bool PrepareCertificateCheck(SSL_CTX* context, SSL* ssl, const std::string& host, CertificateCheck& check) {
  // On the session: it took the context's mode when it was made.
  SSL_set_verify(ssl, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_cert_verify_callback(context, VerifyServerCertificate, &check);
  // With a pin the store is never asked, so it need not be read.
  if (!check.pin && SSL_CTX_set_default_verify_paths(context) != 1) return false;
  if (ParseIpLiteral(host)) {
    // RFC 6066 3: "Literal IPv4 and IPv6 addresses are not permitted in HostName."
    return X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(ssl), host.c_str()) == 1;
  }
  SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  return SSL_set1_host(ssl, host.c_str()) == 1 && SSL_set_tlsext_host_name(ssl, host.c_str()) == 1;
}

platform::Text CertificateRefusal(const CertificateCheck& check) {
  platform::Text text = platform::Text("Certificate not accepted: ") + Reason(check);
  if (check.seen) text += "\nSHA-256 fingerprint: " + FingerprintText(check.fingerprint);
  return text;
}

}  // namespace zelk::net
