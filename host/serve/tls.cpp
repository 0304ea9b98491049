#include "host/serve/tls.h"

#include <openssl/err.h>

#include <stdexcept>

namespace zurvafun::serve {

namespace {

[[noreturn]] void fail(const std::string& what) {
  char reason[256] = "";
  if (const unsigned long e = ERR_get_error()) ERR_error_string_n(e, reason, sizeof reason);
  ERR_clear_error();
  throw std::runtime_error(what + (reason[0] ? std::string(": ") + reason : std::string()));
}

}  // namespace

TlsContext makeTlsContext(const std::string& certificateFile, const std::string& keyFile) {
  TlsContext context(SSL_CTX_new(TLS_server_method()), SSL_CTX_free);
  if (!context) fail("cannot make a TLS context");
  SSL_CTX* c = context.get();
  SSL_CTX_set_min_proto_version(c, TLS1_2_VERSION);
  SSL_CTX_set_options(c, SSL_OP_NO_RENEGOTIATION | SSL_OP_CIPHER_SERVER_PREFERENCE);
  // Writes go out in pieces as the socket takes them, from a buffer that may move.
  SSL_CTX_set_mode(c, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  if (SSL_CTX_use_certificate_chain_file(c, certificateFile.c_str()) != 1)
    fail("cannot read the TLS certificate " + certificateFile);
  if (SSL_CTX_use_PrivateKey_file(c, keyFile.c_str(), SSL_FILETYPE_PEM) != 1)
    fail("cannot read the TLS key " + keyFile);
  if (SSL_CTX_check_private_key(c) != 1) fail("the TLS key " + keyFile + " does not match the certificate");
  return context;
}

}  // namespace zurvafun::serve
