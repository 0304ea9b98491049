#include "host/serve/config.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <stdexcept>

#include "runtime/text.h"

namespace zurvafun::serve {
namespace {

std::map<std::string, std::string> applicationOf(const ServeConfig& c) {
  std::map<std::string, std::string> out;
  for (const auto& [name, elements] : c.application) out[name] = elements.at(0);
  return out;
}

TEST(ServeConfig, KeysOverrideDefaults) {
  const ServeConfig c = parseConfig(R"({
    "_doc": "comments are keys starting with an underscore",
    "port": 0,
    "connection": {"SqlDatabaseName": "demo"},
    "sessions": {"idle_timeout_seconds": 1.5},
    "limits": {"max_body_bytes": 4096, "max_request_pairs": 20},
    "cookies": {"max_age_seconds": 3600, "max_age_with_expiry_seconds": 86400},
    "rate_limit": {"paths": ["/a.asp", "/b.asp"], "requests": 5, "per_seconds": 30},
    "access_log": "-",
    "tls": {"certificate": "cert.pem", "key": "key.pem"},
    "trusted_proxies": ["10.0.0.1"],
    "application": {
      "zurva_skinbase_info": [{"separator": "##", "fields": ["a", "b", "", 7, "1"]}, "second"],
      "plain": ["text"]
    },
    "self_test_pages": true
  })");
  EXPECT_EQ(c.port, 0);
  EXPECT_EQ(c.address, "127.0.0.1");
  EXPECT_EQ(c.SqlDatabaseName, "demo");
  EXPECT_EQ(c.SqlUserName, "zurva");
  EXPECT_DOUBLE_EQ(c.sessionIdleSeconds, 1.5);
  EXPECT_EQ(c.limits.maxBodyBytes, 4096u);
  EXPECT_EQ(c.limits.maxHeaderBytes, Limits().maxHeaderBytes);
  EXPECT_EQ(c.limits.maxRequestPairs, 20u);
  EXPECT_DOUBLE_EQ(c.cookieAges.withoutExpirySeconds, 3600);
  EXPECT_DOUBLE_EQ(c.cookieAges.withExpirySeconds, 86400);
  EXPECT_EQ(c.rateLimit.paths, (std::vector<std::string>{"/a.asp", "/b.asp"}));
  EXPECT_EQ(c.rateLimit.requests, 5);
  EXPECT_DOUBLE_EQ(c.rateLimit.perSeconds, 30);
  EXPECT_EQ(c.accessLog, "-");
  EXPECT_EQ(c.tlsCertificate, "cert.pem");
  EXPECT_EQ(c.tlsKey, "key.pem");
  EXPECT_EQ(c.trustedProxies, (std::vector<std::string>{"10.0.0.1"}));

  // The defaults: a day for cookies without expiry, both logins limited, no TLS, no log.
  const ServeConfig d = parseConfig("{}");
  EXPECT_DOUBLE_EQ(d.cookieAges.withoutExpirySeconds, 86400);
  EXPECT_DOUBLE_EQ(d.cookieAges.withExpirySeconds, 0);
  EXPECT_EQ(d.rateLimit.paths, (std::vector<std::string>{"/chklogin.asp", "/admin/login.asp"}));
  EXPECT_EQ(d.rateLimit.requests, 10);
  EXPECT_DOUBLE_EQ(d.rateLimit.perSeconds, 60);
  EXPECT_EQ(d.limits.maxRequestPairs, 1000u);
  EXPECT_TRUE(d.tlsCertificate.empty());
  EXPECT_TRUE(d.accessLog.empty());
  EXPECT_TRUE(c.selfTestPages);
  std::map<std::string, std::vector<std::string>> values(c.application.begin(), c.application.end());
  EXPECT_EQ(values.size(), 2u);
  EXPECT_EQ(values["zurva_skinbase_info"], (std::vector<std::string>{"a##b####7##1", "second"}));
  EXPECT_EQ(values["plain"], (std::vector<std::string>{"text"}));
}

TEST(ServeConfig, AdministratorLoginIsOffUnlessAPasswordIsSet) {
  const ServeConfig none = parseConfig("{}");
  EXPECT_EQ(none.adminName, "admin");
  EXPECT_EQ(none.adminPassword, "");
  const ServeConfig set = parseConfig(R"({"administrator": {"name": "boss", "password": "s3cret"}})");
  EXPECT_EQ(set.adminName, "boss");
  EXPECT_EQ(set.adminPassword, "s3cret");
  EXPECT_THROW(parseConfig(R"({"administrator": {"pass": "x"}})"), std::runtime_error);
}

TEST(ServeConfig, MistakesNameTheKey) {
  const struct {
    const char* json;
    const char* mentions;
  } cases[] = {
      {R"({"prot": 80})", "\"prot\": unknown key"},
      {R"({"limits": {"max_body": 1}})", "\"limits.max_body\": unknown key"},
      {R"({"port": "80"})", "\"port\": must be a whole number"},
      {R"({"port": 70000})", "\"port\": must lie between"},
      {R"({"connection": {"SqlPassword": 1}})", "\"connection.SqlPassword\": must be a text"},
      {R"({"application": {"zurva_info": "x"}})", "\"application.zurva_info\": must be an array"},
      {R"({"port": 1,})", "not valid JSON"},
      {R"({"tls": {"certificate": "c.pem"}})", "\"tls\": needs both"},
      {R"({"rate_limit": {"paths": "/a.asp"}})", "\"rate_limit.paths\": must be an array of texts"},
      {R"({"trusted_proxies": [1]})", "\"trusted_proxies\": must be an array of texts"},
      {R"({"limits": {"max_request_pairs": 0}})", "\"limits.max_request_pairs\": must lie between"},
      {R"({"sessions": {"store": "files"}})",
       "\"sessions.store\": must be \"memory\" or \"database\""},
  };
  for (const auto& c : cases) {
    try {
      parseConfig(c.json);
      ADD_FAILURE() << c.json << " was accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(c.mentions), std::string::npos) << e.what();
    }
  }
}

TEST(ServeConfig, SessionsStayInMemoryUnlessTheDatabaseIsNamed) {
  EXPECT_EQ(parseConfig("{}").sessionStore, ServeConfig::SessionStoreKind::Memory);
  EXPECT_EQ(parseConfig(R"({"sessions": {"store": "memory"}})").sessionStore,
            ServeConfig::SessionStoreKind::Memory);
  const ServeConfig c = parseConfig(R"({"sessions": {"store": "database", "max_sessions": 7}})");
  EXPECT_EQ(c.sessionStore, ServeConfig::SessionStoreKind::Database);
  EXPECT_EQ(c.maxSessions, 7u);
}

// Every server of a site reads the cookie secret and the administrator's
// login from one file; the file wins over the configuration, and a file that
// cannot serve stops the server with a message naming it.
TEST(ServeConfig, SecretsFileGivesTheSecretAndTheAdministrator) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("zurva-secrets-" + std::to_string(::getpid()));
  std::filesystem::create_directories(folder);
  const auto write = [&](const char* name, const char* text) {
    const std::string file = (folder / name).string();
    std::ofstream(file) << text;
    return file;
  };
  ServeConfig c =
      parseConfig(R"({"cookie_secret": "own", "administrator": {"name": "a", "password": "b"}})");
  c.secretsFile =
      write("full.json",
            R"({"cookie_secret": "shared", "administrator": {"name": "boss", "password": "pw"}})");
  applySecretsFile(c);
  EXPECT_EQ(c.cookieSecret, "shared");
  EXPECT_EQ(c.adminName, "boss");
  EXPECT_EQ(c.adminPassword, "pw");

