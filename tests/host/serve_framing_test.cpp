// How the host finds the end of a request's body: the framing read from the
// header as it arrived, and the chunked decoder.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "host/serve/framing.h"

namespace zurvafun::serve {
namespace {

std::string request(const std::string& headers) { return "POST /a.asp HTTP/1.1\r\nHost: x\r\n" + headers + "\r\n"; }

TEST(ServeFraming, LengthChunkedOrNone) {
  using Body = Framing::Body;
  struct Case {
    const char* headers;
    Body body;
    std::uint64_t length;
  };
  const Case cases[] = {
      {"", Body::None, 0},
      {"Content-Length: 0\r\n", Body::None, 0},
      {"Content-Length: 12\r\n", Body::Length, 12},
      {"content-length:12  \r\n", Body::Length, 12},
      {"Content-Length: 12\r\nContent-Length: 12\r\n", Body::Length, 12},  // repeated alike
      {"Content-Length: 12, 12\r\n", Body::Length, 12},
      {"Content-Length: 007\r\n", Body::Length, 7},
      {"Content-Length: 99999999999999999999999\r\n", Body::Length, std::numeric_limits<std::uint64_t>::max()},
      {"Transfer-Encoding: chunked\r\n", Body::Chunked, 0},
      {"Transfer-Encoding: CHUNKED \r\n", Body::Chunked, 0},
  };
  for (const Case& c : cases) {
    const Framing f = framingOf(request(c.headers));
    EXPECT_EQ(f.refusal, 0) << c.headers;
    EXPECT_EQ(f.body, c.body) << c.headers;
    EXPECT_EQ(f.length, c.length) << c.headers;
  }
}

TEST(ServeFraming, AmbiguousOrMalformedFramingIsRefused) {
  struct Case {
    const char* headers;
    int refusal;
  };
  const Case cases[] = {
      {"Content-Length: -1\r\n", 400},
      {"Content-Length: +5\r\n", 400},
      {"Content-Length: abc\r\n", 400},
      {"Content-Length: 1 2\r\n", 400},
      {"Content-Length: 0x10\r\n", 400},
      {"Content-Length:\r\n", 400},
      {"Content-Length: 3\r\nContent-Length: 10\r\n", 400},
      {"Content-Length: 3, 10\r\n", 400},
      {"Content-Length: 3\r\nTransfer-Encoding: chunked\r\n", 400},
      {"Transfer-Encoding: chunked\r\nContent-Length: 0\r\n", 400},
      {"Transfer-Encoding: chunked, gzip\r\n", 400},  // the body's end cannot be found
      {"Transfer-Encoding:\r\n", 400},
      {"Transfer-Encoding: gzip, chunked\r\n", 501},
      {"Transfer-Encoding: gzip\r\nTransfer-Encoding: chunked\r\n", 501},
      // Header lines a reader might take differently from the HTTP layer.
      {"Content-Length : 5\r\n", 400},
      {"X-A: 1\r\n Transfer-Encoding: chunked\r\n", 400},  // folded
      {"Transfer-Encoding: chunked\n", 400},               // a bare LF
      {"X-A: 1\rTransfer-Encoding: chunked\r\n", 400},     // a bare CR
      {"no colon here\r\n", 400},
      {": empty name\r\n", 400},
  };
  for (const Case& c : cases) {
    const Framing f = framingOf(request(c.headers));
    EXPECT_EQ(f.refusal, c.refusal) << c.headers;
    EXPECT_EQ(f.body, Framing::Body::None) << c.headers;
  }
  // Other headers are not judged beyond their shape.
  EXPECT_EQ(framingOf(request("Cookie: a=%ZZ\xFF; b\r\nUser-Agent: \xD6\xD0\r\n")).refusal, 0);
}

// The target's host must be clear: HTTP/1.1 needs exactly one Host header,
// HTTP/1.0 at most one.
TEST(ServeFraming, HostHeaderRules) {
  const struct {
    const char* header;
    int refusal;
  } cases[] = {
      {"GET / HTTP/1.1\r\nHost: x\r\n\r\n", 0},
      {"GET / HTTP/1.1\r\nhOsT: x\r\n\r\n", 0},
      {"GET / HTTP/1.1\r\nHost:\r\n\r\n", 0},  // empty, as a client without a name sends it
      {"GET / HTTP/1.1\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nX-Host: x\r\n\r\n", 400},
      {"GET / HTTP/1.1\r\nHost: x\r\nHost: x\r\n\r\n", 400},
      {"GET / HTTP/1.0\r\n\r\n", 0},
      {"GET / HTTP/1.0\r\nHost: x\r\nHOST: y\r\n\r\n", 400},
  };
  for (const auto& c : cases) EXPECT_EQ(framingOf(c.header).refusal, c.refusal) << c.header;
}

struct Decoded {
  ChunkedDecoder::State state;
  std::string data;
  size_t consumed = 0;
};

// Feeds `body` in pieces of `piece` bytes (all at once when 0).
Decoded decode(const std::string& body, size_t piece = 0, size_t maxBody = 100, size_t maxTrailer = 64) {
  ChunkedDecoder decoder(maxBody, maxTrailer);
  Decoded d{ChunkedDecoder::State::More, {}};
  const size_t step = piece == 0 ? body.size() : piece;
  for (size_t at = 0; at < body.size() && d.state == ChunkedDecoder::State::More; at += step) {
    size_t consumed = 0;
    d.state = decoder.feed(std::string_view(body).substr(at, step), consumed, d.data);
    d.consumed += consumed;
  }
  return d;
}

TEST(ServeChunked, DecodesWhateverThePiecesAndStopsAtTheEnd) {
  const std::string body = "3;name=value\r\nabc\r\nA \r\n0123456789\r\n0\r\nX-Trailer: 1\r\n\r\n";
  const std::string next = "GET /next HTTP/1.1\r\n";
  for (size_t piece : {0, 1, 2, 7}) {
    const Decoded d = decode(body + next, piece);
    EXPECT_EQ(d.state, ChunkedDecoder::State::Done) << piece;
    EXPECT_EQ(d.data, "abc0123456789") << piece;
    EXPECT_EQ(d.consumed, body.size()) << piece;  // the next request is left
  }
  EXPECT_EQ(decode("0\r\n\r\n").state, ChunkedDecoder::State::Done);
  EXPECT_EQ(decode("5\r\nab").state, ChunkedDecoder::State::More);
}

TEST(ServeChunked, MalformedAndOversizedBodies) {
  using State = ChunkedDecoder::State;
  struct Case {
    std::string body;
    State state;
  };
  const Case cases[] = {
      {"-5\r\nabcde\r\n0\r\n\r\n", State::Bad},
      {"+5\r\nabcde\r\n0\r\n\r\n", State::Bad},
      {"zz\r\nab\r\n0\r\n\r\n", State::Bad},
      {"\r\n", State::Bad},
      {"5 x\r\nabcde\r\n0\r\n\r\n", State::Bad},
      {"5\nabcde\r\n0\r\n\r\n", State::Bad},      // bare LF
      {"3\r\nabcde\r\n0\r\n\r\n", State::Bad},    // data longer than its size
      {"3\r\nabc\r\n0\r\nX: 1\n\r\n", State::Bad},  // bare LF in a trailer
      {"5" + std::string(5000, '0') + "\r\n", State::Bad},  // a size line of any length
      {"3;" + std::string(5000, 'e') + "\r\n", State::Bad},
      {"0\r\n" + std::string(70, 'T') + "\r\n\r\n", State::Bad},  // trailers beyond their bound
      {"65\r\n", State::TooLarge},  // 101 bytes
      {"32\r\n" + std::string(50, 'a') + "\r\n33\r\n", State::TooLarge},
      {"FFFFFFFFFFFFFFFFFFFF\r\n", State::TooLarge},
      {"64\r\n" + std::string(100, 'a') + "\r\n0\r\n\r\n", State::Done},  // exactly the bound
  };
  for (const Case& c : cases) {
    EXPECT_EQ(decode(c.body).state, c.state) << c.body.substr(0, 40);
    EXPECT_EQ(decode(c.body, 1).state, c.state) << c.body.substr(0, 40);
  }
  // A long size line is refused as soon as it passes the bound, not when it ends.
  const Decoded flood = decode(std::string(100000, '0'), 1000);
  EXPECT_EQ(flood.state, State::Bad);
  EXPECT_LT(flood.consumed, 10000u);
}

}  // namespace
}  // namespace zurvafun::serve
