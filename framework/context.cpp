// Creation and release of the instance, the per-thread request context, the
// request-end rule and the error log.
#include <dlfcn.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>

#include "framework/zurva.h"
#include "runtime/dates.h"

namespace zurvafun {

namespace {

// The request context: one set of references per worker thread, shared by
// every instance on that thread. Each creation overwrites it, each release
// clears it.
struct RequestContext {
  std::shared_ptr<host::ObjectContext> objectContext;
  std::shared_ptr<host::Application> application;
  std::shared_ptr<host::Server> server;
  std::shared_ptr<host::Session> session;
  std::shared_ptr<host::Request> request;
  std::shared_ptr<host::Response> response;
};

thread_local RequestContext context;

template <class T>
T& required(const std::shared_ptr<T>& object) {
  if (!object) raise(err::ObjectNotSet);
  return *object;
}

}  // namespace

zurva::zurva() : m_lOnBits(31), m_l2Power(31) { AspClassInit(); }

zurva::~zurva() { AspClassTerminate(); }

void zurva::AspClassInit() {
  // Continue-on-error: outside a page host every step finds nothing and the
  // references stay empty.
  try {
    context.objectContext = host::GetObjectContext();
    if (context.objectContext) {
      context.application = context.objectContext->application;
      context.server = context.objectContext->server;
      context.session = context.objectContext->session;
      context.request = context.objectContext->request;
      context.response = context.objectContext->response;
    }
  } catch (...) {
  }
  // A refusal ends the response; creation still completes.
  try {
    ChkSqlInput();
  } catch (...) {
  }
}

void zurva::AspClassTerminate() {
  context.application.reset();
  context.server.reset();
  context.session.reset();
  context.request.reset();
  context.response.reset();
  context.objectContext.reset();
}

host::Application& zurva::Application() const { return required(context.application); }
host::Server& zurva::Server() const { return required(context.server); }
host::Session& zurva::Session() const { return required(context.session); }
host::Request& zurva::Request() const { return required(context.request); }
host::Response& zurva::Response() const { return required(context.response); }

void zurva::enter() const {
  if (context.response && context.response->ended()) raiseRequestEnd();
}

namespace {
std::mutex logPathMutex;
std::string logPathOverride;
}  // namespace

void setLogFilePath(std::string path) {
  std::lock_guard lock(logPathMutex);
  logPathOverride = std::move(path);
}

std::string logFilePath() {
  {
    std::lock_guard lock(logPathMutex);
    if (!logPathOverride.empty()) return logPathOverride;
  }
  Dl_info info{};
  std::filesystem::path folder = ".";
  if (dladdr(reinterpret_cast<void*>(&logFilePath), &info) && info.dli_fname)
    folder = std::filesystem::path(info.dli_fname).parent_path();
  if (folder.empty()) folder = ".";
  return (folder / "zurvaLog.Log").string();
}

void WriteLog(const std::string& message) {
  // Opened, appended to and closed for every line; a line that cannot be
  // written is lost silently. The path "-" is the process's standard error,
  // where a host that serves the pages keeps its own error lines.
  try {
    const std::string path = logFilePath();
    if (path == "-") {
      const std::string line = generalDateText(clockNow()) + "    " + message + "\n";
      std::fwrite(line.data(), 1, line.size(), stderr);
      std::fflush(stderr);
      return;
    }
    std::ofstream log(path, std::ios::binary | std::ios::app);
    if (!log) return;
    std::string line = generalDateText(clockNow()) + "    " + message + "\r\n";
    log.write(line.data(), std::streamsize(line.size()));
  } catch (...) {
  }
}

}  // namespace zurvafun
