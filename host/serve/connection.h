// One client connection as the HTTP layer reads and writes it, with the
// host's bounds.
//
// A request is taken in whole before it is served: its line and headers
// (at most the header bound), and for a POST its body (at most the body
// bound; a chunked body is decoded as it arrives), framed as framingOf()
// decides. Taking it in needs no worker thread: receive() reads what has
// arrived without waiting, so a connection whose request is still on its
// way can wait outside the workers (see host/serve/workers.h). The HTTP
// layer then reads the request from memory and can read nothing beyond it.
//
// Timing: an idle connection is closed after the keep-alive timeout; once
// the first byte of a request is in, the whole request must arrive within
// the request timeout and no wait for the next bytes may exceed the read
// timeout, so a client that trickles bytes is cut off.
//
// Output is collected and sent in one piece when a response is complete.
#pragma once

#include <httplib.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "host/serve/config.h"
#include "host/serve/framing.h"

namespace zurvafun::serve {

class ConnectionStream final : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  // Takes over the socket `fd`, which the destructor closes.
  ConnectionStream(int fd, const Limits& limits);
  ~ConnectionStream() override;
  ConnectionStream(const ConnectionStream&) = delete;
  ConnectionStream& operator=(const ConnectionStream&) = delete;

  // ------------------------------------------------------------ between requests
  // Takes in what has arrived, without waiting; true once the next request
  // is in whole, or never will be (the client closed, a bound was hit), so
  // that a worker is to take the connection.
  bool receive();
  // The client closed and nothing of a request is left to serve.
  bool ended() const;
  // When the connection is given up if the request has not arrived by then.
  Clock::time_point waitLimit() const;

  enum class Await { Ready, Park, Close };
  // Waits in a worker for the next request: Ready once it is in; Park when
  // it is not in within a short grace while `othersWaiting()` (the worker is
  // wanted elsewhere; `wakeFd` turns readable then); Close at the wait limit,
  // when the client closed, or when `stopping()`.
  Await awaitRequest(int wakeFd, const std::function<bool()>& stopping, const std::function<bool()>& othersWaiting);

  // ------------------------------------------------------------ the request being served
  // The request to serve is the last one the connection takes.
  bool lastRequest() const { return served_ + 1 >= limits_.keepAliveMaxRequests; }
  // The HTTP layer has read the request line and headers; `method` as it read them.
  void headersRead(const std::string& method);
  // The request's line and headers exactly as they arrived. (The HTTP layer
  // percent-decodes header values, which would garble cookies whose values
  // are escaped; the host reads those from here.)
  const std::string& rawHeader() const { return rawHeader_; }
  // The status the request is refused with (see Framing; 413 for a body
  // beyond the bound), 0 when it is served.
  int refusal() const { return refusal_; }
  // The length of the POST body that was taken in (decoded when chunked).
  std::uint64_t bodyLength() const { return bodyLength_; }
  // The connection is closed once the current response is sent.
  void closeAfterResponse() { closeAfter_ = true; }
  // Sends the collected output; false when the connection failed.
  bool flush();
  // The response is sent: readies the connection for the next request, or
  // false when it is to close.
  bool finishRequest();

  // ------------------------------------------------------------ closing
  // The client may still be sending what the host left unread (a refused
  // body, a request that could not be read): closing now would reset the
  // connection and could destroy the answer before the client reads it.
  bool shouldLinger() const;
  // Stops sending; what arrives from now on is read and dropped (drain())
  // until the client closes or the wait limit passes.
  void startLinger();
  bool lingering() const { return lingering_; }
  // Drops what has arrived; true once the client has closed.
  bool drain();

  // httplib::Stream
  bool is_readable() const override { return phase_ == Phase::Complete && pos_ < readLimit_; }
  bool is_writable() const override { return !failed_; }
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return fd_; }

 private:
  enum class Phase { Idle, Header, Body, Chunked, Complete };
  // Reads the request as far as the bytes in `in_` go.
  void advance();
  void readHeader();
  void complete(size_t end);
  void refuse(int status);
  void sendContinue();

  int fd_;
  const Limits& limits_;
  std::string remoteIp_, localIp_;
  int remotePort_ = 0, localPort_ = 0;

  std::string in_;  // the current request (from 0) and what came after it
  Phase phase_ = Phase::Idle;
  size_t scanned_ = 0;    // Header: bytes searched for the blank line
  size_t headerEnd_ = 0;  // past the blank line
  size_t readLimit_ = 0;  // Complete: what the HTTP layer may read of in_
  size_t pos_ = 0;        // what the HTTP layer has read
  bool truncated_ = false;  // the header hit its bound or the client closed within it
  std::string rawHeader_, method_;
  int refusal_ = 0;
  std::uint64_t bodyLength_ = 0;
  std::optional<ChunkedDecoder> chunked_;
  std::string decoded_;  // Chunked: the data so far
  bool expectsContinue_ = false, continueSent_ = false;
  bool parsed_ = false;      // the HTTP layer read the line and headers
  bool closeAfter_ = false;  // the connection closes after this response
  int served_ = 0;

  Clock::time_point idleSince_, requestStart_, lastByte_;
  bool peerClosed_ = false;  // the client closed or the connection broke
  bool failed_ = false;      // sending failed: nothing more is sent
  bool lingering_ = false;
  std::string out_;
};

}  // namespace zurvafun::serve
