// Which statements may have their number of matches kept.
#include <gtest/gtest.h>

#include "search/match_counts.h"

namespace zurvafun::search {
namespace {

TEST(MatchCountsTest, OnlyStatementsOnTheFollowedColumnsAreKept) {
  struct Case {
    const char* statement;
    bool keepable;
  };
  const Case cases[] = {
      // The criteria search's own conditions on the followed columns.
      {"select top 200 * from zurva_user  where sex=577 and cast(left(userdata,4) as int)<=2006 "
       "and "
       "cast(height_ as int)>=160 and SUBSTRING(userdata,CHARINDEX('#12',userdata)+1,3)>=122 and "
       "ifclose=0 and iferro=0 and ifdel=0 and (userid>5 or userid<5) order by grade desc,trust "
       "desc",
       true},
      {"select top 200 * from zurva_user  where sex=577 and field='174' and trust<='3' and "
       "smallphoto like 'smallphoto%.jpg1' order by addtime desc,grade desc,trust desc",
       true},
      // A literal may hold any word.
      {"select * from zurva_user where nickname='lasttime -- [x] ''; getdate()'", true},
      // Columns the record of changes does not follow, the clock, other tables.
      {"select * from zurva_user where sex=577 order by lasttime desc,grade desc", false},
      {"select * from zurva_user where sex=577 and left(pay,3)>=200", false},
      {"select * from zurva_user where sex=577 and online=1", false},
      {"select * from zurva_user where zurvauser='a@example.com'", false},
      {"select * from zurva_user where addtime > DateAdd(\"d\",-7 , GetDate())", false},
      {"select * from zurva_user where sex=577 and userid in (select userid from friends)", false},
      {"select * from zurva_user u where u.sex=577", false},
      // Names and text the scan does not read: quoted or bracketed names,
      // variables, comments, a literal left open, a second statement.
      {"select * from [zurva_user] where sex=577", false},
      {"select * from zurva_user where sex=@sex", false},
      {"select * from zurva_user where sex=577 -- and ifdel=0", false},
      {"select * from zurva_user where sex=577 /* x */", false},
      {"select * from zurva_user where nickname='open", false},
      {"select * from zurva_user where sex=577; delete from zurva_user", false},
      {"select * from zurva_user where sex=1e3", false},
  };
  for (const Case& c : cases) EXPECT_EQ(countKeepable(c.statement), c.keepable) << c.statement;
}

}  // namespace
}  // namespace zurvafun::search
