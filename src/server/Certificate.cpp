#include "server/Certificate.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <sys/stat.h>

#include <cctype>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>

namespace office {

namespace {

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<FILE, FileCloser>;
using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

File Open(const std::string& path, const char* mode) { return File(std::fopen(path.c_str(), mode)); }

void AddExtension(X509* cert, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (!ext) throw std::runtime_error("the certificate's extension could not be made");
  X509_add_ext(cert, ext, -1);
  X509_EXTENSION_free(ext);
}

bool SafeHostName(const std::string& name) {
  if (name.empty() || name.size() > 63) return false;
  for (char c : name)
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.') return false;
  return true;
}

void Make(const std::string& cert_path, const std::string& key_path, const std::string& host) {
  Key key(EVP_EC_gen("P-256"), EVP_PKEY_free);
  if (!key) throw std::runtime_error("the certificate's key could not be made");
  Cert cert(X509_new(), X509_free);
  X509_set_version(cert.get(), 2);
  unsigned char serial[16];
  std::FILE* random = std::fopen("/dev/urandom", "rb");
  if (!random || std::fread(serial, 1, sizeof serial, random) != sizeof serial) {
    if (random) std::fclose(random);
    throw std::runtime_error("no randomness for the certificate's serial number");
  }
  std::fclose(random);
  serial[0] &= 0x7F;
  BIGNUM* bn = BN_bin2bn(serial, sizeof serial, nullptr);
  BN_to_ASN1_INTEGER(bn, X509_get_serialNumber(cert.get()));
  BN_free(bn);
  X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
  X509_gmtime_adj(X509_getm_notAfter(cert.get()), 10L * 365 * 24 * 3600);
  X509_set_pubkey(cert.get(), key.get());
  X509_NAME* name = X509_get_subject_name(cert.get());
  X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>("Ostrel office"), -1, -1, 0);
  const std::string cn = SafeHostName(host) ? host : "localhost";
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                             reinterpret_cast<const unsigned char*>(cn.c_str()), -1, -1, 0);
  X509_set_issuer_name(cert.get(), name);
  std::string alt = "DNS:localhost,IP:127.0.0.1,IP:::1";
  if (SafeHostName(host) && host != "localhost") alt += ",DNS:" + host;
  AddExtension(cert.get(), NID_subject_alt_name, alt);
  AddExtension(cert.get(), NID_basic_constraints, "critical,CA:FALSE");
  AddExtension(cert.get(), NID_ext_key_usage, "serverAuth");
  if (!X509_sign(cert.get(), key.get(), EVP_sha256()))
    throw std::runtime_error("the certificate could not be signed");

  // The key first, created readable by the owner alone; each file is
  // written beside its place and renamed there, so that a start cut short
  // leaves either both or a pair that is made again.
  const std::string key_tmp = key_path + ".tmp", cert_tmp = cert_path + ".tmp";
  {
    const mode_t old = umask(077);
    File f = Open(key_tmp, "wb");
    umask(old);
    if (!f || !PEM_write_PrivateKey(f.get(), key.get(), nullptr, nullptr, 0, nullptr, nullptr) ||
        std::fflush(f.get()) != 0)
      throw std::runtime_error("cannot write " + key_tmp);
  }
  {
    File f = Open(cert_tmp, "wb");
    if (!f || !PEM_write_X509(f.get(), cert.get()) || std::fflush(f.get()) != 0)
      throw std::runtime_error("cannot write " + cert_tmp);
  }
  std::filesystem::rename(key_tmp, key_path);
  std::filesystem::rename(cert_tmp, cert_path);
}

}  // namespace

CertificateFiles EnsureSelfSigned(const std::string& dir, const std::string& host_name) {
  CertificateFiles files{dir + "/cert.pem", dir + "/key.pem", false};
  std::error_code ec;
  const bool have_cert = std::filesystem::exists(files.cert, ec);
  const bool have_key = std::filesystem::exists(files.key, ec);
  if (have_cert && have_key) return files;
  try {
    Make(files.cert, files.key, host_name);
  } catch (const std::filesystem::filesystem_error& e) {
    throw std::runtime_error(std::string("cannot store the certificate: ") + e.what());
  }
  files.made = true;
  return files;
}

std::string FingerprintOfDer(const unsigned char* der, int size) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_Digest(der, static_cast<size_t>(size), digest, &length, EVP_sha256(), nullptr);
  static const char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (unsigned int i = 0; i < length; ++i) {
    if (i) text += ':';
    text += kHex[digest[i] >> 4];
    text += kHex[digest[i] & 15];
  }
  return text;
}

std::string FingerprintOfFile(const std::string& cert_pem) {
  File f = Open(cert_pem, "rb");
  if (!f) throw std::runtime_error("cannot read " + cert_pem);
  Cert cert(PEM_read_X509(f.get(), nullptr, nullptr, nullptr), X509_free);
  if (!cert) throw std::runtime_error(cert_pem + " holds no PEM certificate");
  unsigned char* der = nullptr;
  const int size = i2d_X509(cert.get(), &der);
  if (size <= 0) throw std::runtime_error(cert_pem + " holds no PEM certificate");
  std::string text = FingerprintOfDer(der, size);
  OPENSSL_free(der);
  return text;
}

std::string NormalisedFingerprint(const std::string& text) {
  std::string digits;
  for (char c : text) {
    if (c == ':') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
    digits += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  if (digits.size() != 64) return "";
  std::string out;
  for (std::size_t i = 0; i < 64; i += 2) {
    if (i) out += ':';
    out += digits.substr(i, 2);
  }
  return out;
}

}  // namespace office
