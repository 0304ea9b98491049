// An in-process page host: builds the request context of one request on the
// calling thread, so that a component runs as it would inside the web server.
// Tests fill the request and read the response; the HTTP host uses the same
// objects.
#pragma once

#include <memory>
#include <string>

#include "host/host.h"

namespace zurvafun::host {

class TestHost {
 public:
  explicit TestHost(std::string documentRoot = ".");
  ~TestHost();
  TestHost(const TestHost&) = delete;
  TestHost& operator=(const TestHost&) = delete;

  Request& request() { return *context_->request; }
  Response& response() { return *context_->response; }
  Session& session() { return *context_->session; }
  Application& application() { return *context_->application; }
  Server& server() { return *context_->server; }
  const std::shared_ptr<ObjectContext>& context() const { return context_; }

  // Starts the next request of the same visitor: a new request and response;
  // the session and the application stay. The cookies the last response
  // wrote come back as request cookies, except those it wrote with an
  // expiry date already past (a browser drops them).
  void nextRequest();

 private:
  std::shared_ptr<ObjectContext> context_;
  std::unique_ptr<ObjectContextScope> scope_;
};

}  // namespace zurvafun::host
