#include "framework/data_versions.h"

#include <algorithm>
#include <chrono>
#include <unordered_map>

#include "db/db.h"
#include "framework/sql.h"
#include "runtime/error.h"
#include "runtime/kept.h"

namespace zurvafun::data_versions {

namespace {

std::int64_t whole(const Variant& v) { return static_cast<std::int64_t>(CDbl(v)); }

// The versions of one database as a thread read them last, and when.
struct Read {
  std::uint64_t commits = 0;
  std::chrono::steady_clock::time_point at;
  std::optional<std::int64_t> database, members, settings, polls;
};

const Read& versions(db::Connection& conn, const std::string& database) {
  thread_local kept::PerThread<std::unordered_map<std::string, Read>> mine;
  std::unordered_map<std::string, Read>& last = mine.get();
  constexpr auto kOtherProcesses = std::chrono::seconds(1);

  const std::uint64_t commits = db::commitCount();
  const auto now = std::chrono::steady_clock::now();
  if (const auto kept = last.find(database); kept != last.end() &&
                                             kept->second.commits == commits &&
                                             now - kept->second.at < kOtherProcesses)
    return kept->second;
  if (last.size() >= 64) last.clear();  // databases come and go (tests): forget the others
  Read& read = last[database];
  read = Read{};
  read.commits = commits;
  read.at = now;
  try {
    for (db::Recordset rs = conn.Execute("select name,version from zurva_versions"); !rs.eof();
         rs.MoveNext()) {
      const std::string name = rs(0).str();
      std::optional<std::int64_t>* version = name == "database"   ? &read.database
                                             : name == "members"  ? &read.members
                                             : name == "settings" ? &read.settings
                                             : name == "polls"    ? &read.polls
                                                                  : nullptr;
      if (version) *version = whole(rs(1));
    }
  } catch (const VbError&) {
    // No such table: a database made before the record existed.
  }
  return read;
}

std::optional<Stamp> stamp(const std::optional<std::int64_t>& database,
                           const std::optional<std::int64_t>& version) {
  if (!database || !version) return std::nullopt;
  return Stamp{*database, *version};
}

}  // namespace

std::optional<Stamp> members(db::Connection& conn, const std::string& database) {
  const Read& read = versions(conn, database);
  return stamp(read.database, read.members);
}

std::optional<Stamp> settingsRow(db::Connection& conn, const std::string& database) {
  const Read& read = versions(conn, database);
  return stamp(read.database, read.settings);
}

std::optional<Stamp> polls(db::Connection& conn, const std::string& database) {
  const Read& read = versions(conn, database);
  return stamp(read.database, read.polls);
}

std::optional<std::vector<std::int32_t>> changedMembers(db::Connection& conn, const Stamp& from,
                                                        const Stamp& to, std::size_t most) {
  if (!to.atOrAfter(from) || std::uint64_t(to.version - from.version) > most) return std::nullopt;
  std::vector<std::int32_t> ids;
  std::int64_t records = 0;
  try {
    for (db::Recordset rs = conn.Execute(sql::statement(
             "select version,userid from zurva_member_changes where version>={} and version<={}",
             from.version, to.version));
         !rs.eof(); rs.MoveNext()) {
      ++records;
      if (whole(rs(0)) != from.version) ids.push_back(static_cast<std::int32_t>(whole(rs(1))));
    }
  } catch (const VbError&) {
    return std::nullopt;
  }
  // The versions run without a gap: a record missing means it was pruned.
  if (records != to.version - from.version + 1) return std::nullopt;
  std::sort(ids.begin(), ids.end());
  ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
  return ids;
}

}  // namespace zurvafun::data_versions
