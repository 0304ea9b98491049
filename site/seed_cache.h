// Large demo databases seeded once and kept between runs, for the tests and
// the benchmarks that need one: seeding 100,000 members takes about a minute,
// copying the kept file a fraction of a second.
//
// A kept file lives in a cache folder under the number of members and a
// fingerprint of what the seeder makes (the schema and every row of a small
// seed, made under a fixed clock): a change of either seeds afresh. Its dates
// lie relative to the moment it was seeded. Processes that want the same file
// at once seed it once: the others wait for it.
#pragma once

#include <filesystem>
#include <string>

namespace zurvafun::seed {

// The cache folder: ZURVA_SEED_CACHE, else zurva-seed-cache in the
// temporary folder.
std::filesystem::path defaultCacheFolder();

// The kept demo database of `members` members in `folder` (made when
// missing), to be copied and not opened: a database that is written changes.
std::filesystem::path keptDemoDatabase(const std::filesystem::path& folder, int members);

// Makes `file` (which must not exist) a copy of the kept demo database of
// `members` members of the default cache folder.
void copyKeptDemoDatabase(int members, const std::string& file);

}  // namespace zurvafun::seed
