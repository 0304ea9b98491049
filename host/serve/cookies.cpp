#include "host/serve/cookies.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "runtime/dates.h"

namespace zurvafun::serve {

namespace {

constexpr size_t kSignatureLength = 43;  // 32 bytes in unpadded base64url

std::string base64url(const unsigned char* data, size_t size) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  out.reserve((size * 4 + 2) / 3);
  size_t i = 0;
  for (; i + 2 < size; i += 3) {
    const unsigned v = (data[i] << 16) | (data[i + 1] << 8) | data[i + 2];
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    out += kAlphabet[(v >> 6) & 63];
    out += kAlphabet[v & 63];
  }
  if (i < size) {
    const unsigned v = (data[i] << 16) | (i + 1 < size ? data[i + 1] << 8 : 0);
    out += kAlphabet[(v >> 18) & 63];
    out += kAlphabet[(v >> 12) & 63];
    if (i + 1 < size) out += kAlphabet[(v >> 6) & 63];
  }
  return out;
}

// Characters of a cookie name (an HTTP token).
bool isTokenChar(char c) {
  if (c <= 32 || c >= 127) return false;
  return std::string_view("()<>@,;:\\\"/[]?={}").find(c) == std::string_view::npos;
}

bool isToken(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!isTokenChar(c)) return false;
  return true;
}

// An attribute value that cannot break out of its attribute.
bool isSafeAttribute(std::string_view s) {
  for (char c : s)
    if (c < 32 || c == 127 || c == ';' || c == ',') return false;
  return true;
}

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

constexpr std::string_view kCookieAttributes = "; HttpOnly; SameSite=Lax";

}  // namespace

// ------------------------------------------------------------------ signing

std::string CookieSigner::signature(std::string_view name, std::string_view text) const {
  std::string message;
  message.reserve(name.size() + 1 + text.size());
  message.append(name).append("=").append(text);
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  HMAC(EVP_sha256(), secret_.data(), static_cast<int>(secret_.size()),
       reinterpret_cast<const unsigned char*>(message.data()), message.size(), digest, &length);
  return base64url(digest, length);
}

std::string CookieSigner::sign(std::string_view name, std::string_view text) const {
  std::string out(text);
  out += '.';
  out += signature(name, text);
  return out;
}

std::optional<std::string_view> CookieSigner::verify(std::string_view name, std::string_view value) const {
  const size_t dot = value.rfind('.');
  if (dot == std::string_view::npos || value.size() - dot - 1 != kSignatureLength) return std::nullopt;
  const std::string_view text = value.substr(0, dot);
  const std::string expected = signature(name, text);
  if (CRYPTO_memcmp(expected.data(), value.data() + dot + 1, kSignatureLength) != 0) return std::nullopt;
  return text;
}

// ------------------------------------------------------------------ request cookies

std::vector<std::pair<std::string_view, std::string_view>> splitCookieHeader(std::string_view header) {
  std::vector<std::pair<std::string_view, std::string_view>> pairs;
  while (!header.empty()) {
    const size_t semi = header.find(';');
    const std::string_view item = trimBlanks(header.substr(0, semi));
    const size_t eq = item.find('=');
    if (eq != std::string_view::npos && eq > 0) {
      std::string_view value = trimBlanks(item.substr(eq + 1));
      if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
      pairs.emplace_back(trimBlanks(item.substr(0, eq)), value);
    }
    if (semi == std::string_view::npos) break;
    header.remove_prefix(semi + 1);
  }
  return pairs;
}

void readRequestCookies(std::string_view header, const CookieSigner& signer, std::string_view sessionName,
                        host::RequestCookies& out, std::string& sessionId) {
  for (const auto& [name, value] : splitCookieHeader(header)) {
    const std::optional<std::string_view> text = signer.verify(name, value);
    if (!text) continue;
    if (name == sessionName) {
      if (sessionId.empty()) sessionId = std::string(*text);
    } else if (!out.contains(name)) {
      out.setFromHeader(std::string(name), *text);
    }
  }
}

