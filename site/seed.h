// Demo data: a new SQLite database holding members, friendships, messages,
// gifts, parties, a poll and the region menus, for the demo server, the tests
// and the benchmarks.
//
// The content is deterministic for a given member count and seed: the same
// call gives the same rows. Dates are placed relative to the component's clock
// (clockNow), so a fixed clock gives fixed dates as well.
//
// Demo accounts (userid 1 to 3, every one with a complete profile):
//
//   userid  zurvauser (login)    nickname   password  standing
//   1       demo1@example.com    演示一号   demo123   woman, verified, gold card (grade 3), 1000 E币
//   2       demo2@example.com    演示二号   demo456   man, verified, silver card (grade 2), 200 E币
//   3       demo3@example.com    演示三号   demo789   man, verified, locked (ifdel=1): login refused
//
// Demo members 1 and 2 are accepted friends with a conversation (one message
// to member 1 still unread) and a gift; member 1 organises a party that member
// 2 has signed up for. For the interaction pages member 1 also has up to eight
// more friends, a held party still without its summary, and member 2 an
// unread message from her. Members 4 to 15 have running showcase days (wanted
// age 25-45) and approved head photos; 4 and 5 are placed on the home page, 6
// and 7 on the Guangzhou page; demo member 2 has 5 free showcase days not
// started. Every other member N logs in as memberN@example.com with the
// password "123456".
#pragma once

#include <string>

namespace zurvafun::seed {

struct DemoAccount {
  const char* zurvauser;
  const char* nickname;
  const char* password;
};

inline constexpr DemoAccount kDemoAccounts[] = {
    {"demo1@example.com", "演示一号", "demo123"},
    {"demo2@example.com", "演示二号", "demo456"},
    {"demo3@example.com", "演示三号", "demo789"},
};

// The password of every generated member that is not a demo account.
inline constexpr const char* kMemberPassword = "123456";

// Creates the database file at `path` with the schema and `members` members
// (at least the three demo accounts). Refuses (std::runtime_error) when the
// file already exists, so an existing database is never overwritten.
void createDemoDatabase(const std::string& path, int members = 3000, unsigned seed = 1);

// Brings the database file at `path`, made by an earlier version, up to the
// schema: adds the columns of zurva_user it lacks (their defaults fill the
// existing rows), then the tables, indexes, triggers and rows of the schema
// it lacks (every statement of the schema leaves what exists as it is).
// Throws std::runtime_error when the file cannot be changed.
void updateSchema(const std::string& path);

}  // namespace zurvafun::seed
