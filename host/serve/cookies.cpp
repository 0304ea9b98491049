#include "host/serve/cookies.h"

#include <fcntl.h>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <sys/random.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "runtime/dates.h"
#include "runtime/kept.h"

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

// A time in a signed cookie: decimal digits.
bool timeOf(std::string_view digits, std::time_t& out) {
  if (digits.empty() || digits.size() > 18) return false;
  std::time_t n = 0;
  for (char c : digits) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  out = n;
  return true;
}

std::string attributes(bool secure) {
  return secure ? "; Secure" + std::string(kCookieAttributes) : std::string(kCookieAttributes);
}

}  // namespace

// ------------------------------------------------------------------ signing

// The key's inner and outer block, each hashed once; a MAC copies them.
struct HmacSha256::Contexts {
  EVP_MD_CTX* inner = EVP_MD_CTX_new();
  EVP_MD_CTX* outer = EVP_MD_CTX_new();
  ~Contexts() {
    EVP_MD_CTX_free(inner);
    EVP_MD_CTX_free(outer);
  }
};

HmacSha256::HmacSha256(std::string_view key) : keyed_(std::make_unique<Contexts>()) {
  constexpr size_t kBlock = 64;
  unsigned char block[kBlock] = {};
  if (key.size() > kBlock) {
    unsigned int length = 0;
    EVP_Digest(key.data(), key.size(), block, &length, EVP_sha256(), nullptr);
  } else {
    std::memcpy(block, key.data(), key.size());
  }
  unsigned char pad[kBlock];
  for (size_t i = 0; i < kBlock; ++i) pad[i] = block[i] ^ 0x36;
  bool ok = keyed_->inner && keyed_->outer && EVP_DigestInit_ex(keyed_->inner, EVP_sha256(), nullptr) == 1 &&
            EVP_DigestUpdate(keyed_->inner, pad, kBlock) == 1;
  for (size_t i = 0; i < kBlock; ++i) pad[i] = block[i] ^ 0x5c;
  ok = ok && EVP_DigestInit_ex(keyed_->outer, EVP_sha256(), nullptr) == 1 &&
       EVP_DigestUpdate(keyed_->outer, pad, kBlock) == 1;
  OPENSSL_cleanse(block, sizeof block);
  OPENSSL_cleanse(pad, sizeof pad);
  if (!ok) throw std::runtime_error("cannot set up HMAC-SHA256");
}

HmacSha256::~HmacSha256() = default;

