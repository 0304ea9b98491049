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
//
// TLS: with a TLS context the connection first completes the handshake (as
// its bytes arrive, like a request) and then reads and writes through it.
#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "host/serve/config.h"
#include "host/serve/form.h"
#include "host/serve/framing.h"

namespace zurvafun::serve {

class ConnectionStream final : public httplib::Stream {
 public:
  using Clock = std::chrono::steady_clock;

  // Takes over the socket `fd`, which the destructor closes; with `tls`
  // (not null) the client speaks TLS.
  ConnectionStream(int fd, const Limits& limits, SSL_CTX* tls = nullptr);
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
  // The status the request is refused with, 0 when it is served: see
  // Framing; 414 for a request line beyond the header bound, 400 for other
  // headers beyond it, a bare LF or a NUL in the header, or a client that
  // closed within it; 413 for a body beyond the bound or more name-value
  // pairs (query string and URL-encoded form together) than the pair bound.
  // A request refused before the HTTP layer reads it is answered by
  // writeRefusal().
  int refusal() const { return refusal_; }
  // The HTTP layer read the request's line and headers.
  bool parsed() const { return parsed_; }
  // The request line as it arrived (without its line end).
  std::string_view requestLine() const;
  // Writes the short answer of a refused request (see refusal()), with the
  // headers in `extraHeaders` (each line ending in CRLF); returns the bytes
  // of its body.
  std::size_t writeRefusal(std::string_view extraHeaders);
  // The client reached the server over TLS.
  bool secure() const { return ssl_ != nullptr; }
  const std::string& remoteIp() const { return remoteIp_; }
  // The length of the POST body that was taken in (decoded when chunked).
  std::uint64_t bodyLength() const { return bodyLength_; }
  // The connection is closed once the current response is sent.
  void closeAfterResponse() { closeAfter_ = true; }
  // Sends the collected output and then `more`; false when the connection
  // failed.
  bool flush(std::string_view more = {});
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
  // Counts the pairs of URL-encoded body bytes that arrived; refuses the
  // request once the pairs exceed the bound.
  void countBodyPairs(std::string_view bytes);
  // The socket or the TLS layer over it, without waiting: bytes moved, 0
  // when the client closed (reading), -1 when it would have to wait (then
  // wantWrite_ tells which way), -2 when the connection failed.
  ssize_t receiveSome(char* buffer, size_t size);
  ssize_t sendSome(const char* data, size_t size);
  // Sends some of `first` and then of `second`, on a plain socket in one call.
  ssize_t sendSome(std::string_view first, std::string_view second);
  // Completes the TLS handshake as far as the bytes allow; false while it goes on.
  bool handshake();
  // Waits until the socket can go on in the direction wantWrite_ names.
  bool awaitSocket(int milliseconds);

  int fd_;
  const Limits& limits_;
  SSL* ssl_ = nullptr;
  bool handshakeDone_ = false;
  bool wantWrite_ = false;
  std::string remoteIp_, localIp_;
  int remotePort_ = 0, localPort_ = 0;

  std::string in_;  // the current request (from 0) and what came after it
  Phase phase_ = Phase::Idle;
  size_t scanned_ = 0;    // Header: bytes searched for the blank line
  size_t headerEnd_ = 0;  // past the blank line
  size_t readLimit_ = 0;  // Complete: what the HTTP layer may read of in_
  size_t pos_ = 0;        // what the HTTP layer has read
  std::string rawHeader_, method_;
  PairCounter pairs_;         // of the query string, and of the body when formBody_
  bool formBody_ = false;     // the body is URL-encoded
  size_t bodyCounted_ = 0;    // Body: bytes of in_ past headerEnd_ counted
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
