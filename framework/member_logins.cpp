#include "framework/member_logins.h"

#include <openssl/evp.h>
#include <openssl/rand.h>

#include <optional>
#include <stdexcept>

#include "db/db.h"
#include "framework/sql.h"
#include "framework/viewer.h"

namespace zurvafun::logins {

namespace {

constexpr std::size_t kTokenBytes = 16;

std::string hex(const unsigned char* bytes, std::size_t size) {
  std::string out;
  out.reserve(size * 2);
  for (std::size_t i = 0; i < size; ++i) {
    out += "0123456789abcdef"[bytes[i] >> 4];
    out += "0123456789abcdef"[bytes[i] & 15];
  }
  return out;
}

}  // namespace

std::string newRememberToken() {
  unsigned char bytes[kTokenBytes];
  if (RAND_bytes(bytes, sizeof bytes) != 1)
    throw std::runtime_error("no random bytes for a remember-me token");
  return hex(bytes, sizeof bytes);
}

std::string tokenDigest(std::string_view token) {
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  if (EVP_Digest(token.data(), token.size(), digest, &length, EVP_sha256(), nullptr) != 1)
    throw std::runtime_error("SHA-256 failed");
  return hex(digest, length);
}

bool wellFormedToken(std::string_view token) {
  if (token.size() != kTokenBytes * 2) return false;
  for (char c : token)
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

void endLogins(db::Connection& conn, std::int32_t userid) {
  conn.ExecuteAction(sql::statement(
      "update zurva_user set cookiever=isnull(cookiever,0)+1, remembertoken=null where userid={}",
      userid));
}

std::string cookieCheckSelect(std::int32_t userid) {
  return sql::statement(
             "select isnull(cookiever,0), isnull(ifdel,0) from zurva_user where userid={}", userid)
      .str();
}

bool memberCookieCurrent(db::Connection& conn, const Viewer& viewer) {
  const std::optional<std::int32_t> userid = viewer.memberNumber();
  const Variant carried = viewer.member(kCookieNumber);
  if (!userid || carried.isEmpty() || !IsNumeric(carried)) return false;
  db::Recordset row = conn.Execute(cookieCheckSelect(*userid));
  return !row.eof() && ne(row(1), 1) && toNumber(row(0)) == toNumber(carried);
}

}  // namespace zurvafun::logins
