// The access log: one line per request in the common log format,
//   127.0.0.1 - - [10/Oct/2026:13:55:36 +0800] "GET /index.asp HTTP/1.1" 200 2326
// (client address, the request line as it arrived with quotes, backslashes
// and control characters escaped, the status, and the bytes of the body sent,
// "-" for none), written to a file or to standard error.
#pragma once

#include <cstddef>
#include <ctime>
#include <string>
#include <string_view>

namespace zurvafun::serve {

class AccessLog {
 public:
  // `target`: "" writes nothing, "-" standard error, anything else a file
  // that lines are appended to (made when missing). Throws
  // std::runtime_error when the file cannot be opened.
  explicit AccessLog(const std::string& target);
  ~AccessLog();
  AccessLog(const AccessLog&) = delete;
  AccessLog& operator=(const AccessLog&) = delete;

  bool enabled() const { return fd_ >= 0; }
  // Writes one line (from any thread: each line is written whole).
  void write(std::string_view client, std::string_view requestLine, int status, std::size_t bytes,
             std::time_t when = std::time(nullptr)) const;

  // The line itself, with its line end.
  static std::string line(std::string_view client, std::string_view requestLine, int status, std::size_t bytes,
                          std::time_t when);

 private:
  int fd_ = -1;
  bool owned_ = false;
};

}  // namespace zurvafun::serve
