// The visitors' sessions: values kept in memory under an opaque random id,
// dropped after an idle timeout, and bounded in number (the least recently
// used goes first when the store is full). Thread-safe.
//
// Each session carries a lock that the host holds while a page of that
// session runs, so the requests of one visitor run one after the other, as a
// page host with session state runs them; requests of different visitors run
// side by side.
#pragma once

#include <chrono>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "host/host.h"

namespace zurvafun::serve {

class SessionStore {
 public:
  using Clock = std::chrono::steady_clock;

  struct Entry {
    std::shared_ptr<host::Session> session;
    std::mutex running;  // held while a page of the session runs

   private:
    friend class SessionStore;
    Clock::time_point lastUsed;
    std::list<std::string>::iterator order;  // place in the use order
  };

  SessionStore(Clock::duration idleTimeout, std::size_t maxSessions);

  // The live session of `id`, marked as used now; null when unknown or idle
  // for longer than the timeout (an expired session is dropped).
  std::shared_ptr<Entry> find(std::string_view id, Clock::time_point now = Clock::now());
  // Keeps `session` under its SessionID; drops the least recently used
  // session when the store is full.
  std::shared_ptr<Entry> add(std::shared_ptr<host::Session> session, Clock::time_point now = Clock::now());
  std::size_t size() const;

  // A new session id: 128 bits from the OS as 32 hexadecimal digits.
  static std::string newId();

 private:
  void dropExpired(Clock::time_point now);  // callers hold mutex_
  void drop(std::list<std::string>::iterator position);

  const Clock::duration idleTimeout_;
  const std::size_t maxSessions_;
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::shared_ptr<Entry>> entries_;
  std::list<std::string> order_;  // most recently used first
};

}  // namespace zurvafun::serve
