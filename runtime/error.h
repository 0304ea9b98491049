// Run-time errors of the value runtime: a number and a description, as the
// original language raised them. The request-end error carries no description.
#pragma once

#include <stdexcept>
#include <string>

namespace zurvafun {

// Raised by every method that has ended the response: callers must stop at once.
inline constexpr long RequestEndError = -13572468;  // 0xFF30E68C

class VbError : public std::runtime_error {
 public:
  VbError(long number, std::string description);
  long number() const noexcept { return number_; }
  const std::string& description() const noexcept { return description_; }
  bool isRequestEnd() const noexcept { return number_ == RequestEndError; }

 private:
  long number_;
  std::string description_;
};

// The runtime's own description of an error number ("" when it has none).
std::string errorDescription(long number);

// Raise error `number` with the runtime's description.
[[noreturn]] void raise(long number);
// Raise error `number` with a description of the caller's.
[[noreturn]] void raise(long number, std::string description);
// Raise the request-end error (number only).
[[noreturn]] void raiseRequestEnd();

// Common error numbers.
namespace err {
inline constexpr long InvalidCall = 5;
inline constexpr long Overflow = 6;
inline constexpr long SubscriptOutOfRange = 9;
inline constexpr long DivisionByZero = 11;
inline constexpr long TypeMismatch = 13;
inline constexpr long ObjectNotSet = 91;
inline constexpr long InvalidUseOfNull = 94;
inline constexpr long CannotCreateObject = 429;
inline constexpr long ObjectRequired = 424;
inline constexpr long NoCurrentRecord = 3021;
}  // namespace err

}  // namespace zurvafun