// ------------------------------------------------------------------ response cookies

std::string setCookieHeader(const host::ResponseCookie& cookie, const CookieSigner& signer) {
  if (!isToken(cookie.name())) return {};
  std::string out(cookie.name());
  out += '=';
  out += signer.sign(cookie.name(), cookie.text());
  if (!cookie.Expires.isEmpty()) {
    try {
      const double serial = dateSerialOf(cookie.Expires);
      out += "; expires=";
      out += httpDate(timeOfSerial(serial));
    } catch (const VbError&) {
      // A value that is no date sets no expiry: the cookie lives until the browser closes.
    }
  }
  out += "; path=";
  out += cookie.Path.empty() || !isSafeAttribute(cookie.Path) ? std::string("/") : cookie.Path;
  if (!cookie.Domain.empty() && isSafeAttribute(cookie.Domain)) {
    out += "; domain=";
    out += cookie.Domain;
  }
  out += kCookieAttributes;
  return out;
}

std::string sessionCookieHeader(std::string_view name, std::string_view id, const CookieSigner& signer) {
  std::string out(name);
  out += '=';
  out += signer.sign(name, id);
  out += "; path=/";
  out += kCookieAttributes;
  return out;
}

// ------------------------------------------------------------------ dates

std::string httpDate(std::time_t t) {
  static constexpr const char* kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
  static constexpr const char* kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                            "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
  std::tm tm{};
  gmtime_r(&t, &tm);
  char buffer[40];
  std::snprintf(buffer, sizeof buffer, "%s, %02d %s %04d %02d:%02d:%02d GMT", kDays[tm.tm_wday], tm.tm_mday,
                kMonths[tm.tm_mon], tm.tm_year + 1900, tm.tm_hour, tm.tm_min, tm.tm_sec);
  return buffer;
}

std::time_t timeOfSerial(double serial) {
  const DateParts p = fromSerial(serial);
  std::tm tm{};
  tm.tm_year = p.year - 1900;
  tm.tm_mon = p.month - 1;
  tm.tm_mday = p.day;
  tm.tm_hour = p.hour;
  tm.tm_min = p.minute;
  tm.tm_sec = p.second;
  tm.tm_isdst = -1;
  return std::mktime(&tm);
}

// ------------------------------------------------------------------ secret

void randomBytes(void* out, std::size_t size) {
  auto* p = static_cast<unsigned char*>(out);
  while (size > 0) {
    const ssize_t n = getrandom(p, size, 0);
    if (n < 0) {
      if (errno == EINTR) continue;
      throw std::runtime_error(std::string("cannot read random bytes: ") + std::strerror(errno));
    }
    p += n;
    size -= static_cast<size_t>(n);
  }
}

std::string loadOrCreateSecret(const std::string& file) {
  auto readSecret = [&]() {
    std::ifstream in(file);
    if (!in) throw std::runtime_error("cannot read the cookie secret " + file);
    std::ostringstream text;
    text << in.rdbuf();
    std::string secret(trimBlanks(text.str()));
    while (!secret.empty() && (secret.back() == '\n' || secret.back() == '\r')) secret.pop_back();
    if (secret.size() < 32) throw std::runtime_error("the cookie secret " + file + " is too short");
    return secret;
  };
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
  if (fd < 0) {
    if (errno == EEXIST) return readSecret();
    throw std::runtime_error("cannot create the cookie secret " + file + ": " + std::strerror(errno));
  }
  unsigned char bytes[32];
  randomBytes(bytes, sizeof bytes);
  std::string secret;
  for (unsigned char b : bytes) {
    secret += "0123456789abcdef"[b >> 4];
    secret += "0123456789abcdef"[b & 15];
  }
  const std::string line = secret + "\n";
  const bool written = ::write(fd, line.data(), line.size()) == static_cast<ssize_t>(line.size());
  ::close(fd);
  if (!written) {
    ::unlink(file.c_str());
    throw std::runtime_error("cannot write the cookie secret " + file);
  }
  return secret;
}

}  // namespace zurvafun::serve
