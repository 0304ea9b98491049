// The visitors' sessions kept in the site's database (table zurva_sessions)
// instead of one server's memory, so that every server of the site serves
// every visitor. A session is one row: its id, its values (as JSON that keeps
// each value's type) and the moment it was last used; it ends after the idle
// timeout, and at most max_sessions are kept (the least recently used go
// first).
//
// A request reads its session's row once. It writes the row only when the
// page changed a value, or to move the moment of last use on when that lies
// more than a step back (a tenth of the idle timeout, at most a minute): a
// session therefore ends between the idle timeout less that step and the
// idle timeout after its last request. The requests of one session that
// reach the same server run one after the other; two that reach two servers
// at once run side by side, and the later one's values are kept.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>

#include "db/db.h"
#include "host/host.h"

namespace zurvafun::serve {

class SessionTable {
 public:
  // Seconds since the epoch, on the wall clock that every server shares.
  using Seconds = double;

  // A session as one request holds it.
  struct Held {
    std::shared_ptr<host::Session> session;  // null when the id named none that lives
    // This server's requests of the session run one at a time.
    std::shared_ptr<std::mutex> turnMutex;
    std::unique_lock<std::mutex> turn;
    std::uint64_t version = 0;  // the values' version as read
    Seconds lastUsed = 0;       // as stored
  };

  SessionTable(db::ConnectionParams params, double idleSeconds, std::size_t maxSessions);

  // Makes the table when the database lacks it. Throws std::runtime_error
  // when the database cannot be opened.
  void createTable();

  // The live session of `id`, held for this request (null when there is none).
  Held find(std::string_view id, Seconds now);
  // After the page: keeps what changed, or moves the last use on; lets go.
  void keep(Held& held, Seconds now);
  // Keeps a new session under its SessionID; drops the expired sessions now
  // and then, and the least recently used when there are more than allowed.
  void add(const host::Session& session, Seconds now);

  static Seconds wallClock();

  // A session's values as the row keeps them, and back.
  static std::string valuesText(const host::Session& session);
  static void readValues(std::string_view text, host::Session& session);

 private:
  std::shared_ptr<std::mutex> turnOf(const std::string& id);
  db::Connection& open(db::Connection& conn) const;

  const db::ConnectionParams params_;
  const double idleSeconds_;
  const double refreshSeconds_;
  const std::size_t maxSessions_;
  std::mutex turnsMutex_;
  std::unordered_map<std::string, std::weak_ptr<std::mutex>> turns_;
  std::size_t turnsBound_ = 1024;
  std::mutex sweepMutex_;
  Seconds lastSweep_ = 0;
};

}  // namespace zurvafun::serve
