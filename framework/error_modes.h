// The error modes of class zurva's methods (included at the end of zurva.h).
//
// Every public method runs its body under one mode, named in one word:
//
//   logged     any run-time error is written to the error log under the
//              method's tag and the method returns normally, with its result
//              as it stood;
//   untrapped  no trap: every error goes to the caller;
//   resumed    continue-on-error throughout: an error is skipped.
//
// Inside a body:
//   resume(step)     one step under continue-on-error: a failing step is skipped;
//   trapOff(rest)    the rest of a logged method runs with the trap off: its
//                    errors go to the caller unlogged;
//   open(conn, …)    opens the connection; a failure writes the connection
//                    error text, ends the response and stops the method with
//                    the request-end error;
//   openOrReturn(conn, …)  the same, but the method returns normally: false;
//   openOrAnswer(conn, result, …)  the text becomes the method's result
//                    instead (nothing written), and false.
//
// In every mode the request-end error passes through unchanged, and a method
// called after the response has ended raises it at once (enter()).
//
// The wrapper owns the method's result: a body that takes `Variant& result`
// makes the wrapper return that variant as it stands when the body ends or
// fails; a body that returns a value makes the wrapper return it (Empty when
// the body failed).
//
//   Variant zurva::dj(const Variant& grade) {
//     return logged([&](Variant& result) { result = …; });
//   }
//   Variant zurva::emoneycookies(…) {
//     return untrapped([&](Variant& result) {
//       resume([&] { … });                        // set-up, errors skipped
//       db::Connection conn;
//       if (!openOrReturn(conn, …)) return;       // the method returns Empty
//       …                                          // errors go to the page
//     });
//   }
#pragma once

#include <exception>
#include <string>
#include <type_traits>

#include "framework/html.h"

namespace zurvafun {

namespace modes {

// Carries an error out of a trapOff stretch past the method's own handler;
// the method's wrapper unwraps it, so the caller receives the error itself.
struct Untrapped {
  std::exception_ptr error;
};

// Runs `body` with the method's result when it takes one, and hands the
// result back; `mode` runs the call under the method's error mode.
template <class Body, class Mode>
auto withResult(Body& body, Mode&& mode) {
  if constexpr (std::is_invocable_v<Body&, Variant&>) {
    Variant result;
    mode([&] { body(result); });
    return result;
  } else if constexpr (!std::is_void_v<std::invoke_result_t<Body&>>) {
    std::invoke_result_t<Body&> result{};
    mode([&] { result = body(); });
    return result;
  } else {
    mode([&] { body(); });
  }
}

// Passes the error a trapOff stretch carried on as itself.
template <class F>
void unwrapping(F&& f) {
  try {
    f();
  } catch (const Untrapped& carried) {
    std::rethrow_exception(carried.error);
  }
}

}  // namespace modes

template <class Body>
auto zurva::logged(Body&& body, MethodTag tag) {
  return modes::withResult(body, [&](auto&& run) {
    enter();
    modes::unwrapping([&] {
      try {
        run();
      } catch (const VbError& e) {
        if (e.isRequestEnd()) throw;
        WriteLog(logMessage(tag.tag, e.description()));
      } catch (const html::FragmentError&) {
        throw;  // a page written wrongly: not a run-time error of the request
      } catch (const std::exception& e) {
        WriteLog(logMessage(tag.tag, e.what()));
      }
    });
  });
}

template <class Body>
auto zurva::untrapped(Body&& body) {
  return modes::withResult(body, [&](auto&& run) {
    enter();
    modes::unwrapping(run);
  });
}

template <class Body>
auto zurva::resumed(Body&& body) {
  return modes::withResult(body, [&](auto&& run) {
    enter();
    resume(run);
  });
}

template <class Body>
void zurva::resume(Body&& step) {
  try {
    step();
  } catch (const VbError& e) {
    if (e.isRequestEnd()) throw;
  } catch (const html::FragmentError&) {
    throw;
  } catch (const std::exception&) {
  }
  // A step that ended the response stops the method.
  enter();
}

template <class Body>
void zurva::trapOff(Body&& rest) {
  try {
    rest();
  } catch (const VbError& e) {
    if (e.isRequestEnd()) throw;
    throw modes::Untrapped{std::current_exception()};
  } catch (const std::exception&) {
    throw modes::Untrapped{std::current_exception()};
  }
}

}  // namespace zurvafun
