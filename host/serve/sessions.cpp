#include "host/serve/sessions.h"

#include "host/serve/cookies.h"

namespace zurvafun::serve {

SessionStore::SessionStore(Clock::duration idleTimeout, std::size_t maxSessions)
    : idleTimeout_(idleTimeout), maxSessions_(maxSessions < 1 ? 1 : maxSessions) {}

std::shared_ptr<SessionStore::Entry> SessionStore::find(std::string_view id, Clock::time_point now) {
  std::lock_guard lock(mutex_);
  dropExpired(now);
  const auto it = entries_.find(std::string(id));
  if (it == entries_.end()) return nullptr;
  Entry& entry = *it->second;
  entry.lastUsed = now;
  order_.splice(order_.begin(), order_, entry.order);
  return it->second;
}

std::shared_ptr<SessionStore::Entry> SessionStore::add(std::shared_ptr<host::Session> session,
                                                       Clock::time_point now) {
  auto entry = std::make_shared<Entry>();
  entry->session = std::move(session);
  entry->lastUsed = now;
  const std::string& id = entry->session->SessionID;
  std::lock_guard lock(mutex_);
  dropExpired(now);
  if (const auto old = entries_.find(id); old != entries_.end()) drop(old->second->order);
  while (entries_.size() >= maxSessions_) drop(std::prev(order_.end()));
  order_.push_front(id);
  entry->order = order_.begin();
  entries_.emplace(id, entry);
  return entry;
}

std::size_t SessionStore::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

void SessionStore::dropExpired(Clock::time_point now) {
  // The use order runs from the most to the least recently used, so the
  // expired sessions are all at its end.
  while (!order_.empty()) {
    const auto last = std::prev(order_.end());
    if (now - entries_.at(*last)->lastUsed <= idleTimeout_) break;
    drop(last);
  }
}

void SessionStore::drop(std::list<std::string>::iterator position) {
  entries_.erase(*position);
  order_.erase(position);
}

std::string SessionStore::newId() {
  unsigned char bytes[16];
  randomBytes(bytes, sizeof bytes);
  std::string id;
  id.reserve(32);
  for (unsigned char b : bytes) {
    id += "0123456789abcdef"[b >> 4];
    id += "0123456789abcdef"[b & 15];
  }
  return id;
}

}  // namespace zurvafun::serve
