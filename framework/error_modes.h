// The error modes of class zurva's methods (included at the end of zurva.h).
#pragma once

#include <exception>
#include <string>

namespace zurvafun {

template <class Body>
void zurva::logged(const char* group, const char* method, Body&& body) {
  enter();
  try {
    body();
  } catch (const VbError& e) {
    if (e.isRequestEnd()) throw;
    WriteLog(std::string("\\") + group + ", " + method + ": " + e.description());
  } catch (const std::exception& e) {
    WriteLog(std::string("\\") + group + ", " + method + ": " + e.what());
  }
}

template <class Body>
void zurva::resume(Body&& body) {
  try {
    body();
  } catch (const VbError& e) {
    if (e.isRequestEnd()) throw;
  } catch (const std::exception&) {
  }
  enter();
}

}  // namespace zurvafun
