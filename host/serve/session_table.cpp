#include "host/serve/session_table.h"

#include <algorithm>
#include <chrono>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "runtime/error.h"

namespace zurvafun::serve {

namespace {

// Ordered: the values come back in the order the page set them.
using json = nlohmann::ordered_json;

// A value with its type: [type, value], an array's value its items.
json valueJson(const Variant& v) {
  const int type = static_cast<int>(v.type());
  switch (v.type()) {
    case VarType::Empty:
    case VarType::Null: return json::array({type});
    case VarType::Boolean: return json::array({type, v.wholeValue() != 0});
    case VarType::Integer:
    case VarType::Long: return json::array({type, v.wholeValue()});
    case VarType::Double:
    case VarType::Date: return json::array({type, v.doubleValue()});
    case VarType::Currency: return json::array({type, v.currencyScaledValue()});
    case VarType::String: return json::array({type, v.stringValue()});
    case VarType::Array: {
      json items = json::array();
      for (const Variant& item : v.arrayValue()) items.push_back(valueJson(item));
      return json::array({type, std::move(items)});
    }
  }
  return json::array({static_cast<int>(VarType::Empty)});
}

Variant valueOf(const json& j) {
  if (!j.is_array() || j.empty() || !j[0].is_number_integer()) return Variant();
  const auto type = static_cast<VarType>(j[0].get<int>());
  const json* value = j.size() > 1 ? &j[1] : nullptr;
  if (!value) return type == VarType::Null ? Variant::null() : Variant();
  switch (type) {
    case VarType::Boolean: return Variant(value->get<bool>());
    case VarType::Integer: return Variant::integer(value->get<std::int16_t>());
    case VarType::Long: return Variant::lng(value->get<std::int32_t>());
    case VarType::Double: return Variant(value->get<double>());
    case VarType::Date: return Variant::date(value->get<double>());
    case VarType::Currency: return Variant::currencyScaled(value->get<std::int64_t>());
    case VarType::String: return Variant(value->get<std::string>());
    case VarType::Array: {
      VariantArray items;
      for (const json& item : *value) items.push_back(valueOf(item));
      return Variant(std::move(items));
    }
    default: return Variant();
  }
}

}  // namespace

SessionTable::SessionTable(db::ConnectionParams params, double idleSeconds, std::size_t maxSessions)
    : params_(std::move(params)),
      idleSeconds_(idleSeconds),
      refreshSeconds_(std::min(60.0, idleSeconds / 10)),
      maxSessions_(std::max<std::size_t>(1, maxSessions)) {}

SessionTable::Seconds SessionTable::wallClock() {
  return std::chrono::duration<double>(std::chrono::system_clock::now().time_since_epoch()).count();
}

db::Connection& SessionTable::open(db::Connection& conn) const {
  if (!conn.Open(params_)) raise(err::InvalidCall, "the sessions' database cannot be opened");
  return conn;
}

void SessionTable::createTable() {
  db::Connection conn;
  if (!conn.Open(params_))
    throw std::runtime_error("cannot open the database " + params_.database + " on " +
                             params_.server + " for the sessions");
  // Two servers starting at once may both make it: the second finds it made.
  for (int attempt = 0;; ++attempt) {
    try {
      conn.ExecuteAction(
          "CREATE TABLE IF NOT EXISTS zurva_sessions (id VARCHAR(32) PRIMARY KEY, data TEXT, "
          "lastused FLOAT)");
      conn.ExecuteAction(
          "CREATE INDEX IF NOT EXISTS ix_zurva_sessions_lastused ON zurva_sessions (lastused)");
      return;
    } catch (const VbError&) {
      if (attempt > 0) throw;
    }
  }
}

std::shared_ptr<std::mutex> SessionTable::turnOf(const std::string& id) {
  std::lock_guard lock(turnsMutex_);
  std::weak_ptr<std::mutex>& slot = turns_[id];
  std::shared_ptr<std::mutex> turn = slot.lock();
  if (!turn) {
    turn = std::make_shared<std::mutex>();
    slot = turn;
  }
  if (turns_.size() > turnsBound_) {
    // Only the sessions whose requests run right now hold their turn.
    std::erase_if(turns_, [](const auto& item) { return item.second.expired(); });
    turnsBound_ = std::max<std::size_t>(1024, 2 * turns_.size());
  }
  return turn;
}

SessionTable::Held SessionTable::find(std::string_view id, Seconds now) {
  Held held;
  const std::string key(id);
  held.turnMutex = turnOf(key);
  held.turn = std::unique_lock(*held.turnMutex);
  db::Connection conn;
  db::Recordset rs =
      open(conn).Execute("select data, lastused from zurva_sessions where id=? and lastused>?",
                         {Variant(key), Variant(now - idleSeconds_)});
  if (rs.eof()) {
    held.turn = {};
    held.turnMutex.reset();
    return held;
  }
  held.session = std::make_shared<host::Session>();
  held.session->SessionID = key;
  readValues(rs("data").str(), *held.session);
  held.version = held.session->version();
  held.lastUsed = CDbl(rs("lastused"));
  return held;
}

void SessionTable::keep(Held& held, Seconds now) {
  if (!held.session) return;
  const bool changed = held.session->version() != held.version;
  if (changed || now - held.lastUsed >= refreshSeconds_) {
    db::Connection conn;
    if (changed)
      open(conn).ExecuteAction(
          "update zurva_sessions set data=?, lastused=? where id=?",
          {Variant(valuesText(*held.session)), Variant(now), Variant(held.session->SessionID)});
    else
      open(conn).ExecuteAction("update zurva_sessions set lastused=? where id=?",
                               {Variant(now), Variant(held.session->SessionID)});
  }
  held.turn = {};
  held.turnMutex.reset();
}

void SessionTable::add(const host::Session& session, Seconds now) {
  db::Connection conn;
  open(conn).ExecuteAction(
      "insert into zurva_sessions (id, data, lastused) values (?, ?, ?)",
      {Variant(session.SessionID), Variant(valuesText(session)), Variant(now)});
  {
    // The expired sessions go now and then, by whichever server comes first.
    std::lock_guard lock(sweepMutex_);
    if (now - lastSweep_ >= refreshSeconds_) {
      lastSweep_ = now;
      conn.ExecuteAction("delete from zurva_sessions where lastused<=?",
                         {Variant(now - idleSeconds_)});
    }
  }
  const long count = CLng(conn.Execute("select count(*) from zurva_sessions")(0));
  if (count > static_cast<long>(maxSessions_))
    conn.ExecuteAction("delete from zurva_sessions where id in (select top " +
                       std::to_string(count - static_cast<long>(maxSessions_)) +
                       " id from zurva_sessions order by lastused)");
}

std::string SessionTable::valuesText(const host::Session& session) {
  json values = json::object();
  for (const std::string& name : session.names()) values[name] = valueJson(session(name));
  return values.dump(-1, ' ', false, json::error_handler_t::replace);
}

void SessionTable::readValues(std::string_view text, host::Session& session) {
  // A damaged row gives a session without values.
  const json values = json::parse(text, nullptr, false);
  if (!values.is_object()) return;
  try {
    for (const auto& [name, value] : values.items()) session.set(name, valueOf(value));
  } catch (const json::exception&) {
    session.clear();
  }
}

}  // namespace zurvafun::serve
