// The advanced search's criteria form, written in three stretches that share
// the building blocks of a criteria group: the trigger line with its label
// and summary span, the collapsed choice panel, and the scripts that show the
// member's saved choice again.
#pragma once

#include <string>
#include <string_view>

#include "framework/html.h"
#include "profile/member_record.h"
#include "runtime/variant.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::search {

// What every stretch reads: the member's grade (cookie text), the free-access
// switch, and the saved criteria with every missing item at its no-limit
// value.
struct CriteriaForm {
  Variant grade;
  member::Criteria saved;

  bool silverGateClosed() const;  // grade 1: no silver-member groups
  bool goldGateClosed() const;    // below grade 3: no gold-member groups
};

// The saved criteria as the form shows them: an item that is missing or
// empty, or the missing half of a range, takes the no-limit value of its
// criterion (ages 10 to 70, education 122 to 127, "0" for places and the
// time ranges, empty for the rest).
member::Criteria criteriaForForm(std::string_view stored);

// The trigger line: label and summary span with its initial summary.
html::Html triggerLine(std::string_view label, std::string_view span, const html::Html& summary);
// The initial summary of most groups: "不限" in the no-limit font.
html::Html noLimit();

// The script that pre-selects a pair of selects from a saved range.
struct RangeScript {
  std::string_view from, to;  // the two selects' names
  std::string_view call;      // the summary call after the from select matched
  std::string_view toCall;    // the summary call after the to select matched
  bool guarded = false;       // "if (cc!=0)" before each call
  int first = 0, last = 100;  // the indexes searched
};
html::Html rangeScript(const RangeScript& script, const std::string& a, const std::string& b);

// The script that pre-selects one select (the summary call is skipped when
// the no-choice option at index 0 matched); `typed` writes the script element
// with its type and a "//" before the end tag.
html::Html selectScript(std::string_view select, std::string_view call, const std::string& a, bool typed);

// The stretches, appended to `out` in the form's order.
void writeBasicGroups(const CriteriaForm& form, const html::Html& provinceSelect, std::string& out);
void writeWeightAndRegionGroups(const CriteriaForm& form, std::string& out);
void writeLastGroups(zurva& z, const CriteriaForm& form, const Variant& freeAccess, std::string& out);

}  // namespace zurvafun::search
