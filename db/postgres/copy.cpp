// Copies the rows of a database file into a database of a server made with
// the same schema: the demo seeder writes a file, and a site on a server is
// seeded from it (scripts/cluster.sh, the tests and benchmarks on the server).
#include <sqlite3.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>
#include <vector>

#include "db/postgres/postgres.h"
#include "db/sqlite/functions.h"
#include "runtime/error.h"

namespace zurvafun::db::detail::postgres {

namespace {

// A value of the file in COPY's text form for a column of `kind`.
void appendValue(sqlite3_stmt* stmt, int i, ColKind kind, std::string& out) {
  switch (sqlite3_column_type(stmt, i)) {
    case SQLITE_NULL: out += "\\N"; return;
    case SQLITE_INTEGER: out += std::to_string(sqlite3_column_int64(stmt, i)); return;
    case SQLITE_FLOAT: {
      const double d = sqlite3_column_double(stmt, i);
      if (kind == ColKind::Int) {
        out += std::to_string(std::llround(d));
        return;
      }
      char buf[32];
      out.append(buf, std::to_chars(buf, buf + sizeof buf, d).ptr);
      return;
    }
    default: {
      const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt, i));
      const int n = sqlite3_column_bytes(stmt, i);
      for (int k = 0; k < n; ++k) {
        switch (p[k]) {
          case '\\': out += "\\\\"; break;
          case '\t': out += "\\t"; break;
          case '\n': out += "\\n"; break;
          case '\r': out += "\\r"; break;
          default: out += p[k];
        }
      }
    }
  }
}

}  // namespace

void PgHandle::copyFrom(const std::string& file) {
  requireOpen();
  sqlite3* source = nullptr;
  if (sqlite3_open_v2(file.c_str(), &source, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
    const std::string message = source ? sqlite3_errmsg(source) : "cannot open";
    sqlite3_close(source);
    raise(dberr::CommandError, "无法打开数据库文件：" + message);
  }
  registerFunctions(source);
  try {
    const Schema& schema = config().schema;
    for (const auto& [table, oid] : catalog_.tables) {
      if (std::any_of(schema.notCopied.begin(), schema.notCopied.end(),
                      [&](const std::string& kept) { return equalsIgnoreCase(table, kept); }))
        continue;
      // The table's columns in their order on the server; the generated
      // ones the server computes itself.
      std::vector<std::pair<std::string, ColKind>> columns;
      for (auto it = catalog_.columns.lower_bound({oid, 0});
           it != catalog_.columns.end() && it->first.first == oid; ++it)
        if (!it->second.generated) columns.emplace_back(it->second.name, it->second.writeKind);
      std::string names;
      for (const auto& [name, kind] : columns)
        names += (names.empty() ? "\"" : ", \"") + name + "\"";
      sqlite3_stmt* stmt = nullptr;
      const std::string select = "SELECT " + names + " FROM \"" + table + "\"";
      if (sqlite3_prepare_v2(source, select.c_str(), -1, &stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt);
        continue;  // a table the file does not have
      }
      // The rows go in without the table's own triggers: the record of
      // changes is marked moved once at the end instead of row by row.
      exec("ALTER TABLE \"" + table + "\" DISABLE TRIGGER USER");
      PGresult* r = PQexec(conn_, ("COPY \"" + table + "\" (" + names + ") FROM STDIN").c_str());
      if (PQresultStatus(r) != PGRES_COPY_IN) {
        sqlite3_finalize(stmt);
        fail(r);
      }
      PQclear(r);
      std::string chunk;
      int rc;
      while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
        for (size_t i = 0; i < columns.size(); ++i) {
          if (i) chunk += '\t';
          appendValue(stmt, int(i), columns[i].second, chunk);
        }
        chunk += '\n';
        if (chunk.size() > (1 << 20)) {
          PQputCopyData(conn_, chunk.data(), int(chunk.size()));
          chunk.clear();
        }
      }
      sqlite3_finalize(stmt);
      if (!chunk.empty()) PQputCopyData(conn_, chunk.data(), int(chunk.size()));
      PQputCopyEnd(conn_, rc == SQLITE_DONE ? nullptr : "the file could not be read");
      r = PQgetResult(conn_);
      if (PQresultStatus(r) != PGRES_COMMAND_OK) fail(r);
      PQclear(r);
      while ((r = PQgetResult(conn_))) PQclear(r);
      exec("ALTER TABLE \"" + table + "\" ENABLE TRIGGER USER");
      // The identity column goes on after the rows copied.
      if (auto key = catalog_.schema.keys.find(table); key != catalog_.schema.keys.end())
        exec("SELECT setval('\"" + table + "_zvid\"', max(\"" + key->second + "\")) FROM \"" +
             table + "\" WHERE to_regclass('\"" + table + "_zvid\"') IS NOT NULL HAVING max(\"" +
             key->second + "\") IS NOT NULL");
      exec("ANALYZE \"" + table + "\"");
    }
    // The rows came in without the triggers that record and count them.
    for (const auto& [table, statement] : schema.afterCopy)
      if (catalog_.tables.contains(lowerAscii(table))) exec(statement);
  } catch (...) {
    sqlite3_close(source);
    throw;
  }
  sqlite3_close(source);
}

void copyDatabase(const ServerConfig& server, const ConnectionParams& params,
                  const std::string& file) {
  std::shared_ptr<Handle> handle = open(server, params, false);
  if (!handle) raise(dberr::CommandError, "无法连接数据库：" + params.database);
  static_cast<PgHandle&>(*handle).copyFrom(file);
}

}  // namespace zurvafun::db::detail::postgres
