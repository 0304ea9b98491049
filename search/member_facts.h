// The facts of one member as the search result rows and the quick-search
// cards show them: labels of the profile codes, the age, the household place,
// the looks and the prepared self-introduction. Stored values are escaped for
// HTML; a Null, short or malformed value shows as empty text and never fails.
#pragma once

#include <string>

#include "framework/html.h"
#include "runtime/variant.h"

namespace zurvafun {
class zurva;
}
namespace zurvafun::db {
class Recordset;
}

namespace zurvafun::search {

// Which label set the education code uses: the result row labels 128
// ("双学士"), the quick-search card does not.
enum class EducationLabels { WithDoubleDegree, WithoutDoubleDegree };

struct MemberFacts {
  std::string sex;         // "绅士", "淑女" or ""
  std::string age;         // current year minus the birth year, "" when not a number
  std::string occupation;  // label of the occupation code
  std::string household;   // item 7 ("province-city"), escaped
  std::string marital;     // label with its blanks
  std::string education;   // label with its blanks
  std::string height;      // height_, escaped
  std::string weight;      // weight_, escaped
  std::string looks;       // "未填", "满分", "<n>分"
  std::string nativeRegion;  // item 4, escaped
};

MemberFacts memberFacts(const db::Recordset& rs, EducationLabels labels);

// The two fact lines as both lists write them:
//   "sex，age(岁)，occupation"
//   "household，marital，education， heightcm，weightkg，"
html::Html personalLine(const MemberFacts& f);
html::Html profileLine(const MemberFacts& f);

// The self-introduction: HTML-encoded, line breaks as two blanks, trimmed,
// bad words starred, cut to 200 characters. A Null text gives "".
std::string preparedIntroduction(zurva& z, const Variant& aboutus);

}  // namespace zurvafun::search