void HmacSha256::mac(std::initializer_list<std::string_view> parts, unsigned char out[32]) const {
  struct Work {
    EVP_MD_CTX* context = EVP_MD_CTX_new();
    ~Work() { EVP_MD_CTX_free(context); }
  };
  thread_local Work work;
  unsigned char inner[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  bool ok = work.context && EVP_MD_CTX_copy_ex(work.context, keyed_->inner) == 1;
  for (std::string_view part : parts) ok = ok && EVP_DigestUpdate(work.context, part.data(), part.size()) == 1;
  ok = ok && EVP_DigestFinal_ex(work.context, inner, &length) == 1 &&
       EVP_MD_CTX_copy_ex(work.context, keyed_->outer) == 1 &&
       EVP_DigestUpdate(work.context, inner, length) == 1 && EVP_DigestFinal_ex(work.context, out, &length) == 1;
  if (!ok) throw std::runtime_error("HMAC-SHA256 failed");
}

CookieSigner::CookieSigner(std::string_view secret, CookieAges ages) : hmac_(secret), ages_(ages) {
  static std::atomic<std::uint64_t> signers{0};
  id_ = ++signers;
}

std::string CookieSigner::signature(std::string_view name, std::string_view signedText) const {
  unsigned char digest[32];
  hmac_.mac({name, "=", signedText}, digest);
  return base64url(digest, sizeof digest);
}

std::string CookieSigner::sign(std::string_view name, std::string_view text, std::time_t issued,
                               std::time_t expires) const {
  std::string out(text);
  out += '.';
  out += std::to_string(issued);
  out += '.';
  out += std::to_string(expires);
  out += '.' + signature(name, out);
  return out;
}

std::optional<CookieSigner::Signed> CookieSigner::checkSignature(std::string_view name,
                                                                 std::string_view value) const {
  const size_t dot = value.rfind('.');
  if (dot == std::string_view::npos || value.size() - dot - 1 != kSignatureLength) return std::nullopt;
  const std::string_view signedText = value.substr(0, dot);
  // The text, then the two times.
  const size_t expiresAt = signedText.rfind('.');
  const size_t issuedAt = expiresAt == std::string_view::npos ? expiresAt : signedText.rfind('.', expiresAt - 1);
  if (issuedAt == std::string_view::npos) return std::nullopt;
  Signed cookie;
  if (!timeOf(signedText.substr(issuedAt + 1, expiresAt - issuedAt - 1), cookie.issued) ||
      !timeOf(signedText.substr(expiresAt + 1), cookie.expires))
    return std::nullopt;
  const std::string expected = signature(name, signedText);
  if (CRYPTO_memcmp(expected.data(), value.data() + dot + 1, kSignatureLength) != 0) return std::nullopt;
  cookie.text = signedText.substr(0, issuedAt);
  return cookie;
}

bool CookieSigner::youngEnough(const Signed& cookie, std::time_t now) const {
  const double age = std::difftime(now, cookie.issued);
  if (cookie.expires != 0) {
    if (now >= cookie.expires) return false;
    if (ages_.withExpirySeconds > 0 && age > ages_.withExpirySeconds) return false;
  } else if (age > ages_.withoutExpirySeconds) {
    return false;
  }
  return true;
}

std::optional<std::string_view> CookieSigner::verify(std::string_view name, std::string_view value,
                                                     std::time_t now) const {
  const std::optional<Signed> cookie = checkSignature(name, value);
  if (!cookie || !youngEnough(*cookie, now)) return std::nullopt;
  return cookie->text;
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

namespace {

// A cookie whose signature a thread checked, with its text decoded.
struct Verified {
  std::uint64_t signer = 0;  // 0: an empty place
  std::string name, value;   // as sent
  std::time_t issued = 0, expires = 0;
  std::string text;            // the signed text
  host::RequestCookie cookie;  // the text decoded
};

// The last few cookies the thread verified; the oldest place is taken next.
struct RecentlyVerified {
  std::array<Verified, 4> places;
  size_t next = 0;

  const Verified* find(const CookieSigner& signer, std::string_view name, std::string_view value) const {
    for (const Verified& v : places)
      if (v.signer == signer.id() && v.value == value && v.name == name) return &v;
    return nullptr;
  }
  // The cookie checked now, or null when its signature does not hold.
  const Verified* check(const CookieSigner& signer, std::string_view name, std::string_view value) {
    const std::optional<CookieSigner::Signed> found = signer.checkSignature(name, value);
    if (!found) return nullptr;
    Verified& v = places[next];
    next = (next + 1) % places.size();
    v.signer = signer.id();
    v.name = name;
    v.value = value;
    v.issued = found->issued;
    v.expires = found->expires;
    v.text = found->text;
    host::RequestCookies decoded;
    decoded.setFromHeader(v.name, v.text);
    v.cookie = decoded(v.name);
    return &v;
  }
};

}  // namespace

void readRequestCookies(std::string_view header, const CookieSigner& signer, std::string_view sessionName,
                        host::RequestCookies& out, std::string& sessionId, std::time_t now) {
  thread_local kept::PerThread<RecentlyVerified> verifiedLast;
  RecentlyVerified& recent = verifiedLast.get();
  for (const auto& [name, value] : splitCookieHeader(header)) {
    const bool session = name == sessionName;
    if (session ? !sessionId.empty() : out.contains(name)) continue;  // the first of a name counts
    const Verified* verified = recent.find(signer, name, value);
    if (!verified) verified = recent.check(signer, name, value);
    if (!verified || !signer.youngEnough({verified->text, verified->issued, verified->expires}, now)) continue;
    if (session) sessionId = verified->text;
    else out.set(std::string(name), verified->cookie);
  }
}

// ------------------------------------------------------------------ response cookies

std::string setCookieHeader(const host::ResponseCookie& cookie, const CookieSigner& signer, std::time_t now,
                            bool secure) {
  if (!isToken(cookie.name())) return {};
  std::optional<std::time_t> expires;
  if (!cookie.Expires.isEmpty()) {
    try {
      expires = timeOfSerial(dateSerialOf(cookie.Expires));
    } catch (const VbError&) {
      // A value that is no date sets no expiry: the cookie lives until the browser closes.
    }
  }
  // An expiry at or before 1970 (a cookie being deleted) is signed as already past.
  const std::time_t signedExpiry = expires ? std::max<std::time_t>(*expires, 1) : 0;
  std::string out(cookie.name());
  out += '=';
  out += signer.sign(cookie.name(), cookie.text(), now, signedExpiry);
  if (expires) {
    out += "; expires=";
    out += httpDate(*expires);
  }
  out += "; path=";
  out += cookie.Path.empty() || !isSafeAttribute(cookie.Path) ? std::string("/") : cookie.Path;
  if (!cookie.Domain.empty() && isSafeAttribute(cookie.Domain)) {
    out += "; domain=";
    out += cookie.Domain;
  }
  out += attributes(secure);
  return out;
}

std::string sessionCookieHeader(std::string_view name, std::string_view id, const CookieSigner& signer,
                                std::time_t now, bool secure) {
  std::string out(name);
  out += '=';
  out += signer.sign(name, id, now);
  out += "; path=/";
  out += attributes(secure);
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
