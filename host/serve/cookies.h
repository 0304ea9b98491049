// Cookies as the HTTP host sends and reads them. Every cookie the host writes
// is signed, and a cookie a browser sends back counts only when its signature
// verifies, so a visitor can neither forge nor alter the member or
// administrator cookie.
//
// A cookie travels as "<text>.<issued>.<expires>.<signature>": <text> is
// the cookie's own text ("k1=v1&k2=v2" with GBK-escaped values, or one
// escaped value; it never holds a "." because the escaping leaves only
// letters, digits, "%", "+", "&" and "="), <issued> the moment the server
// wrote it and <expires> its expiry date (0: none), both in seconds since
// 1970, and <signature> the unpadded base64url HMAC-SHA256 of
// "<name>=<text>.<issued>.<expires>" under the installation's secret, which
// ties the value to its cookie name and its age.
//
// A signed cookie is refused once it is too old: after its expiry date, and
// a cookie without one a configured time after it was written (see
// CookieAges). Signing keeps a visitor from forging or altering a cookie; it
// does not take back a cookie the server wrote: that is the pages' business
// (the demo site ties the member cookie to the member's row, see
// framework/member_logins.h).
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host.h"
#include "host/serve/config.h"

namespace zurvafun::serve {

// HMAC-SHA256 under one key, with the key's work done once.
class HmacSha256 {
 public:
  explicit HmacSha256(std::string_view key);
  ~HmacSha256();
  HmacSha256(const HmacSha256&) = delete;
  HmacSha256& operator=(const HmacSha256&) = delete;
  // The MAC of the concatenated `parts`. Safe to call from several threads.
  void mac(std::initializer_list<std::string_view> parts, unsigned char out[32]) const;

 private:
  struct Contexts;
  std::unique_ptr<Contexts> keyed_;
};

class CookieSigner {
 public:
  explicit CookieSigner(std::string_view secret, CookieAges ages = {});

  // "<text>.<issued>.<expires>.<signature>"; `expires` 0: no expiry date.
  std::string sign(std::string_view name, std::string_view text, std::time_t issued, std::time_t expires = 0) const;
  // The text of a signed value; nullopt when the signature is missing or
  // wrong, or the cookie is too old at `now`.
  std::optional<std::string_view> verify(std::string_view name, std::string_view value, std::time_t now) const;

  // The two steps of verify: the signature, which holds for good once it
  // holds (nullopt when missing or wrong), and the age at `now`.
  struct Signed {
    std::string_view text;
    std::time_t issued = 0, expires = 0;
  };
  std::optional<Signed> checkSignature(std::string_view name, std::string_view value) const;
  bool youngEnough(const Signed& cookie, std::time_t now) const;

  // Tells this signer from every other of the process, even one made later
  // at the same address (with another secret).
  std::uint64_t id() const { return id_; }

 private:
  std::string signature(std::string_view name, std::string_view signedText) const;
  HmacSha256 hmac_;
  CookieAges ages_;
  std::uint64_t id_;
};

// The name-value pairs of a Cookie request header, in the order sent.
std::vector<std::pair<std::string_view, std::string_view>> splitCookieHeader(std::string_view header);

// Fills `out` from a Cookie request header: every cookie whose signature
// verifies at `now`, the first of several with the same name. The session
// cookie `sessionName` is not a page cookie: its verified value goes to
// `sessionId`. A cookie that the calling thread verified and decoded shortly
// before (a browser sends the same cookies with every request of its
// connection, which stays with one worker thread) is taken as it was then;
// its age is checked every time.
void readRequestCookies(std::string_view header, const CookieSigner& signer, std::string_view sessionName,
                        host::RequestCookies& out, std::string& sessionId, std::time_t now);

// The Set-Cookie value of a cookie a page wrote at `now`: signed, with its
// path ("/" when the page set none), domain and expiry, Secure when
// `secure`, HttpOnly and SameSite=Lax. Empty when the cookie's name cannot
// travel in a header.
std::string setCookieHeader(const host::ResponseCookie& cookie, const CookieSigner& signer, std::time_t now,
                            bool secure = false);
// The Set-Cookie value of the session cookie (no expiry: it ends with the browser).
std::string sessionCookieHeader(std::string_view name, std::string_view id, const CookieSigner& signer,
                                std::time_t now, bool secure = false);

// "Sun, 06 Nov 1994 08:49:37 GMT".
std::string httpDate(std::time_t t);
// The moment of a local date serial (days since 1899-12-30).
std::time_t timeOfSerial(double serial);

// The installation's signing secret kept in `file`: read when present, else
// made from 32 random bytes of the OS and written (mode 0600). Throws
// std::runtime_error when the file cannot be read or written, or holds fewer
// than 32 characters.
std::string loadOrCreateSecret(const std::string& file);
// Fills `out` with random bytes of the OS.
void randomBytes(void* out, std::size_t size);

}  // namespace zurvafun::serve
