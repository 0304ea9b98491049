#include "host/serve/cookies.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "runtime/dates.h"

namespace zurvafun::serve {
namespace {

const CookieSigner signer("0123456789abcdef0123456789abcdef-test-secret");
constexpr std::time_t kNow = 1900000000;  // 2030-03-17
constexpr std::time_t kDay = 24 * 60 * 60;

TEST(ServeCookieSigning, SignedTextVerifiesAndNothingElseDoes) {
  const std::string text = "userid=5&grade=3";
  const std::string value = signer.sign("kalimo", text, kNow);
  ASSERT_EQ(value.rfind(text + ".1900000000.0.", 0), 0u) << value;
  EXPECT_EQ(signer.verify("kalimo", value, kNow), std::optional<std::string_view>(text));

  std::string altered = value;
  altered[text.size() - 1] = '9';  // grade=9
  std::string badSignature = value;
  badSignature.back() = badSignature.back() == 'A' ? 'B' : 'A';
  std::string younger = value;
  younger[text.size() + 10] = '9';  // issued later than it was
  const struct {
    const char* what;
    std::string name, value;
  } refused[] = {
      {"altered value", "kalimo", altered},
      {"altered signature", "kalimo", badSignature},
      {"altered issue time", "kalimo", younger},
      {"moved to another cookie", "zurva_admin", value},
      {"unsigned", "kalimo", text},
      {"empty", "kalimo", ""},
      {"cut signature", "kalimo", value.substr(0, value.size() - 1)},
      {"other secret", "kalimo", CookieSigner("another secret, 32 characters long").sign("kalimo", text, kNow)},
      {"no times", "kalimo", text + "." + value.substr(value.rfind('.') + 1)},
  };
  for (const auto& r : refused) EXPECT_FALSE(signer.verify(r.name, r.value, kNow)) << r.what;
}

// A signed cookie counts for a bounded time: one without an expiry date
// for the configured age after it was written, one with an expiry date
// until then (and, when configured, no longer than the age for those).
TEST(ServeCookieSigning, OldCookiesAreRefused) {
  const CookieSigner capped("0123456789abcdef0123456789abcdef-test-secret", CookieAges{3600, 7 * kDay});
  const struct {
    const char* what;
    const CookieSigner& signer;
    std::time_t expires;  // 0: none
    std::time_t age;      // at verification
    bool counts;
  } cases[] = {
      {"no expiry, fresh", signer, 0, 0, true},
      {"no expiry, a day old", signer, 0, kDay, true},
      {"no expiry, older than a day", signer, 0, kDay + 1, false},
      {"no expiry, configured hour", capped, 0, 3601, false},
      {"31-day expiry, 30 days old", signer, kNow + 31 * kDay, 30 * kDay, true},
      {"31-day expiry, at its expiry", signer, kNow + 31 * kDay, 31 * kDay, false},
      {"31-day expiry, configured week", capped, kNow + 31 * kDay, 7 * kDay + 1, false},
      {"31-day expiry, within the week", capped, kNow + 31 * kDay, 7 * kDay, true},
      {"written already expired (a logout)", signer, kNow - kDay, 0, false},
  };
  for (const auto& c : cases) {
    const std::string value = c.signer.sign("kalimo", "userid=5", kNow, c.expires);
    EXPECT_EQ(c.signer.verify("kalimo", value, kNow + c.age).has_value(), c.counts) << c.what;
  }
}

TEST(ServeCookieSigning, RequestCookiesKeepOnlyVerifiedOnes) {
  const std::string header = "kalimo=" + signer.sign("kalimo", "nickname=%D1%DD%CA%BE&grade=3", kNow) +
                             "; zurva_admin=admin_name=root" +  // forged: no signature
                             "; ZURVASESSIONID=" + signer.sign("ZURVASESSIONID", "00ff", kNow) +
                             "; plain=" + signer.sign("plain", "%D6%B5+1", kNow) +
                             "; old=" + signer.sign("old", "1", kNow - 2 * kDay) +  // too old: ignored
                             "; kalimo=" + signer.sign("kalimo", "grade=10", kNow);  // a second one: ignored
  host::RequestCookies cookies;
  std::string session;
  readRequestCookies(header, signer, "ZURVASESSIONID", cookies, session, kNow);
  EXPECT_EQ(cookies.names(), (std::vector<std::string>{"kalimo", "plain"}));
  EXPECT_EQ(cookies("kalimo")("nickname").str(), "演示");
  EXPECT_EQ(cookies("KALIMO")("grade").str(), "3");
  EXPECT_EQ(cookies("plain")().str(), "值 1");
  EXPECT_FALSE(cookies.contains("zurva_admin"));
  EXPECT_TRUE(cookies("zurva_admin")("admin_name").isEmpty());
  EXPECT_EQ(session, "00ff");
}

// A thread keeps the cookies it verified last: reading them again gives the
// same, a cookie grown too old meanwhile is refused, and what one secret
// signed never counts under another.
TEST(ServeCookieSigning, CookiesReadAgainAreCheckedAgain) {
  const std::string header = "kalimo=" + signer.sign("kalimo", "nickname=%D1%DD%CA%BE&grade=3", kNow, kNow + kDay) +
                             "; ZURVASESSIONID=" + signer.sign("ZURVASESSIONID", "00ff", kNow);
  auto read = [&](const CookieSigner& by, std::time_t now) {
    host::RequestCookies cookies;
    std::string session;
    readRequestCookies(header, by, "ZURVASESSIONID", cookies, session, now);
    return std::pair{cookies, session};
  };
  for (int time = 0; time < 2; ++time) {
    const auto [cookies, session] = read(signer, kNow);
    EXPECT_EQ(cookies("kalimo")("nickname").str(), "演示");
    EXPECT_EQ(cookies("kalimo")("grade").str(), "3");
    EXPECT_EQ(session, "00ff");
  }
  const auto [expired, laterSession] = read(signer, kNow + kDay);
  EXPECT_FALSE(expired.contains("kalimo"));
  EXPECT_EQ(laterSession, "00ff");
  const auto [tooOld, oldSession] = read(signer, kNow + 2 * kDay);
  EXPECT_EQ(oldSession, "");
  for (int time = 0; time < 2; ++time) {
    const CookieSigner other("another secret, at least 32 characters");
    const auto [forged, forgedSession] = read(other, kNow);
    EXPECT_TRUE(forged.names().empty());
    EXPECT_EQ(forgedSession, "");
  }
}

TEST(ServeCookieSigning, CookieHeaderSplitting) {
  const auto pairs = splitCookieHeader(" a=1;b = 2 ;;c=\"q\"; novalue; d=x=y ");
  const std::vector<std::pair<std::string_view, std::string_view>> expected = {
      {"a", "1"}, {"b", "2"}, {"c", "q"}, {"d", "x=y"}};
  EXPECT_EQ(pairs, expected);
}

TEST(ServeCookieHeader, SetCookieCarriesSignatureAndAttributes) {
  host::ResponseCookie member("kalimo");
  member("userid") = "5";
  member("nickname") = "演示一号";
  member.Expires = Variant::date(toSerial(DateParts{2030, 4, 2, 3, 4, 5}));
  const std::string header = setCookieHeader(member, signer, kNow);
  const std::time_t expires = timeOfSerial(toSerial({2030, 4, 2, 3, 4, 5}));
  const std::string value = signer.sign("kalimo", "userid=5&nickname=%D1%DD%CA%BE%D2%BB%BA%C5", kNow, expires);
  EXPECT_EQ(header, "kalimo=" + value + "; expires=" + httpDate(expires) + "; path=/; HttpOnly; SameSite=Lax");
  // The expiry under the signature is the one the browser was told.
  const std::string sent = header.substr(7, header.find(';') - 7);
  EXPECT_TRUE(signer.verify("kalimo", sent, expires - 1));
  EXPECT_FALSE(signer.verify("kalimo", sent, expires));

  host::ResponseCookie plain("rupeni");
  plain = "x";
  plain.Path = "/bbs";
  plain.Domain = "example.com";
  EXPECT_EQ(setCookieHeader(plain, signer, kNow),
            "rupeni=" + signer.sign("rupeni", "x", kNow) + "; path=/bbs; domain=example.com; HttpOnly; SameSite=Lax");
  EXPECT_EQ(setCookieHeader(plain, signer, kNow, true),
            "rupeni=" + signer.sign("rupeni", "x", kNow) +
                "; path=/bbs; domain=example.com; Secure; HttpOnly; SameSite=Lax");

  host::ResponseCookie injected("c");
  injected = "1";
  injected.Path = "/; Secure=no";
  injected.Expires = "no date";
  EXPECT_EQ(setCookieHeader(injected, signer, kNow),
            "c=" + signer.sign("c", "1", kNow) + "; path=/; HttpOnly; SameSite=Lax");

  host::ResponseCookie badName("a b");
  badName = "1";
  EXPECT_EQ(setCookieHeader(badName, signer, kNow), "");

  EXPECT_EQ(sessionCookieHeader("ZURVASESSIONID", "abc", signer, kNow),
            "ZURVASESSIONID=" + signer.sign("ZURVASESSIONID", "abc", kNow) + "; path=/; HttpOnly; SameSite=Lax");
}

// The MAC is HMAC-SHA256 (RFC 4231, test case 2), whatever the key length.
TEST(ServeCookieSigning, MacIsHmacSha256) {
  unsigned char mac[32];
  HmacSha256("Jefe").mac({"what do ya want ", "for nothing?"}, mac);
  std::string hex;
  for (unsigned char b : mac) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
  EXPECT_EQ(hex, "5bdcc146bf60754e6a042426089575c75a003f089d2739839dec58b964ec3843");
  // Test case 6: a key longer than the block is hashed first.
  HmacSha256(std::string(131, '\xaa')).mac({"Test Using Larger Than Block-Size Key - Hash Key First"}, mac);
  hex.clear();
  for (unsigned char b : mac) hex += "0123456789abcdef"[b >> 4], hex += "0123456789abcdef"[b & 15];
  EXPECT_EQ(hex, "60e431591ee0b67f0d8a26aacbf5b77f8e0bc6213728c5140546040f0ee37f54");
}

TEST(ServeCookieHeader, HttpDates) {
  EXPECT_EQ(httpDate(0), "Thu, 01 Jan 1970 00:00:00 GMT");
  EXPECT_EQ(httpDate(1700000000), "Tue, 14 Nov 2023 22:13:20 GMT");
  // A local date and its moment agree with the C library's local time.
  const std::time_t t = timeOfSerial(toSerial(DateParts{2026, 7, 1, 12, 30, 0}));
  std::tm local{};
  localtime_r(&t, &local);
  EXPECT_EQ(local.tm_year + 1900, 2026);
  EXPECT_EQ(local.tm_hour, 12);
  EXPECT_EQ(local.tm_min, 30);
}

TEST(ServeCookieSecret, MadeOnceKeptPrivateAndReused) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("serve_secret_" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  const std::string file = (dir / "cookie.secret").string();
  const std::string first = loadOrCreateSecret(file);
  EXPECT_EQ(first.size(), 64u);
  EXPECT_EQ(first.find_first_not_of("0123456789abcdef"), std::string::npos);
  struct stat st {};
  ASSERT_EQ(::stat(file.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600);
  EXPECT_EQ(loadOrCreateSecret(file), first);

  std::ofstream(dir / "short.secret") << "too short\n";
  EXPECT_THROW(loadOrCreateSecret((dir / "short.secret").string()), std::runtime_error);
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace zurvafun::serve