  ServeConfig secretOnly = parseConfig(R"({"administrator": {"password": "kept"}})");
  secretOnly.secretsFile = write("secret.json", R"({"cookie_secret": "s"})");
  applySecretsFile(secretOnly);
  EXPECT_EQ(secretOnly.cookieSecret, "s");
  EXPECT_EQ(secretOnly.adminPassword, "kept");

  const struct {
    std::string file;
    const char* mentions;
  } cases[] = {
      {(folder / "missing.json").string(), "cannot read the secrets file"},
      {folder.string(), "the secrets file"},
      {write("empty.json", R"({"cookie_secret": ""})"), "\"cookie_secret\": must hold"},
      {write("none.json", R"({"administrator": {"name": "x"}})"), "\"cookie_secret\": must hold"},
      {write("typo.json", R"({"cookie_secret": "s", "cookie_secrte": "t"})"), "unknown key"},
      {write("broken.json", R"({"cookie_secret": )"), "not valid JSON"},
  };
  for (const auto& k : cases) {
    ServeConfig d;
    d.secretsFile = k.file;
    try {
      applySecretsFile(d);
      ADD_FAILURE() << k.file << " was accepted";
    } catch (const std::runtime_error& e) {
      EXPECT_NE(std::string(e.what()).find(k.mentions), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(k.file), std::string::npos) << e.what();
    }
  }
  std::filesystem::remove_all(folder);
}

// The shipped default: the values the component splits have the shape its
// methods read.
TEST(ServeConfig, DefaultFileHoldsWorkingSiteValues) {
  const ServeConfig c = loadConfig(ZURVA_SOURCE_DIR "/config/zurva-serve.json");
  EXPECT_EQ(c.address, "127.0.0.1");
  EXPECT_EQ(c.port, 8080);
  EXPECT_EQ(c.documentRoot, "site/www");
  EXPECT_EQ(c.SqlLocalName, "(local)");
  EXPECT_FALSE(c.selfTestPages);
  auto values = applicationOf(c);

  const std::vector<std::string> settings = Split(values["zurva_base_info"], "<><><><><>");
  ASSERT_GE(settings.size(), 26u);
  EXPECT_EQ(settings[25], "0");  // free access off
  EXPECT_TRUE(settings[24] == "0" || settings[24] == "1" || settings[24] == "2");

  const std::vector<std::string> words = Split(values["zurva_info"], "<><><><><>");
  ASSERT_GE(words.size(), 3u);
  for (const std::string& word : Split(words[1], ",")) {
    EXPECT_FALSE(word.empty()) << "an empty forbidden word refuses every value";
    EXPECT_EQ(word, LCase(word)) << "forbidden words are matched against lower-cased values";
  }

  const std::vector<std::string> skin = Split(values["zurva_skinbase_info"], "##");
  ASSERT_GE(skin.size(), 5u);
  EXPECT_EQ(skin[4], "1");

  const std::string& showcase = values["zurva_myshow"];
  ASSERT_EQ(showcase.front(), ',');
  const std::vector<std::string> entries = Split(showcase.substr(1), ",");
  EXPECT_GE(entries.size(), 4u);
  for (const std::string& entry : entries) {
    const std::vector<std::string> f = Split(entry, "@");
    ASSERT_EQ(f.size(), 11u) << entry;
    EXPECT_TRUE(f[1] == "576" || f[1] == "577") << entry;
    EXPECT_EQ(f[2].size(), 5u) << entry;  // "aa-bb"
    EXPECT_EQ(Split(f[3], "#").size(), 9u) << entry;
  }
}

}  // namespace
}  // namespace zurvafun::serve
