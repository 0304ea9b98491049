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

TEST(ServeCookieSigning, SignedTextVerifiesAndNothingElseDoes) {
  const std::string text = "userid=5&grade=3";
  const std::string value = signer.sign("kalimo", text);
  ASSERT_EQ(value.rfind(text + ".", 0), 0u);
  EXPECT_EQ(signer.verify("kalimo", value), std::optional<std::string_view>(text));

  std::string altered = value;
  altered[text.size() - 1] = '9';  // grade=9
  std::string badSignature = value;
  badSignature.back() = badSignature.back() == 'A' ? 'B' : 'A';
  const struct {
    const char* what;
    std::string name, value;
  } refused[] = {
      {"altered value", "kalimo", altered},
      {"altered signature", "kalimo", badSignature},
      {"moved to another cookie", "zurva_admin", value},
      {"unsigned", "kalimo", text},
      {"empty", "kalimo", ""},
      {"cut signature", "kalimo", value.substr(0, value.size() - 1)},
      {"other secret", "kalimo", CookieSigner("another secret, 32 characters long").sign("kalimo", text)},
  };
  for (const auto& r : refused) EXPECT_FALSE(signer.verify(r.name, r.value)) << r.what;
}

TEST(ServeCookieSigning, RequestCookiesKeepOnlyVerifiedOnes) {
  const std::string header = "kalimo=" + signer.sign("kalimo", "nickname=%D1%DD%CA%BE&grade=3") +
                             "; zurva_admin=admin_name=root" +  // forged: no signature
                             "; ZURVASESSIONID=" + signer.sign("ZURVASESSIONID", "00ff") +
                             "; plain=" + signer.sign("plain", "%D6%B5+1") +
                             "; kalimo=" + signer.sign("kalimo", "grade=10");  // a second one: ignored
  host::RequestCookies cookies;
  std::string session;
  readRequestCookies(header, signer, "ZURVASESSIONID", cookies, session);
  EXPECT_EQ(cookies.names(), (std::vector<std::string>{"kalimo", "plain"}));
  EXPECT_EQ(cookies("kalimo")("nickname").str(), "演示");
  EXPECT_EQ(cookies("KALIMO")("grade").str(), "3");
  EXPECT_EQ(cookies("plain")().str(), "值 1");
  EXPECT_FALSE(cookies.contains("zurva_admin"));
  EXPECT_TRUE(cookies("zurva_admin")("admin_name").isEmpty());
  EXPECT_EQ(session, "00ff");
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
  member.Expires = Variant::date(toSerial(DateParts{2030, 1, 2, 3, 4, 5}));
  const std::string header = setCookieHeader(member, signer);
  const std::string value = signer.sign("kalimo", "userid=5&nickname=%D1%DD%CA%BE%D2%BB%BA%C5");
  EXPECT_EQ(header, "kalimo=" + value + "; expires=" + httpDate(timeOfSerial(toSerial({2030, 1, 2, 3, 4, 5}))) +
                        "; path=/; HttpOnly; SameSite=Lax");

  host::ResponseCookie plain("rupeni");
  plain = "x";
  plain.Path = "/bbs";
  plain.Domain = "example.com";
  EXPECT_EQ(setCookieHeader(plain, signer),
            "rupeni=" + signer.sign("rupeni", "x") + "; path=/bbs; domain=example.com; HttpOnly; SameSite=Lax");

  host::ResponseCookie injected("c");
  injected = "1";
  injected.Path = "/; Secure=no";
  injected.Expires = "no date";
  EXPECT_EQ(setCookieHeader(injected, signer), "c=" + signer.sign("c", "1") + "; path=/; HttpOnly; SameSite=Lax");

  host::ResponseCookie badName("a b");
  badName = "1";
  EXPECT_EQ(setCookieHeader(badName, signer), "");

  EXPECT_EQ(sessionCookieHeader("ZURVASESSIONID", "abc", signer),
            "ZURVASESSIONID=" + signer.sign("ZURVASESSIONID", "abc") + "; path=/; HttpOnly; SameSite=Lax");
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
