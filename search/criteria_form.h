// The advanced search's criteria form, written in three stretches that share
// the building blocks of a criteria group: the trigger line with its label
// and summary span, the collapsed choice panel, and the scripts that show the
// member's saved choice again.
#pragma once

#include <string>
#include <string_view>

#include "framework/html.h"
#include "model/member_record.h"
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

// The collapsed choice panel every group opens, the grey font most panels
// write their choices in, and the note a closed silver-member gate shows.
inline constexpr const char* kPanel = R"~(<div class="select elementnormal elementcollapsed">)~";
inline constexpr const char* kGreyFont = R"~(<font color="#333333">)~";
inline constexpr const char* kSilverNote = R"~(<font color="#0099ff">只有银卡会员才能使用此选项</font>)~";

// The trigger line: label and summary span with its initial summary.
html::Html triggerLine(std::string_view label, std::string_view span, const html::Html& summary);
// The initial summary of most groups: "不限" in the no-limit font.
html::Html noLimit();

// A script element that runs one summary call.
std::string summaryScript(std::string_view call);

// "<option value="n">n</option>" for each n from `first` to `last`.
std::string numberOptions(int first, int last);

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
