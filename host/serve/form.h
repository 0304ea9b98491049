// Request text as the HTTP host reads it: URL-encoded pairs of the query
// string and of posted forms (escapes are bytes of the server code page GBK),
// multipart/form-data fields, the bytes of a request path, and header values
// as they arrived.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "host/collection.h"

namespace zurvafun::serve {

// How the escaped bytes of a value become text.
enum class Escapes {
  Gbk,   // query strings and forms: the bytes are GBK
  Path,  // a request path: UTF-8 when the bytes are valid UTF-8 (what a browser
         // sends for characters typed into a path), else GBK (escapes the site
         // wrote itself with Server.URLEncode)
};

// Adds every pair of URL-encoded text "k1=v1&k2=v2" to `out` in arrival
// order: "+" is a blank, %XX a byte, a malformed escape stays as it stands and
// an invalid byte sequence becomes U+FFFD. An item without "=" is a key with
// the value ""; empty items are skipped. The collection's raw text is left to
// the caller. Returns the number of pairs added.
std::size_t addUrlEncodedPairs(std::string_view text, host::ValueCollection& out, Escapes escapes = Escapes::Gbk);

// Counts the pairs of URL-encoded text as addUrlEncodedPairs() reads them
// (empty items do not count), from the text fed to it piece by piece.
class PairCounter {
 public:
  void feed(std::string_view text);
  std::size_t pairs() const { return pairs_; }

 private:
  std::size_t pairs_ = 0;
  bool inPair_ = false;  // the last byte fed lies inside a pair
};

// The bytes of percent-encoded text (%XX decoded, malformed escapes kept,
// "+" kept unless `plusIsBlank`).
std::string percentDecode(std::string_view text, bool plusIsBlank);
// Text of bytes read from a request path (see Escapes::Path).
std::string pathBytesToText(std::string bytes);
bool isValidUtf8(std::string_view bytes);

// The values of the header `name` (any case) in a request's line and
// headers as they arrived, in order, without surrounding blanks.
std::vector<std::string_view> headerValues(std::string_view rawHeader, std::string_view name);

// The fields of a multipart/form-data body, collected part by part as the
// HTTP layer delivers them. Text fields become form values (their bytes are
// GBK); file parts count against the size bound but are not kept.
class MultipartForm {
 public:
  // `maxBytes`: bound of the body; `maxParts`: bound of the parts.
  MultipartForm(std::size_t maxBytes, std::size_t maxParts) : maxBytes_(maxBytes), maxParts_(maxParts) {}

  // Starts a part; `filename` is non-empty for a chosen file. False once
  // the parts exceed their bound.
  bool beginPart(std::string_view name, std::string_view filename);
  // Appends bytes of the current part; false once the body exceeds the bound.
  bool append(const char* data, std::size_t size);
  // The body exceeded one of the bounds.
  bool tooLarge() const { return tooLarge_; }

  // Adds the text fields to `form` in arrival order and sets its raw text to
  // their URL-encoded form.
  void fill(host::ValueCollection& form) const;

 private:
  struct Field {
    std::string name;   // GBK bytes as sent
    std::string value;  // GBK bytes as sent
  };
  std::size_t maxBytes_, maxParts_;
  std::size_t received_ = 0, parts_ = 0;
  bool tooLarge_ = false;
  bool inFile_ = false;
  std::vector<Field> fields_;
};

}  // namespace zurvafun::serve
