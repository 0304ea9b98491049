// zurva-serve over TLS: the suite makes a self-signed certificate with
// OpenSSL when it starts, configures the server with it, and talks to it as
// a browser would over https.
#include <gtest/gtest.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cstdio>
#include <memory>
#include <string>

#include "runtime/gbk.h"
#include "tests/e2e/server_fixture.h"

namespace zurvafun {
namespace {

// Writes a self-signed certificate for 127.0.0.1 (a P-256 key, valid for a
// day) and its key as PEM files; false when OpenSSL fails.
bool makeCertificate(const std::string& certificateFile, const std::string& keyFile) {
  std::unique_ptr<EVP_PKEY, void (*)(EVP_PKEY*)> key(EVP_EC_gen("P-256"), EVP_PKEY_free);
  std::unique_ptr<X509, void (*)(X509*)> certificate(X509_new(), X509_free);
  if (!key || !certificate) return false;
  X509* c = certificate.get();
  X509_set_version(c, 2);
  ASN1_INTEGER_set(X509_get_serialNumber(c), 1);
  X509_gmtime_adj(X509_getm_notBefore(c), -60);
  X509_gmtime_adj(X509_getm_notAfter(c), 24 * 60 * 60);
  X509_set_pubkey(c, key.get());
  X509_NAME* name = X509_get_subject_name(c);
  X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
  X509_set_issuer_name(c, name);
  if (X509_sign(c, key.get(), EVP_sha256()) == 0) return false;
  FILE* out = std::fopen(certificateFile.c_str(), "w");
  if (!out) return false;
  bool ok = PEM_write_X509(out, c) == 1;
  std::fclose(out);
  out = std::fopen(keyFile.c_str(), "w");
  if (!out) return false;
  ok = ok && PEM_write_PrivateKey(out, key.get(), nullptr, nullptr, 0, nullptr, nullptr) == 1;
  std::fclose(out);
  return ok;
}

class ServeTls : public e2e::ServerSuite<ServeTls> {
 public:
  static std::string settings() {
    char pattern[] = "/tmp/zurva_tls_XXXXXX";
    dir_ = ::mkdtemp(pattern) ? pattern : "/tmp";
    const std::string certificate = dir_ + "/cert.pem", key = dir_ + "/key.pem";
    if (!makeCertificate(certificate, key)) ADD_FAILURE() << "cannot make the test certificate";
    return R"("database": {"demo_members": 3},
      "tls": {"certificate": ")" + certificate + R"(", "key": ")" + key + R"("},
      "self_test_pages": true)";
  }
  static constexpr const char* kReadyPath = "/selftest/echo.asp";

  static void TearDownTestSuite() {
    e2e::ServerSuite<ServeTls>::TearDownTestSuite();
    e2e::fs::remove_all(dir_);
  }

 protected:
  static std::unique_ptr<httplib::SSLClient> tlsClient() {
    auto c = std::make_unique<httplib::SSLClient>("127.0.0.1", server_->port());
    c->enable_server_certificate_verification(false);
    c->set_connection_timeout(5);
    c->set_read_timeout(10);
    return c;
  }

  inline static std::string dir_;
};

TEST_F(ServeTls, PagesFilesAndSecureCookiesOverTls) {
  auto client = tlsClient();
  httplib::SSLClient& c = *client;
  auto page = c.Get("/selftest/echo.asp?name=%D6%D0%CE%C4");
  ASSERT_TRUE(page) << httplib::to_string(page.error());
  EXPECT_EQ(page->status, 200);
  EXPECT_NE(gbk::toUtf8(page->body).find("Q name=中文\n"), std::string::npos);

  auto form = c.Post("/selftest/echo.asp", "nick=%C4%E3%BA%C3", "application/x-www-form-urlencoded");
  ASSERT_TRUE(form);
  EXPECT_NE(gbk::toUtf8(form->body).find("F nick=你好\n"), std::string::npos);

  auto css = c.Get("/css.css");
  ASSERT_TRUE(css);
  EXPECT_EQ(css->status, 200);
  EXPECT_EQ(css->get_header_value("X-Content-Type-Options"), "nosniff");

  // The library's client percent-decodes header values, which leaves the
  // attributes as they are.
  auto set = c.Get("/selftest/setcookie.asp?userid=7");
  ASSERT_TRUE(set);
  ASSERT_GE(set->get_header_value_count("Set-Cookie"), 2u);
  for (size_t i = 0; i < set->get_header_value_count("Set-Cookie"); ++i)
    EXPECT_NE(set->get_header_value("Set-Cookie", i).find("; Secure; HttpOnly; SameSite=Lax"), std::string::npos)
        << set->get_header_value("Set-Cookie", i);
}

// Plain HTTP on the TLS port gets no page; the server goes on serving TLS.
TEST_F(ServeTls, PlainHttpIsNotServed) {
  const std::string reply = exchange("GET /selftest/echo.asp HTTP/1.1\r\nHost: x\r\n\r\n", std::chrono::seconds(5));
  EXPECT_EQ(reply.find("HTTP/1.1 200"), std::string::npos) << reply;
  EXPECT_TRUE(reply.ends_with("<closed>") || reply.ends_with("<reset>")) << reply;
  auto again = tlsClient()->Get("/selftest/echo.asp");
  ASSERT_TRUE(again);
  EXPECT_EQ(again->status, 200);
}

}  // namespace
}  // namespace zurvafun
