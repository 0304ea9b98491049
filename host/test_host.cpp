#include "host/test_host.h"

#include "runtime/dates.h"

namespace zurvafun::host {

namespace {

// Whether a browser keeps the cookie: one whose expiry date has passed is gone.
bool expired(const ResponseCookie& cookie) {
  if (cookie.Expires.isEmpty()) return false;
  try {
    return dateSerialOf(cookie.Expires) < clockNow();
  } catch (const VbError&) {
    return false;  // not a date: the host sends no expiry
  }
}

}  // namespace

TestHost::TestHost(std::string documentRoot) : context_(std::make_shared<ObjectContext>()) {
  context_->application = std::make_shared<Application>();
  context_->server = std::make_shared<Server>(std::move(documentRoot));
  context_->session = std::make_shared<Session>();
  context_->request = std::make_shared<Request>();
  context_->response = std::make_shared<Response>(context_->request.get());
  scope_ = std::make_unique<ObjectContextScope>(context_);
}

TestHost::~TestHost() = default;

void TestHost::nextRequest() {
  auto request = std::make_shared<Request>();
  request->Cookies = context_->request->Cookies;
  for (const auto& cookie : context_->response->Cookies.all()) {
    if (expired(*cookie)) request->Cookies.remove(cookie->name());
    else if (cookie->hasKeys()) request->Cookies.set(cookie->name(), RequestCookie(cookie->keys()));
    else request->Cookies.set(cookie->name(), RequestCookie(cookie->value()));
  }
  auto next = std::make_shared<ObjectContext>(*context_);
  next->request = request;
  next->response = std::make_shared<Response>(request.get());
  context_ = next;
  scope_.reset();
  scope_ = std::make_unique<ObjectContextScope>(context_);
}

}  // namespace zurvafun::host
