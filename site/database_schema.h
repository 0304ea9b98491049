// The schema of the site's databases (model/schema.h) as the database layer
// takes it in its configuration (db::Config::schema).
#pragma once

#include "db/db.h"

namespace zurvafun::site {

db::Schema databaseSchema();

}  // namespace zurvafun::site
