#include "host/serve/http_layer.h"

#include <string_view>

// HttpLayer relies on Server::process_request (protected) of cpp-httplib
// 0.11.4, as Debian 12 ships it: that it reads one request from the stream it
// is given, runs the pre-routing handler and the handlers, writes one answer
// with the default headers, calls the logger, and reads nothing beyond the
// request. The host further relies on the behaviour noted in
// host/serve/server.cpp (header values percent-decoded, compression, ranges).
// Another version may differ in any of these: check them, and the tests,
// before raising the version here.
static_assert(std::string_view(CPPHTTPLIB_VERSION) == "0.11.4",
              "zurva-serve was written against cpp-httplib 0.11.4: see host/serve/http_layer.cpp");

namespace zurvafun::serve {

bool HttpLayer::serveOne(httplib::Stream& stream, bool last, bool& closed,
                         const std::function<void(httplib::Request&)>& setup) {
  return process_request(stream, last, closed, setup);
}

}  // namespace zurvafun::serve
