#include "search/match_counts.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <mutex>
#include <optional>
#include <unordered_map>
#include <vector>

#include "db/db.h"
#include "framework/data_versions.h"
#include "runtime/kept.h"

namespace zurvafun::search {

namespace {

// The words a keepable statement may hold, in lower case: the words of the
// select and of the conditions the criteria search writes, the text
// functions it uses (each gives the same result for the same row), the
// table, and the columns whose every change moves the members' version (the
// columns the trigger zurva_user_shown_changed of model/schema.cpp compares).
constexpr std::string_view kKeepableWords =
    " select top from where and or not order by desc asc cast as int like is null in between"
    " substring charindex left right len"
    " zurva_user"
    " userid ok ifclose ifdel iferro smallphoto citymoney maincity nextcitymoney nextcity userdata"
    " nickname grade trust photo sex field height_ weight_ aboutus ifphotolook addtime ";

// The most matches whose order is kept: the criteria search shows the top 200.
constexpr long kMostKeys = 200;

// The words of kKeepableWords, sorted: the scan of every result page looks
// up each word of its statement.
const std::vector<std::string_view>& keepableWords() {
  static const std::vector<std::string_view> words = [] {
    std::vector<std::string_view> list;
    for (std::size_t at = 0; at < kKeepableWords.size(); ++at) {
      const std::size_t end = std::min(kKeepableWords.find(' ', at), kKeepableWords.size());
      if (end > at) list.push_back(kKeepableWords.substr(at, end - at));
      at = end;
    }
    std::sort(list.begin(), list.end());
    return list;
  }();
  return words;
}

bool keepableWord(std::string_view word) {
  return std::binary_search(keepableWords().begin(), keepableWords().end(), word);
}

struct Kept {
  data_versions::Stamp stamp;
  long count = 0;
  // The member numbers of the matches in the statement's order, when the
  // database reads them in an order that their values alone decide; shared,
  // so that a request takes them without copying them under the lock.
  std::shared_ptr<const std::vector<std::int64_t>> keys;
};

// The counts and orders by database and statement. A few hundred searches
// differ at a time; past that the whole store starts again.
class Counts {
 public:
  // What is kept for `key`, of whatever stamp.
  std::optional<Kept> find(const std::string& key) {
    std::lock_guard lock(mutex_);
    const auto it = counts_.find(key);
    if (it == counts_.end()) return std::nullopt;
    return it->second;
  }
  void keep(std::string key, Kept kept) {
    std::lock_guard lock(mutex_);
    if (counts_.size() >= kMost) counts_.clear();
    counts_.insert_or_assign(std::move(key), std::move(kept));
  }
  void clear() {
    std::lock_guard lock(mutex_);
    counts_.clear();
  }

 private:
  static constexpr std::size_t kMost = 512;
  std::mutex mutex_;
  std::unordered_map<std::string, Kept> counts_;
};

kept::InProcess<Counts> counts;

}  // namespace

bool countKeepable(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    if (c == '\'') {
      // A literal, its doubled quotes inside it.
      for (++i;; ++i) {
        if (i >= s.size()) return false;
        if (s[i] == '\'') {
          if (i + 1 < s.size() && s[i + 1] == '\'')
            ++i;
          else
            break;
        }
      }
      ++i;
    } else if (std::isdigit(c)) {
      while (i < s.size() && (std::isdigit(static_cast<unsigned char>(s[i])) || s[i] == '.')) ++i;
    } else if (std::isalpha(c) || c == '_') {
      const std::size_t begin = i;
      // In lower case; a word longer than the buffer is none of the list's.
      char word[24];
      std::size_t length = 0;
      for (; i < s.size() && (std::isalnum(static_cast<unsigned char>(s[i])) || s[i] == '_'); ++i) {
        if (length == sizeof word) return false;
        word[length++] = static_cast<char>(std::tolower(static_cast<unsigned char>(s[i])));
      }
      if (begin > 0 && s[begin - 1] == '.') return false;  // a qualified name
      if (!keepableWord(std::string_view(word, length))) return false;
    } else if ((c == '-' && i + 1 < s.size() && s[i + 1] == '-') ||
               (c == '/' && i + 1 < s.size() && s[i + 1] == '*')) {
      return false;  // a comment
    } else if (std::string_view("<>=!()+-*/%,. \t\r\n").find(static_cast<char>(c)) ==
               std::string_view::npos) {
      return false;  // a quoted or bracketed name, a variable, a second statement…
    } else {
      ++i;
    }
  }
  return true;
}

namespace {

// countKeepable of `statement`, scanned once for a run of the same statement:
// the pages of one search open it again and again. Each thread keeps the last
// statement it asked about.
bool countKeepableAsked(std::string_view statement) {
  struct Last {
    std::string statement;
    bool keepable = false;
  };
  thread_local Last last;
  if (last.statement.empty() || last.statement != statement) {
    last.keepable = countKeepable(statement);
    last.statement.assign(statement);
  }
  return last.keepable;
}

}  // namespace

void openCounted(db::Recordset& rs, const std::string& statement, db::Connection& conn,
                 const std::string& database) {
  std::optional<data_versions::Stamp> stamp;
  if (countKeepableAsked(statement)) stamp = data_versions::members(conn, database);
  if (!stamp) return rs.OpenPaged(statement, conn);
  std::string key = database;
  key += '\0';
  key += statement;
  const std::optional<Kept> kept = counts.find(key);
  if (kept && kept->stamp == *stamp) {
    if (kept->keys) return rs.OpenPaged(statement, {"userid", *kept->keys}, conn);
    return rs.OpenPaged(statement, "select " + std::to_string(kept->count), conn);
  }
  // The stamp was read before the rows: a change made meanwhile moves the
  // version, and the next request reads them again. A statement whose rows
  // came sorted before (the database's plan for it stays) is only counted.
  if (!kept || kept->keys) {
    if (std::optional<std::vector<std::int64_t>> keys =
            db::Recordset::orderedKeys(statement, "userid", kMostKeys, conn)) {
      counts.keep(std::move(key), Kept{*stamp, long(keys->size()),
                                       std::make_shared<const std::vector<std::int64_t>>(*keys)});
      return rs.OpenPaged(statement, {"userid", std::move(*keys)}, conn);
    }
  }
  rs.OpenPaged(statement, conn);
  counts.keep(std::move(key), Kept{*stamp, rs.RecordCount(), nullptr});
}

}  // namespace zurvafun::search
