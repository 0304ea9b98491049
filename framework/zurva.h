// Class zurva: the server-side engine of the dating site. A page creates one
// instance per request (it takes the request context of the calling thread and
// filters the request's input), calls one or a few methods, and releases it.
//
// Every public method takes its arguments as variants; an argument the method
// writes back is a non-const reference. A method that ends the response raises
// the request-end error (RequestEndError), which every caller passes on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/host.h"
#include "runtime/variant.h"

namespace zurvafun {

namespace db {
class Connection;
}

class zurva {
 public:
  zurva();
  ~zurva();
  zurva(const zurva&) = delete;
  zurva& operator=(const zurva&) = delete;

  // Public table properties of the MD5 digest (31 entries each).
  std::vector<long> m_lOnBits;
  std::vector<long> m_l2Power;

  // ---------------------------------------------------------------- request framework: messages

  // ---------------------------------------------------------------- request framework: guards

  // ---------------------------------------------------------------- request framework: links and skins

  // ---------------------------------------------------------------- request framework: notices and utilities

  // ---------------------------------------------------------------- request framework: MD5

  // ---------------------------------------------------------------- request framework: login and ledger

  // ---------------------------------------------------------------- request framework: id encoding and small utilities

  // ---------------------------------------------------------------- helpers: text filters

  // ---------------------------------------------------------------- helpers: grades and formatting

  // ---------------------------------------------------------------- helpers: member display

  // ---------------------------------------------------------------- helpers: region menus

 private:
  friend struct ZurvaTestAccess;  // the tests reach the error modes through it

  // ---------------------------------------------------------------- request context and error modes
  void AspClassInit();
  void AspClassTerminate();

  // The request context of the calling thread (error 91 when there is none).
  host::Application& Application() const;
  host::Server& Server() const;
  host::Session& Session() const;
  host::Request& Request() const;
  host::Response& Response() const;

  // Every public method starts here: once the response has ended, the
  // instance does nothing more and raises the request-end error.
  void enter() const;

  // The logging handler: runs `body`; the request-end error goes on to the
  // caller, any other run-time error is logged under "\group, method: " and
  // the method returns normally with whatever result it had by then.
  template <class Body>
  void logged(const char* group, const char* method, Body&& body);

  // One step under continue-on-error: a failing step is skipped. The
  // request-end error (or a response ended by the step) stops the method.
  template <class Body>
  void resume(Body&& body);

  // Opens `conn` from the four connection parameters. On failure writes
  // "数据库连接出错，请检查连接字串。", ends the response and raises the
  // request-end error.
  void openConnection(db::Connection& conn, const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // The input filter run at creation; true when nothing was refused.
  Variant ChkSqlInput();

  // ---------------------------------------------------------------- private helpers of the subsystems
};

// Appends one line to the error log: local date and time, four blanks, the message.
void WriteLog(const std::string& message);
// The error log file: "zurvaLog.Log" in the folder of the component's library file.
std::string logFilePath();
// Puts the log elsewhere (tests running side by side); "" restores the default.
void setLogFilePath(std::string path);

}  // namespace zurvafun

#include "framework/error_modes.h"
