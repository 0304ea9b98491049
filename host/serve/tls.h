// The server's TLS context (OpenSSL): TLS 1.2 and later, the certificate
// chain and the private key of the configuration.
#pragma once

#include <openssl/ssl.h>

#include <memory>
#include <string>

namespace zurvafun::serve {

using TlsContext = std::unique_ptr<SSL_CTX, void (*)(SSL_CTX*)>;

// Reads the PEM files; throws std::runtime_error naming the file and
// OpenSSL's reason when they do not load or do not belong together.
TlsContext makeTlsContext(const std::string& certificateFile, const std::string& keyFile);

}  // namespace zurvafun::serve
