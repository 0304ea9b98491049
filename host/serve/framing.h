// How the body of a request is delimited, read from the request's header as
// it arrived, and the decoding of a chunked body.
//
// The connection decides the framing itself, before the HTTP layer sees the
// request, and hands the HTTP layer a plain Content-Length: the HTTP layer
// takes a negative or non-numeric length for a number, uses the first of two
// different lengths, keeps the connection open after a request that carries
// both a length and chunked coding, and reads a chunk-size line of any
// length. Each of those lets the bytes of one request be taken for the next,
// so a request whose framing is not plain is refused instead. The same
// reading refuses a request whose target host is unclear: an HTTP/1.1
// request without a Host header, or any request with two.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace zurvafun::serve {

struct Framing {
  enum class Body { None, Length, Chunked };
  Body body = Body::None;
  std::uint64_t length = 0;  // Body::Length; UINT64_MAX stands for any length beyond it
  // 400 (a malformed header line, a malformed, negative or ambiguous
  // Content-Length, a Content-Length next to Transfer-Encoding, no Host
  // header in an HTTP/1.1 request, two Host headers) or 501 (a
  // transfer coding other than a plain "chunked"): the request is answered
  // with this status and the connection closed. 0 otherwise.
  int refusal = 0;
};

// The framing of a request whose line and headers, as they arrived, are
// `header` (ending with the blank line). Header lines must end with CRLF,
// must not be folded, and need a field name directly followed by ":".
Framing framingOf(std::string_view header);

// Decodes a chunked body as its bytes arrive: chunk sizes in hexadecimal
// (chunk extensions are skipped), each chunk's data followed by CRLF, the
// last chunk of size 0, then optional trailer lines (skipped) and CRLF.
class ChunkedDecoder {
 public:
  enum class State {
    More,      // the body goes on
    Done,      // the body is complete
    Bad,       // the chunked coding is malformed, or a line too long
    TooLarge,  // the data exceeds the body bound
  };

  // `maxBody`: bound of the decoded data; `maxTrailer`: bound of the trailer lines.
  ChunkedDecoder(std::size_t maxBody, std::size_t maxTrailer) : maxBody_(maxBody), maxTrailer_(maxTrailer) {}

  // Consumes the bytes of `in` that belong to the body (all of them, unless
  // the body ends inside `in`), appending the decoded data to `out`, and
  // sets `consumed` to their number. Once the state is no longer More,
  // nothing more is consumed.
  State feed(std::string_view in, std::size_t& consumed, std::string& out);
  State state() const { return state_; }

 private:
  enum class Stage { Size, Data, DataEnd, Trailer };
  void endLine();

  std::size_t maxBody_, maxTrailer_;
  State state_ = State::More;
  Stage stage_ = Stage::Size;
  std::string line_;           // the line being read (size line, CRLF after data, trailer)
  std::uint64_t left_ = 0;     // data bytes left in the current chunk
  std::uint64_t decoded_ = 0;  // data bytes so far
  std::size_t trailer_ = 0;    // trailer bytes so far
};

}  // namespace zurvafun::serve
