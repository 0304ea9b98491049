// The rate limit of named pages and the access log's lines.
#include <gtest/gtest.h>

#include <cstdlib>

#include "host/serve/access_log.h"
#include "host/serve/rate_limit.h"

namespace zurvafun::serve {
namespace {

using namespace std::chrono_literals;

TEST(ServeRateLimit, EachAddressHasItsOwnBudgetThatRefills) {
  RateLimiter limiter(RateLimit{{"/chklogin.asp"}, 3, 60});
  EXPECT_TRUE(limiter.covers("/chklogin.asp"));
  EXPECT_TRUE(limiter.covers("/ChkLogin.ASP"));
  EXPECT_FALSE(limiter.covers("/login.asp"));

  const auto t0 = RateLimiter::Clock::time_point() + 1h;
  for (int i = 0; i < 3; ++i) EXPECT_EQ(limiter.take("10.0.0.1", t0), 0) << i;
  EXPECT_EQ(limiter.take("10.0.0.1", t0), 20);            // one request back every 20 s
  EXPECT_EQ(limiter.take("10.0.0.2", t0), 0);             // another address
  EXPECT_EQ(limiter.take("10.0.0.1", t0 + 19s), 1);       // not yet
  EXPECT_EQ(limiter.take("10.0.0.1", t0 + 21s), 0);       // one regained
  EXPECT_GT(limiter.take("10.0.0.1", t0 + 21s), 0);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(limiter.take("10.0.0.1", t0 + 200s), 0) << i;  // full again, no more
  EXPECT_GT(limiter.take("10.0.0.1", t0 + 200s), 0);

  EXPECT_FALSE(RateLimiter(RateLimit{{}, 3, 60}).covers("/chklogin.asp"));
}

// The table of addresses stays bounded, and a busy address keeps its count
// while idle ones are forgotten.
TEST(ServeRateLimit, TrackedAddressesStayBounded) {
  RateLimiter limiter(RateLimit{{"/a"}, 2, 60}, 4);
  const auto t0 = RateLimiter::Clock::time_point() + 1h;
  EXPECT_EQ(limiter.take("busy", t0), 0);
  EXPECT_EQ(limiter.take("busy", t0), 0);
  for (int i = 0; i < 100; ++i) limiter.take("idle" + std::to_string(i), t0 - 1h + std::chrono::seconds(i));
  EXPECT_GT(limiter.take("busy", t0 + 1s), 0);
}

TEST(ServeAccessLog, CommonLogFormatLines) {
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  EXPECT_EQ(AccessLog::line("127.0.0.1", "GET /index.asp?a=1 HTTP/1.1", 200, 2326, 1700000000),
            "127.0.0.1 - - [14/Nov/2023:22:13:20 +0000] \"GET /index.asp?a=1 HTTP/1.1\" 200 2326\n");
  EXPECT_EQ(AccessLog::line("::1", "GET /\"a\\b\x01\n HTTP/1.1", 404, 0, 1700000000),
            "::1 - - [14/Nov/2023:22:13:20 +0000] \"GET /\\\"a\\\\b\\x01\\x0A HTTP/1.1\" 404 -\n");
  EXPECT_EQ(AccessLog::line("", "", 400, 16, 1700000000), "- - - [14/Nov/2023:22:13:20 +0000] \"\" 400 16\n");
  const std::string longLine = AccessLog::line("1.2.3.4", "GET /" + std::string(10000, 'a'), 414, 10, 1700000000);
  EXPECT_LT(longLine.size(), 2200u);
  EXPECT_NE(longLine.find("aaa...\" 414 10\n"), std::string::npos);
  EXPECT_THROW(AccessLog("/nonexistent-folder/access.log"), std::runtime_error);
}

}  // namespace
}  // namespace zurvafun::serve
