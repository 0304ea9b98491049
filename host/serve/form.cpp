#include "host/serve/form.h"

#include "runtime/gbk.h"

namespace zurvafun::serve {

namespace {

int hexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string decodeValue(std::string_view text, Escapes escapes) {
  if (escapes == Escapes::Gbk) return gbk::urlDecode(text);
  return pathBytesToText(percentDecode(text, true));
}

// %XX of every byte but letters and digits, a blank as "+": the form a
// browser posts GBK bytes in.
void appendEscapedBytes(std::string& out, std::string_view bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  for (char c : bytes) {
    const auto b = static_cast<unsigned char>(c);
    if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) {
      out += c;
    } else if (c == ' ') {
      out += '+';
    } else {
      out += '%';
      out += kHex[b >> 4];
      out += kHex[b & 0xF];
    }
  }
}

}  // namespace

std::size_t addUrlEncodedPairs(std::string_view text, host::ValueCollection& out, Escapes escapes) {
  std::size_t pairs = 0;
  while (!text.empty()) {
    const size_t amp = text.find('&');
    const std::string_view item = text.substr(0, amp);
    if (!item.empty()) {
      const size_t eq = item.find('=');
      if (eq == std::string_view::npos) out.add(decodeValue(item, escapes), "");
      else out.add(decodeValue(item.substr(0, eq), escapes), decodeValue(item.substr(eq + 1), escapes));
      ++pairs;
    }
    if (amp == std::string_view::npos) break;
    text.remove_prefix(amp + 1);
  }
  return pairs;
}

void PairCounter::feed(std::string_view text) {
  for (char c : text) {
    if (c == '&') {
      inPair_ = false;
    } else if (!inPair_) {
      inPair_ = true;
      ++pairs_;
    }
  }
}

std::string percentDecode(std::string_view text, bool plusIsBlank) {
  std::string bytes;
  bytes.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '%' && i + 2 < text.size() && hexDigit(text[i + 1]) >= 0 && hexDigit(text[i + 2]) >= 0) {
      bytes += static_cast<char>(hexDigit(text[i + 1]) * 16 + hexDigit(text[i + 2]));
      i += 2;
    } else if (c == '+' && plusIsBlank) {
      bytes += ' ';
    } else {
      bytes += c;
    }
  }
  return bytes;
}

bool isValidUtf8(std::string_view s) {
  size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    if (b < 0x80) {
      ++i;
      continue;
    }
    size_t length;
    char32_t cp;
    if (b >= 0xC2 && b <= 0xDF) {
      length = 2;
      cp = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
      length = 3;
      cp = b & 0x0F;
    } else if (b >= 0xF0 && b <= 0xF4) {
      length = 4;
      cp = b & 0x07;
    } else {
      return false;
    }
    if (i + length > s.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((length == 3 && cp < 0x800) || (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
        (cp >= 0xD800 && cp <= 0xDFFF))
      return false;
    i += length;
  }
  return true;
}

std::string pathBytesToText(std::string bytes) {
  if (isValidUtf8(bytes)) return bytes;
  return gbk::toUtf8(bytes);
}

std::vector<std::string_view> headerValues(std::string_view rawHeader, std::string_view name) {
  std::vector<std::string_view> values;
  size_t end = rawHeader.find('\n');  // past the request line
  while (end != std::string_view::npos) {
    const size_t start = end + 1;
    end = rawHeader.find('\n', start);
    std::string_view line = rawHeader.substr(start, end == std::string_view::npos ? end : end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) break;  // the end of the headers
    const size_t colon = line.find(':');
    if (colon != name.size() || !host::sameKey(line.substr(0, colon), name)) continue;
    std::string_view value = line.substr(colon + 1);
    while (!value.empty() && (value.front() == ' ' || value.front() == '\t')) value.remove_prefix(1);
    while (!value.empty() && (value.back() == ' ' || value.back() == '\t')) value.remove_suffix(1);
    values.push_back(value);
  }
  return values;
}

// ------------------------------------------------------------------ multipart

bool MultipartForm::beginPart(std::string_view name, std::string_view filename) {
  if (++parts_ > maxParts_) tooLarge_ = true;
  inFile_ = !filename.empty();
  if (!inFile_) fields_.push_back(Field{std::string(name), {}});
  return !tooLarge_;
}

bool MultipartForm::append(const char* data, std::size_t size) {
  received_ += size;
  if (received_ > maxBytes_) {
    tooLarge_ = true;
    return false;
  }
  if (!inFile_ && !fields_.empty()) fields_.back().value.append(data, size);
  return true;
}

void MultipartForm::fill(host::ValueCollection& form) const {
  std::string raw;
  for (const Field& f : fields_) {
    form.add(gbk::toUtf8(f.name), gbk::toUtf8(f.value));
    if (!raw.empty()) raw += '&';
    appendEscapedBytes(raw, f.name);
    raw += '=';
    appendEscapedBytes(raw, f.value);
  }
  form.setText(std::move(raw));
}

}  // namespace zurvafun::serve
