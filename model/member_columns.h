// The columns of the member table zurva_user, in the table's order: what each
// holds, how the database declares it, and for the columns a profile form
// posts, the form field, the rule its value must meet and the label the
// forms and their refusals give it. The schema's CREATE TABLE, the profile
// forms' row reader, the check of a posted profile and the demo seeder read
// the columns here, so a new column of the member is added in this table (and
// in the form rows that show it).
#pragma once

#include <span>
#include <string>
#include <string_view>

#include "model/code_tables.h"

namespace zurvafun::member {

// What a column holds, and so how the database declares it.
enum class Kind {
  Key,       // the member number: INTEGER PRIMARY KEY AUTOINCREMENT
  Whole,     // a whole number or a flag: INTEGER
  Money,     // an exact amount: MONEY
  Date,      // "yyyy-mm-dd hh:mm:ss" text: DATETIME
  Text,      // text of at most `size` characters, compared as the collation ZV does
  LongText,  // text without a bound: TEXT
};

// How the profile forms post a column.
enum class Rule {
  None,      // no profile form posts it (status, counters, pictures, money, logins)
  Custom,    // the profile check builds it by its own steps: a packed column
             // of several posted items (see Column::layout), or a value with a
             // refusal of its own
  Code,      // one of `codes`
  Number,    // a whole number from `low` to `high`
  FreeText,  // at most `high` characters, without "#" (the packed columns' separator)
};

// The packed layout of a column, read and built by model/member_record.h.
enum class Layout {
  Plain,      // the value as it stands
  UserData,   // readUserData / buildUserData
  Name,       // readName / buildName
  IdNo,       // readIdNo / buildIdNo
  Pay,        // readPay / buildPay
  Mobile,     // readMobile / buildMobile
  Lianxi,     // readLianxi / buildLianxi
  UserBz,     // readUserBz / buildUserBz
  Nosou,      // readNosou / buildNosou
  PhotoList,  // readPhotoList / buildPhotoList
  Photo,      // one photoEntry: a file name and its approval flag
};

struct Column {
  std::string_view name;
  Kind kind;
  int size = 0;                        // Text: the declared length
  std::string_view defaultValue = {};  // the declared DEFAULT, "" for none
  Layout layout = Layout::Plain;
  std::string_view label = {};  // what the forms call it ("" for none)
  std::string_view field = {};  // the profile forms' field that posts it
  Rule rule = Rule::None;
  const codes::Table* codes = nullptr;  // Rule::Code: the codes it takes
  bool optional = false;                // Rule::Code: an empty value is kept as ""
  int low = 0, high = 0;                // Rule::Number bounds; Rule::FreeText: high is the length
  // Added after the member table's first version: an older database file gets
  // the column on start.
  bool added = false;
  // For a column the database derives from the others: the expression (in
  // the dialect's functions) that computes it on every write; no statement
  // writes it. "" for a stored column.
  std::string_view generated = {};
};

// Every column of zurva_user in the table's order.
extern const std::span<const Column> kColumns;

// The column named `name` (as the table spells it); nullptr when there is none.
const Column* column(std::string_view name);

// The declaration CREATE TABLE and ALTER TABLE … ADD COLUMN take for the
// column: type, collation and default, e.g. "VARCHAR(50) COLLATE ZV".
std::string declaration(const Column& column);

}  // namespace zurvafun::member
