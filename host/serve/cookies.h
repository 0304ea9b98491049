// Cookies as the HTTP host sends and reads them. Every cookie the host writes
// is signed, and a cookie a browser sends back counts only when its signature
// verifies, so a visitor can neither forge nor alter the member or
// administrator cookie.
//
// A cookie travels as "<text>.<signature>": <text> is the cookie's own text
// ("k1=v1&k2=v2" with GBK-escaped values, or one escaped value; it never holds
// a "." because the escaping leaves only letters, digits, "%", "+", "&" and
// "="), <signature> the unpadded base64url HMAC-SHA256 of "<name>=<text>"
// under the installation's secret, which ties the value to its cookie name.
#pragma once

#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "host/host.h"

namespace zurvafun::serve {

class CookieSigner {
 public:
  explicit CookieSigner(std::string secret) : secret_(std::move(secret)) {}

  // "<text>.<signature>".
  std::string sign(std::string_view name, std::string_view text) const;
  // The text of a signed value; nullopt when the signature is missing or wrong.
  std::optional<std::string_view> verify(std::string_view name, std::string_view value) const;

 private:
  std::string signature(std::string_view name, std::string_view text) const;
  std::string secret_;
};

// The name-value pairs of a Cookie request header, in the order sent.
std::vector<std::pair<std::string_view, std::string_view>> splitCookieHeader(std::string_view header);

// Fills `out` from a Cookie request header: every cookie whose signature
// verifies, the first of several with the same name. The session cookie
// `sessionName` is not a page cookie: its verified value goes to `sessionId`.
void readRequestCookies(std::string_view header, const CookieSigner& signer, std::string_view sessionName,
                        host::RequestCookies& out, std::string& sessionId);

// The Set-Cookie value of a cookie a page wrote: signed, with its path ("/"
// when the page set none), domain and expiry, HttpOnly and SameSite=Lax.
// Empty when the cookie's name cannot travel in a header.
std::string setCookieHeader(const host::ResponseCookie& cookie, const CookieSigner& signer);
// The Set-Cookie value of the session cookie (no expiry: it ends with the browser).
std::string sessionCookieHeader(std::string_view name, std::string_view id, const CookieSigner& signer);

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
