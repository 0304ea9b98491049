#include "site/database_schema.h"

#include "model/schema.h"

namespace zurvafun::site {

db::Schema databaseSchema() {
  return {.sql = schema::sql(),
          .addedMemberColumns = schema::addedMemberColumns(),
          .notCopied = schema::notCopied(),
          .afterCopy = schema::afterCopy()};
}

}  // namespace zurvafun::site
