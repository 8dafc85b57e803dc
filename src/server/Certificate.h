// The server's TLS certificate: a self-signed one made on the first start
// in the data folder, or the administrator's own; and its fingerprint, by
// which a client that has no authority to ask pins it.
#pragma once

#include <string>

namespace office {

struct CertificateFiles {
  std::string cert;  // PEM
  std::string key;   // PEM, readable by the owner alone
  bool made = false;  // made just now
};

// The certificate in `dir` (cert.pem and key.pem), made there when absent:
// an EC P-256 key and a certificate for localhost, the machine's name and
// the loopback addresses, valid for ten years. Throws std::runtime_error
// with the reason when it cannot be read or made.
CertificateFiles EnsureSelfSigned(const std::string& dir, const std::string& host_name);

// The SHA-256 of the certificate's DER form as 32 colon-separated pairs of
// upper-case hex digits ("AB:CD:..."), as browsers and openssl show it.
// Throws std::runtime_error when the file holds no certificate.
std::string FingerprintOfFile(const std::string& cert_pem);
std::string FingerprintOfDer(const unsigned char* der, int size);

// "AB:CD:.." or "abcd..": the same 64 digits, upper-case with colons; empty
// when `text` is no SHA-256 fingerprint.
std::string NormalisedFingerprint(const std::string& text);

}  // namespace office
