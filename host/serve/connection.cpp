#include "host/serve/connection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

#include <openssl/err.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "host/collection.h"

namespace zurvafun::serve {

namespace {

void addressOf(const sockaddr_storage& address, std::string& ip, int& port) {
  char text[INET6_ADDRSTRLEN] = "";
  if (address.ss_family == AF_INET) {
    const auto& a = reinterpret_cast<const sockaddr_in&>(address);
    inet_ntop(AF_INET, &a.sin_addr, text, sizeof text);
    port = ntohs(a.sin_port);
  } else if (address.ss_family == AF_INET6) {
    const auto& a = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &a.sin6_addr, text, sizeof text);
    port = ntohs(a.sin6_port);
  }
  ip = text;
}

constexpr size_t kOutputChunk = 64 * 1024;  // collected output beyond this is sent at once
// What a connection keeps of its buffers between requests: an upload or a
// large answer gives back what it grew them to.
constexpr size_t kKeptBuffer = 64 * 1024;
constexpr size_t kReceiveChunk = 16 * 1024;
constexpr int kDrainReads = 64;  // reads of one drain() call, so that a flood cannot hold it
// How long a worker goes on waiting for its connection's next request while
// other connections wait for a worker: a client that sends its next request
// at once keeps the worker, without a round through the waiting room.
constexpr auto kParkingGrace = std::chrono::milliseconds(5);

// The method of a request line: its first word, as the HTTP layer splits it.
std::string methodOf(std::string_view requestLine) {
  const size_t first = requestLine.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  requestLine.remove_prefix(first);
  return std::string(requestLine.substr(0, requestLine.find(' ')));
}

// The query string of a request line "METHOD target VERSION".
std::string_view queryOf(std::string_view requestLine) {
  const size_t space = requestLine.find(' ');
  if (space == std::string_view::npos) return {};
  std::string_view target = requestLine.substr(space + 1);
  target = target.substr(0, target.find(' '));
  const size_t mark = target.find('?');
  return mark == std::string_view::npos ? std::string_view() : target.substr(mark + 1);
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && host::sameKey(s.substr(0, prefix.size()), prefix);
}

std::string_view reasonOf(int status) {
  switch (status) {
    case 413: return "Request Entity Too Large";
    case 414: return "Request-URI Too Long";
    case 501: return "Not Implemented";
    default: return "Bad Request";
  }
}

}  // namespace

ConnectionStream::ConnectionStream(int fd, const Limits& limits, SSL_CTX* tls)
    : fd_(fd), limits_(limits), idleSince_(Clock::now()) {
  fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
  const int on = 1;
  setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    addressOf(address, remoteIp_, remotePort_);
  length = sizeof address;
  if (getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0)
    addressOf(address, localIp_, localPort_);
  if (tls) {
    ssl_ = SSL_new(tls);
    if (ssl_ && SSL_set_fd(ssl_, fd_) == 1) SSL_set_accept_state(ssl_);
    else peerClosed_ = true;  // (memory ran out) the connection closes at once
  }
}

ConnectionStream::~ConnectionStream() {
  if (ssl_) SSL_free(ssl_);
  ::close(fd_);
}

// ------------------------------------------------------------------ the socket, or TLS over it

ssize_t ConnectionStream::receiveSome(char* buffer, size_t size) {
  if (!ssl_) {
    for (;;) {
      const ssize_t n = ::recv(fd_, buffer, size, 0);
      if (n >= 0) return n;
      if (errno == EINTR) continue;
      wantWrite_ = false;
      return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : -2;
    }
  }
  if (!handshakeDone_ && !handshake()) return peerClosed_ ? -2 : -1;
  ERR_clear_error();
  const int n = SSL_read(ssl_, buffer, static_cast<int>(std::min<size_t>(size, 1 << 30)));
  if (n > 0) return n;
  switch (SSL_get_error(ssl_, n)) {
    case SSL_ERROR_WANT_READ: wantWrite_ = false; return -1;
    case SSL_ERROR_WANT_WRITE: wantWrite_ = true; return -1;
    case SSL_ERROR_ZERO_RETURN: return 0;
    default: return -2;
  }
}

