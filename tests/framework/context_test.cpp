#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "tests/framework/scoped_log.h"
#include "tests/support_db.h"

namespace zurvafun {

// Reaches the private error modes of class zurva.
struct ZurvaTestAccess {
  template <class Body>
  static auto logged(zurva& z, LogTag tag, Body&& body) {
    return z.logged(std::forward<Body>(body), MethodTag(tag));
  }
  template <class Body>
  static auto untrapped(zurva& z, Body&& body) {
    return z.untrapped(std::forward<Body>(body));
  }
  template <class Body>
  static void trapOff(zurva& z, Body&& body) {
    z.trapOff(std::forward<Body>(body));
  }
  template <class Body>
  static void resume(zurva& z, Body&& body) {
    z.resume(std::forward<Body>(body));
  }
  static host::Response& response(zurva& z) { return z.Response(); }
  // The three ways of opening the database, with the test database's other
  // parameters.
  using Db = testing::TestDatabase;
  static void open(zurva& z, db::Connection& conn, const char* password) {
    z.open(conn, Db::kServer, Db::kUser, password, Db::kDatabase);
  }
  static bool openOrReturn(zurva& z, db::Connection& conn, const char* password) {
    return z.openOrReturn(conn, Db::kServer, Db::kUser, password, Db::kDatabase);
  }
  static bool openOrAnswer(zurva& z, db::Connection& conn, Variant& result, const char* password) {
    return z.openOrAnswer(conn, result, Db::kServer, Db::kUser, password, Db::kDatabase);
  }
};

namespace {

class ContextTest : public ::testing::Test {
 protected:
  void SetUp() override { setClock([] { return toSerial({2026, 12, 10, 9, 5, 7}); }); }
  void TearDown() override { setClock({}); }
  std::string readLog() const { return log_.text(); }

  ScopedLog log_{"context"};
};

TEST_F(ContextTest, LoggingHandlerWritesOneLineAndReturnsNormally) {
  host::TestHost h;
  zurva z;
  Variant result = "before";
  ZurvaTestAccess::logged(z, logTagOf("dj"), [&] {
    result = Variant(1) / Variant(0);
    result = "after";
  });
  EXPECT_EQ(result.str(), "before");
  EXPECT_EQ(readLog(), "2026-12-10 09:05:07    \\1, dj: 除数为零\r\n");
}

TEST_F(ContextTest, RequestEndPassesThroughUnlogged) {
  host::TestHost h;
  zurva z;
  bool ranOn = false;
  EXPECT_THROW(ZurvaTestAccess::logged(z, logTagOf("Msg"),
                                       [&] {
                                         h.response().End();
                                         raiseRequestEnd();
                                         ranOn = true;
                                       }),
               VbError);
  EXPECT_FALSE(ranOn);
  EXPECT_FALSE(std::filesystem::exists(logFilePath()));
  // Once the response has ended, every method raises the request-end error at once.
  bool entered = false;
  try {
    ZurvaTestAccess::logged(z, logTagOf("dj"), [&] { entered = true; });
    FAIL();
  } catch (const VbError& e) {
    EXPECT_TRUE(e.isRequestEnd());
  }
  EXPECT_FALSE(entered);
}

TEST_F(ContextTest, ContinueOnErrorSkipsAStepButStopsAtTheRequestEnd) {
  host::TestHost h;
  zurva z;
  int steps = 0;
  ZurvaTestAccess::resume(z, [&] { raise(13); });
  ZurvaTestAccess::resume(z, [&] { ++steps; });
  EXPECT_EQ(steps, 1);
  EXPECT_THROW(ZurvaTestAccess::resume(z, [&] { h.response().End(); }), VbError);
}

TEST_F(ContextTest, TheWrapperOwnsTheResult) {
  host::TestHost h;
  zurva z;
  // A logged failure returns the result as it stood.
  Variant result = ZurvaTestAccess::logged(z, logTagOf("dj"), [](Variant& r) {
    r = "half";
    raise(11);
  });
  EXPECT_EQ(result.str(), "half");
  // A body that returns its value hands it back, Empty when it failed.
  EXPECT_EQ(ZurvaTestAccess::logged(z, logTagOf("dj"), [] { return Variant(5); }).str(), "5");
  EXPECT_TRUE(ZurvaTestAccess::logged(z, logTagOf("dj"), []() -> Variant { raise(11); }).isEmpty());
  EXPECT_EQ(ZurvaTestAccess::untrapped(z, [](Variant& r) { r = 7; }).str(), "7");
}

TEST_F(ContextTest, TrapOffSendsTheRestOfALoggedMethodsErrorsToTheCaller) {
  host::TestHost h;
  zurva z;
  bool setUpRan = false;
  try {
    ZurvaTestAccess::logged(z, logTagOf("memberinfo"), [&] {
      setUpRan = true;
      ZurvaTestAccess::trapOff(z, [] { raise(13); });
    });
    ADD_FAILURE() << "the error did not reach the caller";
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 13);
  }
  EXPECT_TRUE(setUpRan);
  EXPECT_EQ(readLog(), "");  // unlogged
  // Before the trap is turned off, the method's handler logs.
  ZurvaTestAccess::logged(z, logTagOf("memberinfo"), [] { raise(13); });
  EXPECT_EQ(readLog(), "2026-12-10 09:05:07    \\temp, memberinfo: 类型不匹配\r\n");
  // An untrapped method passes its errors on as they are.
  EXPECT_THROW(ZurvaTestAccess::untrapped(z, [&] { ZurvaTestAccess::trapOff(z, [] { raise(9); }); }),
               VbError);
}

TEST_F(ContextTest, UnwritableLogLosesTheLineSilently) {
  std::filesystem::create_directory(logFilePath());  // a folder where the file should be
  host::TestHost h;
  zurva z;
  EXPECT_NO_THROW(ZurvaTestAccess::logged(z, logTagOf("dj"), [] { raise(11); }));
  std::filesystem::remove(logFilePath());
}

TEST_F(ContextTest, InstancesOnOneThreadShareOneRequestContext) {
  host::TestHost h;
  auto first = std::make_unique<zurva>();
  zurva second;
  EXPECT_EQ(&ZurvaTestAccess::response(second), &h.response());
  first.reset();  // releasing either instance clears the context for both
  try {
    ZurvaTestAccess::response(second);
    FAIL();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 91);
  }
}

