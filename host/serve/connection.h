// One client connection as the HTTP layer reads and writes it, with the
// host's bounds: the request line and headers may not exceed their size, the
// whole request must arrive within the request timeout (so a client that
// trickles bytes is cut off), every wait for the next bytes is bounded, and
// an idle connection is closed after the keep-alive timeout.
//
// The request line and headers are kept as they arrived (see rawHeader()).
// Output is collected and sent in one piece before the stream next waits for
// input and when a response is complete, so a small response leaves in one
// packet.
#pragma once

#include <httplib.h>

#include <chrono>
#include <functional>
#include <string>

#include "host/serve/config.h"

namespace zurvafun::serve {

class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int fd, const Limits& limits);

  // Waits for the first bytes of the next request: false when the connection
  // stays idle for the keep-alive timeout or `stopping()` turns true.
  bool waitForRequest(const std::function<bool()>& stopping);
  // Starts a request: the header bound and the request deadline apply.
  void beginRequest();
  // The request line and headers are in; the body follows.
  void headersRead() { readingHeaders_ = false; }
  // The current request's line and headers exactly as they arrived. (The
  // HTTP layer percent-decodes header values, which would garble cookies
  // whose values are escaped; the host reads those from here.)
  const std::string& rawHeader() const { return rawHeader_; }
  // Sends the collected output; false when the connection failed.
  bool flush();
  // The connection is closed once the current response is sent (its
  // request's body was left unread).
  void closeAfterResponse() { closeAfterResponse_ = true; }
  bool closing() const { return closeAfterResponse_ || readFailed_ || failed_; }

  // httplib::Stream
  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return fd_; }

 private:
  using Clock = std::chrono::steady_clock;
  // Waits until the socket is ready for `events`, at most `timeout` and not
  // past the request deadline when `deadlineBound`.
  bool waitFor(short events, Clock::duration timeout, bool deadlineBound) const;

  int fd_;
  const Limits& limits_;
  std::string remoteIp_, localIp_;
  int remotePort_ = 0, localPort_ = 0;

  char in_[16 * 1024];
  size_t inPos_ = 0, inEnd_ = 0;
  std::string out_;

  bool readingHeaders_ = true;
  std::string rawHeader_;
  Clock::time_point deadline_;
  bool closeAfterResponse_ = false;
  bool readFailed_ = false;  // a read timed out or hit a bound: answer, then close
  bool failed_ = false;      // the connection is broken: nothing more is sent
};

}  // namespace zurvafun::serve
