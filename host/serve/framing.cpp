#include "host/serve/framing.h"

#include <limits>
#include <vector>

#include "host/collection.h"

namespace zurvafun::serve {

namespace {

constexpr std::uint64_t kBeyond = std::numeric_limits<std::uint64_t>::max();
constexpr std::size_t kMaxChunkLine = 4096;  // a chunk-size line with its extensions

bool isBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view trimBlanks(std::string_view s) {
  while (!s.empty() && isBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && isBlank(s.back())) s.remove_suffix(1);
  return s;
}

// The comma-separated items of a header value, without surrounding blanks.
std::vector<std::string_view> listItems(std::string_view value) {
  std::vector<std::string_view> items;
  for (;;) {
    const size_t comma = value.find(',');
    items.push_back(trimBlanks(value.substr(0, comma)));
    if (comma == std::string_view::npos) return items;
    value.remove_prefix(comma + 1);
  }
}

bool isFieldName(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 32 || b >= 127 || std::string_view("()<>@,;:\\\"/[]?={}").find(c) != std::string_view::npos)
      return false;
  }
  return true;
}

// A Content-Length item: digits only; kBeyond when it does not fit.
bool lengthOf(std::string_view item, std::uint64_t& out) {
  if (item.empty()) return false;
  std::uint64_t n = 0;
  for (char c : item) {
    if (c < '0' || c > '9') return false;
    const unsigned digit = static_cast<unsigned>(c - '0');
    n = n > (kBeyond - digit) / 10 ? kBeyond : n * 10 + digit;
  }
  out = n;
  return true;
}

bool equalsNoCase(std::string_view a, std::string_view b) { return host::sameKey(a, b); }

}  // namespace

Framing framingOf(std::string_view header) {
  Framing f;
  auto refuse = [&f](int status) {
    f = Framing{};
    f.refusal = status;
    return f;
  };
  bool hasLength = false;
  int hosts = 0;
  std::vector<std::string_view> codings;

  size_t start = header.find('\n');  // past the request line
  const std::string_view requestLine = header.substr(0, start == std::string_view::npos ? 0 : start);
  const bool http11 = requestLine.ends_with(" HTTP/1.1\r");
  while (start != std::string_view::npos && ++start < header.size()) {
    const size_t end = header.find('\n', start);
    if (end == std::string_view::npos || end == start || header[end - 1] != '\r') return refuse(400);
    const std::string_view line = header.substr(start, end - 1 - start);
    start = end;
    if (line.empty()) break;  // the blank line that ends the header
    if (line.find('\r') != std::string_view::npos || isBlank(line.front())) return refuse(400);
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos || !isFieldName(line.substr(0, colon))) return refuse(400);
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = line.substr(colon + 1);
    if (equalsNoCase(name, "Content-Length")) {
      for (std::string_view item : listItems(value)) {
        std::uint64_t n = 0;
        if (!lengthOf(item, n) || (hasLength && n != f.length)) return refuse(400);
        hasLength = true;
        f.length = n;
      }
    } else if (equalsNoCase(name, "Transfer-Encoding")) {
      for (std::string_view item : listItems(value)) codings.push_back(item);
    } else if (equalsNoCase(name, "Host")) {
      ++hosts;
    }
  }
  if (hosts > 1 || (hosts == 0 && http11)) return refuse(400);

  if (!codings.empty()) {
    if (hasLength) return refuse(400);
    for (std::string_view coding : codings)
      if (coding.empty()) return refuse(400);
    // Without chunked last, the body's end cannot be found; other codings are not supported.
    if (!equalsNoCase(codings.back(), "chunked")) return refuse(400);
    if (codings.size() > 1) return refuse(501);
    f.body = Framing::Body::Chunked;
  } else if (hasLength && f.length > 0) {
    f.body = Framing::Body::Length;
  } else {
    f.length = 0;
  }
  return f;
}

// ------------------------------------------------------------------ chunked

ChunkedDecoder::State ChunkedDecoder::feed(std::string_view in, std::size_t& consumed, std::string& out) {
  size_t i = 0;
  while (state_ == State::More && i < in.size()) {
    if (stage_ == Stage::Data) {
      const size_t n = static_cast<size_t>(std::min<std::uint64_t>(left_, in.size() - i));
      out.append(in.substr(i, n));
      i += n;
      left_ -= n;
      if (left_ == 0) stage_ = Stage::DataEnd;
      continue;
    }
    const size_t newline = in.find('\n', i);
    const size_t end = newline == std::string_view::npos ? in.size() : newline + 1;
    line_.append(in.substr(i, end - i));
    i = end;
    const size_t bound = stage_ == Stage::Trailer ? maxTrailer_ - std::min(trailer_, maxTrailer_) : kMaxChunkLine;
    if (line_.size() > bound) state_ = State::Bad;
    else if (newline != std::string_view::npos) endLine();
  }
  consumed = i;
  return state_;
}

void ChunkedDecoder::endLine() {
  std::string_view line = line_;
  if (line.size() < 2 || line[line.size() - 2] != '\r') {
    state_ = State::Bad;
    return;
  }
  line.remove_suffix(2);
  switch (stage_) {
    case Stage::Size: {
      std::uint64_t size = 0;
      size_t k = 0;
      for (; k < line.size(); ++k) {
        const char c = line[k];
        int digit;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        else break;
        size = size > (kBeyond >> 4) ? kBeyond : (size << 4) | static_cast<std::uint64_t>(digit);
      }
      const std::string_view rest = trimBlanks(line.substr(k));
      if (k == 0 || (!rest.empty() && rest.front() != ';')) {
        state_ = State::Bad;
      } else if (size > maxBody_ - std::min<std::uint64_t>(decoded_, maxBody_)) {
        state_ = State::TooLarge;
      } else if (size == 0) {
        stage_ = Stage::Trailer;
      } else {
        decoded_ += size;
        left_ = size;
        stage_ = Stage::Data;
      }
      break;
    }
    case Stage::DataEnd:
      if (line.empty()) stage_ = Stage::Size;
      else state_ = State::Bad;
      break;
    case Stage::Trailer:
      if (line.empty()) state_ = State::Done;
      else trailer_ += line_.size();
      break;
    case Stage::Data:
      break;
  }
  line_.clear();
}

}  // namespace zurvafun::serve
