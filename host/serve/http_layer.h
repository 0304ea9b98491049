// The HTTP library (cpp-httplib) as the host drives it. The host takes in
// each request itself (host/serve/connection.h) and hands the library one
// request at a time to parse, route to the handlers registered on it, and
// answer. The library offers that step only as a protected member of its
// server; HttpLayer is the one place that reaches it, and its source checks
// at compile time that the library is the version this was written against.
// Everything else the host does with the library is its public API.
#pragma once

#include <httplib.h>

#include <functional>

namespace zurvafun::serve {

class HttpLayer : public httplib::Server {
 public:
  // Reads one request from `stream`, routes it and writes its answer to
  // `stream`. `last`: the answer closes the connection. `setup` sees the
  // request once its line and headers are read, before routing. Sets
  // `closed` when the client asked to close the connection; false when the
  // request could not be read or answered.
  bool serveOne(httplib::Stream& stream, bool last, bool& closed, const std::function<void(httplib::Request&)>& setup);
};

}  // namespace zurvafun::serve
