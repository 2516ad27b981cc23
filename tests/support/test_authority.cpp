#include "support/test_authority.h"

#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>

namespace zelk::test {

namespace {

struct Free {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
  void operator()(X509* certificate) const { X509_free(certificate); }
  void operator()(std::FILE* file) const { std::fclose(file); }
};
using Key = std::unique_ptr<EVP_PKEY, Free>;
using Certificate = std::unique_ptr<X509, Free>;
using File = std::unique_ptr<std::FILE, Free>;

void Require(bool ok, const char* what) {
  if (!ok) throw std::runtime_error(std::string("TestAuthority: ") + what);
}

File Open(const std::string& path, const char* mode) {
  File file(std::fopen(path.c_str(), mode));
  Require(file != nullptr, "cannot open a PEM file");
  return file;
}

void AddExtension(X509* certificate, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX context;
  X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
  X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value.c_str());
  Require(extension != nullptr && X509_add_ext(certificate, extension, -1) == 1, "cannot add an extension");
  X509_EXTENSION_free(extension);
}

// A certificate for `subject` with `key`, signed by `issuer` with `issuerKey` (itself when null).
Certificate Sign(const std::string& subject, EVP_PKEY* key, X509* issuer, EVP_PKEY* issuerKey, Validity validity,
                 int serial, const std::string& altNames) {
  Certificate certificate(X509_new());
  Require(certificate != nullptr, "X509_new");
  X509* made = certificate.get();
  X509_set_version(made, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(made), serial);
  X509_gmtime_adj(X509_getm_notBefore(made), static_cast<long>(validity.fromDays) * 86400);
  X509_gmtime_adj(X509_getm_notAfter(made), static_cast<long>(validity.toDays) * 86400);
  X509_NAME_add_entry_by_txt(X509_get_subject_name(made), "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(subject.c_str()), -1, -1, 0);
  X509_set_issuer_name(made, X509_get_subject_name(issuer != nullptr ? issuer : made));
  X509_set_pubkey(made, key);
  if (altNames.empty()) {
    AddExtension(made, made, NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(made, made, NID_key_usage, "critical,keyCertSign,cRLSign");
  } else {
    AddExtension(made, issuer != nullptr ? issuer : made, NID_subject_alt_name, altNames);
    AddExtension(made, made, NID_basic_constraints, "CA:FALSE");
  }
  Require(X509_sign(made, issuerKey != nullptr ? issuerKey : key, EVP_sha256()) > 0, "X509_sign");
  return certificate;
}

void Write(const std::string& path, X509* certificate) {
  Require(PEM_write_X509(Open(path, "w").get(), certificate) == 1, "PEM_write_X509");
}

void Write(const std::string& path, EVP_PKEY* key) {
  Require(PEM_write_PrivateKey(Open(path, "w").get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1,
          "PEM_write_PrivateKey");
}

Key ReadKey(const std::string& path) {
  Key key(PEM_read_PrivateKey(Open(path, "r").get(), nullptr, nullptr, nullptr));
  Require(key != nullptr, "PEM_read_PrivateKey");
  return key;
}

Certificate ReadCertificate(const std::string& path) {
  Certificate certificate(PEM_read_X509(Open(path, "r").get(), nullptr, nullptr, nullptr));
  Require(certificate != nullptr, "PEM_read_X509");
  return certificate;
}

std::string FingerprintOf(X509* certificate) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  Require(X509_digest(certificate, EVP_sha256(), digest, &length) == 1, "X509_digest");
  std::string text;
  char pair[4];
  for (unsigned int i = 0; i < length; ++i) {
    std::snprintf(pair, sizeof pair, i == 0 ? "%02X" : ":%02X", digest[i]);
    text += pair;
  }
  return text;
}

Key NewKey() {
  Key key(EVP_EC_gen("P-256"));
  Require(key != nullptr, "EVP_EC_gen");
  return key;
}

}  // namespace

TestAuthority::TestAuthority() : caFile_(dir_.file("ca.pem")), caKeyFile_(dir_.file("ca.key")) {
  const Key key = NewKey();
  const Certificate ca = Sign("Zelk Test CA", key.get(), nullptr, nullptr, {-1, 365}, 1, "");
  Write(caFile_, ca.get());
  Write(caKeyFile_, key.get());
}

ServerIdentity TestAuthority::Issue(const std::string& altNames, Validity validity) {
  return Make(altNames, validity, false);
}

ServerIdentity TestAuthority::SelfSigned(const std::string& altNames) { return Make(altNames, {}, true); }

ServerIdentity TestAuthority::Make(const std::string& altNames, Validity validity, bool selfSigned) {
  const int serial = ++issued_ + 1;
  const std::string name = "server" + std::to_string(serial);
  const Key key = NewKey();
  const Certificate ca = ReadCertificate(caFile_);
  const Key caKey = ReadKey(caKeyFile_);
  const Certificate certificate = Sign(name, key.get(), selfSigned ? nullptr : ca.get(),
                                       selfSigned ? nullptr : caKey.get(), validity, serial, altNames);
  ServerIdentity identity{dir_.file(name + ".pem"), dir_.file(name + ".key"), FingerprintOf(certificate.get())};
  Write(identity.certificate, certificate.get());
  Write(identity.key, key.get());
  return identity;
}

void TestAuthority::TrustInThisProcess() const { ::setenv("SSL_CERT_FILE", caFile_.c_str(), 1); }

}  // namespace zelk::test
