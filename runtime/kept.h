// State that outlives a call: who owns each piece, how long it lives, what
// makes it go, and the one call that drops it all (clearAll(), for tests and
// benchmarks that need a process as fresh as a new one).
//
// Two kinds are dropped by clearAll():
//   - copies kept for the whole process, each a static InProcess<T>: made at
//     first use, replaced whole when what it was made from changes;
//     clearAll() calls its clear() at once (a copy a page holds stays with
//     that page);
//   - per-thread state, each a thread_local PerThread<T>: a thread's value is
//     made afresh at its first use after clearAll(), on that thread, so no
//     thread touches another's and reading it takes no lock (one atomic
//     load).
//
// The pieces, by owner (the header says what the piece is made from):
//
// For the process (InProcess), made afresh when what they read changes:
//   framework/site_settings.h     the site settings, parsed: the application values
//   showcase/showcase_list.h      the showcase list, parsed: the site settings
//   showcase/gallery_pool.h       the gallery pools: the member rows they read
//   showcase/guest_cards.h        the cards guests see: member rows, site settings, year
//   site/guest_fragments.h        the newest members guests see: the same
//   site/site_page.cpp            the tops of the pages guests see: the site settings
//   helpers/region_menu_texts.h   the region menu texts: the settings row
//   helpers/region_menus.cpp      the province options: the menu text they were made from
//   interaction/poll.cpp          the poll box: the polls, the site settings
//   search/match_counts.h         the numbers of matches of the criteria searches: the
//                                 member rows they read
// The database's record of changes (framework/data_versions.h) tells those
// copies what changed.
//
// For each thread (PerThread):
//   framework/data_versions.h     the record of changes as last read: read again
//                                 after a commit of this process or a second
//   framework/site_settings.h     the thread's handle on the process's settings
//   showcase/showcase_list.h      and on the parsed showcase list (a thread that
//                                 counts its own references spares the shared counter)
//   db/db.h (Recordset)           spare row buffers, kept only up to 256 KB each
//   host/serve/cookies.h          the cookies verified last (a ring of four)
//   runtime/format.h              Rnd's generator: Randomize reseeds it
//
// Per thread, not dropped: they keep no data that could go stale.
//   db/db.h                       pooled connections: releasePooledConnections()
//                                 (this thread), closeAllConnections() (every thread)
//   runtime/dates.cpp             the local time of the current second
//   runtime/gbk.cpp               the GBK converters (reset at every call)
//   host/serve/cookies.cpp        the HMAC's working context
//   framework/utilities.cpp       the passwords' generator, seeded from the system
//   framework/guest_cache.cpp     the thread's handles on the guest caches' pieces:
//                                 taken again whenever a cache's version moves
//   db/postgres/render.cpp        the schema's indexes of values that do not convert:
//                                 read again when the schema's text changes
//   host/serve/server.cpp         the size of the last page served, which the next
//                                 page's body reserves
//   search/match_counts.cpp       whether the last statement asked about may keep its
//                                 count (a text and its answer)
//
// Per request, set as a request begins and cleared as it ends:
//   host/host.h                   the object context (ObjectContextScope)
//   framework/context.cpp         the instance's references to the request's objects
//   host/serve/server.cpp         the connection being served
//   db/sqlite/functions.cpp       the error a SQL function raised in the running statement
//   db/sqlite/handle.cpp          the databases the request opened, their files checked
//                                 at the first open (db::beginRequest)
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <utility>

namespace zurvafun::kept {

namespace detail {
// Moves by one with every clearAll().
inline std::atomic<std::uint64_t> generation{0};
void add(const void* owner, std::function<void()> clear);
void remove(const void* owner);
}  // namespace detail

// Drops every copy kept for the process and, at each thread's next use, that
// thread's state: the next use makes each afresh.
void clearAll();

// A copy kept for the whole process: a T (with a clear() member) that
// clearAll() clears.
//
//   static kept::InProcess<SharedCopy<Menu>> menus;
template <class T>
class InProcess : public T {
 public:
  template <class... Args>
  explicit InProcess(Args&&... args) : T(std::forward<Args>(args)...) {
    detail::add(this, [this] { T::clear(); });
  }
  ~InProcess() { detail::remove(this); }
  InProcess(const InProcess&) = delete;
  InProcess& operator=(const InProcess&) = delete;
};

// A thread's own T, made afresh (value-initialised) at its first use after
// clearAll().
//
//   thread_local kept::PerThread<Buffers> buffers;
//   Buffers& mine = buffers.get();
//
// A reference from get() stays good until the thread's next get().
template <class T>
class PerThread {
 public:
  T& get() {
    const std::uint64_t now = detail::generation.load(std::memory_order_acquire);
    if (made_ != now) {
      value_ = T();
      made_ = now;
    }
    return value_;
  }

 private:
  std::uint64_t made_ = detail::generation.load(std::memory_order_acquire);
  T value_{};
};

}  // namespace zurvafun::kept