TEST_F(ContextTest, CreationOutsideAHostSucceeds) {
  zurva z;
  EXPECT_EQ(z.m_lOnBits.size(), 31u);
  EXPECT_EQ(z.m_l2Power.size(), 31u);
  EXPECT_THROW(ZurvaTestAccess::response(z), VbError);
}

// A database that cannot be opened ends the response; each way of opening
// answers it in its own way.
struct OpenRoutine {
  const char* name;
  std::function<bool(zurva&, db::Connection&, Variant& result, const char* password)> open;
  const char* body;    // what the failure leaves in the response
  const char* result;  // and in the method's result
  bool stops;          // the method stops with the request-end error
};

constexpr const char* kConnectionError = "SQL数据库连接出错，请检查连接字串。";

const OpenRoutine kOpenRoutines[] = {
    {"open",
     [](zurva& z, db::Connection& conn, Variant&, const char* password) {
       ZurvaTestAccess::open(z, conn, password);
       return true;
     },
     kConnectionError, "", true},
    {"openOrReturn",
     [](zurva& z, db::Connection& conn, Variant&, const char* password) {
       return ZurvaTestAccess::openOrReturn(z, conn, password);
     },
     kConnectionError, "", false},
    {"openOrAnswer",
     [](zurva& z, db::Connection& conn, Variant& result, const char* password) {
       return ZurvaTestAccess::openOrAnswer(z, conn, result, password);
     },
     "", kConnectionError, false},
};

// What one open left behind.
struct Opened {
  bool returned = false;  // what the routine returned
  bool stopped = false;   // it raised the request-end error
  bool ended = false;     // the response has ended
  std::string body, result;
  int state = db::adStateClosed;
};

Opened attempt(const OpenRoutine& routine, const char* password) {
  host::TestHost h;
  zurva z;
  db::Connection conn;
  Variant result = "";
  Opened opened;
  try {
    opened.returned = routine.open(z, conn, result, password);
  } catch (const VbError& e) {
    if (!e.isRequestEnd()) throw;
    opened.stopped = true;
  }
  opened.ended = h.response().ended();
  opened.body = h.response().body();
  opened.result = result.str();
  opened.state = conn.State();
  return opened;
}

TEST(DatabaseOpenTest, AFailedOpenEndsTheResponseAndIsAnsweredAsTheRoutineSays) {
  testing::TestDatabase database;
  for (const OpenRoutine& routine : kOpenRoutines) {
    const Opened failed = attempt(routine, "wrong");
    EXPECT_EQ(failed.stopped, routine.stops) << routine.name;
    EXPECT_TRUE(routine.stops || !failed.returned) << routine.name;
    EXPECT_TRUE(failed.ended) << routine.name;
    EXPECT_EQ(failed.body, routine.body) << routine.name;
    EXPECT_EQ(failed.result, routine.result) << routine.name;
    EXPECT_EQ(failed.state, db::adStateClosed) << routine.name;

    const Opened opened = attempt(routine, testing::TestDatabase::kPassword);
    EXPECT_TRUE(opened.returned) << routine.name;
    EXPECT_EQ(opened.state, db::adStateOpen) << routine.name;
    EXPECT_FALSE(opened.ended) << routine.name;
    EXPECT_EQ(opened.body, "") << routine.name;
    EXPECT_EQ(opened.result, "") << routine.name;
  }
}

}  // namespace
}  // namespace zurvafun