ssize_t ConnectionStream::sendSome(std::string_view first, std::string_view second) {
  if (ssl_ || second.empty()) return sendSome(first.data(), first.size());
  iovec pieces[2] = {{const_cast<char*>(first.data()), first.size()},
                     {const_cast<char*>(second.data()), second.size()}};
  msghdr message{};
  message.msg_iov = pieces;
  message.msg_iovlen = 2;
  for (;;) {
    const ssize_t n = ::sendmsg(fd_, &message, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (n >= 0) return n;
    if (errno == EINTR) continue;
    wantWrite_ = true;
    return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : -2;
  }
}

ssize_t ConnectionStream::sendSome(const char* data, size_t size) {
  if (!ssl_) {
    for (;;) {
      const ssize_t n = ::send(fd_, data, size, MSG_NOSIGNAL | MSG_DONTWAIT);
      if (n >= 0) return n;
      if (errno == EINTR) continue;
      wantWrite_ = true;
      return errno == EAGAIN || errno == EWOULDBLOCK ? -1 : -2;
    }
  }
  if (!handshakeDone_) return -2;
  ERR_clear_error();
  const int n = SSL_write(ssl_, data, static_cast<int>(std::min<size_t>(size, 1 << 30)));
  if (n > 0) return n;
  switch (SSL_get_error(ssl_, n)) {
    case SSL_ERROR_WANT_READ: wantWrite_ = false; return -1;
    case SSL_ERROR_WANT_WRITE: wantWrite_ = true; return -1;
    default: return -2;
  }
}

bool ConnectionStream::handshake() {
  for (;;) {
    ERR_clear_error();
    const int r = SSL_do_handshake(ssl_);
    if (r == 1) {
      handshakeDone_ = true;
      return true;
    }
    switch (SSL_get_error(ssl_, r)) {
      case SSL_ERROR_WANT_READ: return false;
      case SSL_ERROR_WANT_WRITE:
        // The handshake's answer did not fit into the socket's buffer at once.
        wantWrite_ = true;
        if (awaitSocket(limits_.writeTimeoutSeconds * 1000)) continue;
        [[fallthrough]];
      default:
        peerClosed_ = true;  // not a TLS client, or it gave up
        return false;
    }
  }
}

bool ConnectionStream::awaitSocket(int milliseconds) {
  pollfd p{fd_, static_cast<short>(wantWrite_ ? POLLOUT : POLLIN), 0};
  for (;;) {
    const int r = ::poll(&p, 1, milliseconds);
    if (r > 0) return true;
    if (r == 0 || errno != EINTR) return false;
  }
}

// ------------------------------------------------------------------ taking a request in

bool ConnectionStream::receive() {
  char chunk[kReceiveChunk];
  while (phase_ != Phase::Complete && !peerClosed_) {
    const ssize_t n = receiveSome(chunk, sizeof chunk);
    if (n > 0) {
      in_.append(chunk, static_cast<size_t>(n));
      lastByte_ = Clock::now();
      advance();
    } else if (n == -1) {
      break;
    } else {
      peerClosed_ = true;  // closed by the client, or broken
    }
  }
  advance();  // what came with the last request, or the client's close
  return phase_ == Phase::Complete || ended();
}

bool ConnectionStream::ended() const { return peerClosed_ && phase_ == Phase::Idle && in_.empty(); }

ConnectionStream::Clock::time_point ConnectionStream::waitLimit() const {
  if (phase_ == Phase::Idle && !lingering_) return idleSince_ + std::chrono::seconds(limits_.keepAliveTimeoutSeconds);
  return std::min(requestStart_ + std::chrono::seconds(limits_.requestTimeoutSeconds),
                  lastByte_ + std::chrono::seconds(limits_.readTimeoutSeconds));
}

ConnectionStream::Await ConnectionStream::awaitRequest(int wakeFd, const std::function<bool()>& stopping,
                                                       const std::function<bool()>& othersWaiting) {
  const auto parkAt = Clock::now() + kParkingGrace;
  for (;;) {
    if (receive()) return ended() ? Await::Close : Await::Ready;
    if (stopping()) return Await::Close;
    const auto now = Clock::now();
    const auto limit = waitLimit();
    if (now >= limit) return Await::Close;
    pollfd p[] = {{fd_, static_cast<short>(wantWrite_ ? POLLOUT : POLLIN), 0}, {wakeFd, POLLIN, 0}};
    std::chrono::nanoseconds wait;
    nfds_t watched = 2;
    if (othersWaiting()) {
      if (now >= parkAt) return Await::Park;
      wait = parkAt - now;  // the rest of the grace, on the socket alone
      watched = 1;
    } else {
      // Short slices, so that a stopping server is noticed.
      wait = std::min<std::chrono::nanoseconds>(limit - now, std::chrono::milliseconds(100));
    }
    const timespec t{static_cast<time_t>(wait.count() / 1000000000), static_cast<long>(wait.count() % 1000000000)};
    ::ppoll(p, watched, &t, nullptr);
  }
}

void ConnectionStream::advance() {
  if (phase_ == Phase::Idle) {
    // Blank lines before a request line are skipped.
    in_.erase(0, std::min(in_.find_first_not_of("\r\n"), in_.size()));
    if (in_.empty()) return;
    phase_ = Phase::Header;
    requestStart_ = lastByte_ = Clock::now();
    scanned_ = 0;
  }
  if (phase_ == Phase::Header) readHeader();
  if (phase_ == Phase::Body && formBody_) {
    const size_t arrived = std::min<size_t>(in_.size() - headerEnd_, static_cast<size_t>(bodyLength_));
    countBodyPairs(std::string_view(in_).substr(headerEnd_ + bodyCounted_, arrived - bodyCounted_));
    bodyCounted_ = arrived;
  }
  if (phase_ == Phase::Body) {
    if (in_.size() - headerEnd_ >= bodyLength_) {
      complete(headerEnd_ + static_cast<size_t>(bodyLength_));
    } else if (peerClosed_) {  // the body was cut short: the HTTP layer finds it so
      closeAfter_ = true;
      complete(in_.size());
    }
  }
  if (phase_ == Phase::Chunked) {
    size_t consumed = 0;
    const size_t before = decoded_.size();
    const ChunkedDecoder::State state = chunked_->feed(std::string_view(in_).substr(headerEnd_), consumed, decoded_);
    in_.erase(headerEnd_, consumed);
    if (formBody_) {
      countBodyPairs(std::string_view(decoded_).substr(before));
      if (phase_ != Phase::Chunked) return;
    }
    switch (state) {
      case ChunkedDecoder::State::More:
        if (peerClosed_) refuse(400);
        break;
      case ChunkedDecoder::State::Done:
        // The HTTP layer reads the decoded data as a body of that length.
        in_.insert(headerEnd_, decoded_);
        bodyLength_ = decoded_.size();
        decoded_ = std::string();
        complete(headerEnd_ + static_cast<size_t>(bodyLength_));
        break;
      case ChunkedDecoder::State::Bad: refuse(400); break;
      case ChunkedDecoder::State::TooLarge: refuse(413); break;
    }
  }
  if ((phase_ == Phase::Body || phase_ == Phase::Chunked) && expectsContinue_ && !continueSent_) sendContinue();
}

void ConnectionStream::readHeader() {
  // Line ends are CRLF: a bare LF, a CR followed by anything but LF, or a
  // NUL is refused as soon as it arrives, and so is a request line or header
  // beyond the bound.
  const size_t bound = std::min(in_.size(), limits_.maxHeaderBytes);
  for (; scanned_ < bound; ++scanned_) {
    const char c = in_[scanned_];
    const bool afterCr = scanned_ > 0 && in_[scanned_ - 1] == '\r';
    if (c == '\0' || (c == '\n') != afterCr) return refuse(400);
    if (c == '\n' && scanned_ >= 3 && in_.compare(scanned_ - 3, 4, "\r\n\r\n") == 0) break;
  }
  if (scanned_ == bound) {
    if (in_.size() > limits_.maxHeaderBytes) {
      const bool lineEnded = in_.find('\n') < limits_.maxHeaderBytes;
      rawHeader_.assign(in_, 0, std::min(in_.find("\r\n"), limits_.maxHeaderBytes));
      return refuse(lineEnded ? 400 : 414);
    }
    if (peerClosed_) refuse(400);  // the client closed within the header
    return;
  }
  headerEnd_ = scanned_ + 1;
  rawHeader_.assign(in_, 0, headerEnd_);
  method_ = methodOf(requestLine());

  const Framing framing = framingOf(rawHeader_);
  if (framing.refusal) return refuse(framing.refusal);
  pairs_.feed(queryOf(requestLine()));
  if (pairs_.pairs() > limits_.maxRequestPairs) return refuse(413);
  if (method_ != "POST") {
    // Only a POST's body is read: any other request's body is left, and the
    // connection closes after the answer.
    if (framing.body != Framing::Body::None) closeAfter_ = true;
    return complete(headerEnd_);
  }
  for (std::string_view expect : headerValues(rawHeader_, "Expect"))
    if (host::sameKey(expect, "100-continue")) expectsContinue_ = true;
  for (std::string_view type : headerValues(rawHeader_, "Content-Type"))
    if (startsWithNoCase(type, "application/x-www-form-urlencoded")) formBody_ = true;
  switch (framing.body) {
    case Framing::Body::None:
      bodyLength_ = 0;
      return complete(headerEnd_);
    case Framing::Body::Length:
      if (framing.length > limits_.maxBodyBytes) return refuse(413);
      bodyLength_ = framing.length;
      phase_ = Phase::Body;
      return;
    case Framing::Body::Chunked:
      chunked_.emplace(limits_.maxBodyBytes, limits_.maxHeaderBytes);
      decoded_.clear();
      phase_ = Phase::Chunked;
      return;
  }
}

void ConnectionStream::countBodyPairs(std::string_view bytes) {
  pairs_.feed(bytes);
  if (pairs_.pairs() > limits_.maxRequestPairs) refuse(413);
}

std::string_view ConnectionStream::requestLine() const {
  const std::string_view header = rawHeader_;
  return header.substr(0, std::min(header.find("\r\n"), header.size()));
}

std::size_t ConnectionStream::writeRefusal(std::string_view extraHeaders) {
  const std::string body = std::to_string(refusal_) + " " + std::string(reasonOf(refusal_)) + "\n";
  std::string answer = "HTTP/1.1 " + std::to_string(refusal_) + " " + std::string(reasonOf(refusal_)) +
                       "\r\nContent-Type: text/plain\r\nContent-Length: " + std::to_string(body.size()) +
                       "\r\nConnection: close\r\n";
  answer.append(extraHeaders);
  answer += "\r\n";
  if (method_ != "HEAD") answer += body;
  write(answer.data(), answer.size());
  return method_ != "HEAD" ? body.size() : 0;
}

void ConnectionStream::complete(size_t end) {
  phase_ = Phase::Complete;
  pos_ = 0;
  readLimit_ = end;
}

void ConnectionStream::refuse(int status) {
  refusal_ = status;
  bodyLength_ = 0;
  closeAfter_ = true;
  complete(headerEnd_);
}

// The client waits for this before it sends the body.
void ConnectionStream::sendContinue() {
  continueSent_ = true;
  static constexpr std::string_view kContinue = "HTTP/1.1 100 Continue\r\n\r\n";
  const ssize_t n = sendSome(kContinue.data(), kContinue.size());
  // What did not go now goes before the response.
  if (n < static_cast<ssize_t>(kContinue.size())) out_.append(kContinue.substr(n > 0 ? static_cast<size_t>(n) : 0));
}

// ------------------------------------------------------------------ serving it

void ConnectionStream::headersRead(const std::string& method) {
  parsed_ = true;
  // A request line read differently here and by the HTTP layer is not served.
  if (method != method_ && !refusal_) {
    refusal_ = 400;
    bodyLength_ = 0;
    closeAfter_ = true;
  }
}

bool ConnectionStream::finishRequest() {
  ++served_;
  if (!parsed_ || closeAfter_ || failed_ || pos_ != readLimit_ || served_ >= limits_.keepAliveMaxRequests)
    return false;
  in_.erase(0, readLimit_);
  if (in_.capacity() > kKeptBuffer) in_.shrink_to_fit();
  if (out_.capacity() > kKeptBuffer) out_ = std::string();
  phase_ = Phase::Idle;
  pos_ = readLimit_ = headerEnd_ = 0;
  rawHeader_.clear();
  method_.clear();
  refusal_ = 0;
  bodyLength_ = 0;
  pairs_ = PairCounter();
  formBody_ = false;
  bodyCounted_ = 0;
  chunked_.reset();
  expectsContinue_ = continueSent_ = false;
  parsed_ = false;
  idleSince_ = Clock::now();
  advance();  // a request that came along with this one
  return true;
}

ssize_t ConnectionStream::read(char* ptr, size_t size) {
  if (phase_ != Phase::Complete || pos_ >= readLimit_) return 0;
  const size_t n = std::min(size, readLimit_ - pos_);
  std::memcpy(ptr, in_.data() + pos_, n);
  pos_ += n;
  return static_cast<ssize_t>(n);
}

ssize_t ConnectionStream::write(const char* ptr, size_t size) {
  if (failed_) return -1;
  if (out_.size() + size < kOutputChunk) {
    out_.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  // A large piece (a page's body) goes out from where it lies, after what
  // was collected (its headers), rather than being copied behind it.
  if (!flush(std::string_view(ptr, size))) return -1;
  return static_cast<ssize_t>(size);
}

bool ConnectionStream::flush(std::string_view more) {
  // `sent` counts the collected output and `more` as one sequence.
  const size_t total = out_.size() + more.size();
  size_t sent = 0;
  while (sent < total && !failed_) {
    const ssize_t n = sent < out_.size()
                          ? sendSome(std::string_view(out_).substr(sent), more)
                          : sendSome(more.data() + (sent - out_.size()), total - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
    } else if (n == -1) {
      const long long wait = std::min<long long>(limits_.writeTimeoutSeconds * 1000LL, 1000LL * 1000 * 1000);
      if (!awaitSocket(static_cast<int>(wait))) failed_ = true;
    } else {
      failed_ = true;
    }
  }
  out_.clear();
  return !failed_;
}

void ConnectionStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  ip = remoteIp_;
  port = remotePort_;
}

void ConnectionStream::get_local_ip_and_port(std::string& ip, int& port) const {
  ip = localIp_;
  port = localPort_;
}

// ------------------------------------------------------------------ closing

bool ConnectionStream::shouldLinger() const {
  if (peerClosed_ || failed_) return false;
  return closeAfter_ || !parsed_ || pos_ != readLimit_ || in_.size() > readLimit_;
}

void ConnectionStream::startLinger() {
  flush();
  if (ssl_ && handshakeDone_ && !failed_) SSL_shutdown(ssl_);  // the TLS close: sent once, never waited for
  ::shutdown(fd_, SHUT_WR);
  lingering_ = true;
  requestStart_ = lastByte_ = Clock::now();
}

bool ConnectionStream::drain() {
  char chunk[kReceiveChunk];
  for (int i = 0; i < kDrainReads; ++i) {
    // The raw bytes, TLS records or not: nothing of them is read.
    const ssize_t n = ::recv(fd_, chunk, sizeof chunk, 0);
    if (n > 0) {
      lastByte_ = Clock::now();
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      return !(n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK));
    }
  }
  return false;
}

}  // namespace zurvafun::serve
