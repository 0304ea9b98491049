// The advanced search form: weight, native region and household register,
// behind the silver-member gate.
#include "model/regions.h"
#include "search/criteria_form.h"

namespace zurvafun::search {

namespace {

using html::trusted;

constexpr const char* kWeightChange = "Dis_SelectValue2(form3.weightfrom,form3.weightto,weightfromText,'');";
constexpr const char* kAncestorChange = "Dis_SelectValue(form3.ancestor,provinceText,'');";
constexpr const char* kProvinceChange =
    "changelocation(form3.province.options[form3.province.selectedIndex],form3.city,residencefromText,"
    "residencefromText)";
constexpr const char* kCityChange =
    "get_CityName(residencefromText,form3.province.options[form3.province.selectedIndex],form3.city.options["
    "form3.city.selectedIndex]);";

constexpr html::Fragment kWeightSelects =
    R"~(<select name="weightfrom" id="weight" onChange="{{change}}">{{options}}</select>)~"
    R"~(<select name="weightto" id="select" onChange="{{change}}">{{options}}</select>)~";

constexpr html::Fragment kAncestorSelect =
    R"~(<select name="ancestor" onChange="{{change}}"><OPTION value="" selected>请选择--</OPTION>{{regions}}</SELECT>)~";

constexpr html::Fragment kHouseholdSelects =
    R"~(<FONT color=#333333><select name="province" id="province" size="1" onChange="{{provinceChange}}">)~"
    R"~(<OPTION value="0" selected>请选择</OPTION>{{regions}}</SELECT></FONT><FONT color=#333333>)~"
    R"~(<select name="city" id="city" size="1" onChange="{{cityChange}}"><OPTION value="0" selected>请选择</OPTION></SELECT>)~";

std::string regionOptions() {
  std::string options;
  for (std::string_view region : regions::kProvinces)
    options += "<OPTION value=" + std::string(region) + ">" + std::string(region) + "</OPTION>";
  return options;
}

}  // namespace

void writeWeightAndRegionGroups(const CriteriaForm& form, std::string& out) {
  using namespace member;
  const bool closed = form.silverGateClosed();

  out += triggerLine("体重：", "weightfromText", noLimit()).str();
  out += std::string(kPanel) + R"~(<font color="#333333">&nbsp;</font>)~";
  if (closed) {
    out += kSilverNote;
  } else {
    const Range weight = form.saved.range(kWeightRange);
    const std::string options = R"~(<option value="" selected>不限</option>)~" + numberOptions(30, 200);
    kWeightSelects.appendTo(out, {{"change", trusted(kWeightChange)}, {"options", trusted(options)}});
    // The searches run over the weights only (indexes 1 to 171).
    out += rangeScript({"weightfrom", "weightto", kWeightChange, kWeightChange, false, 1, 171}, weight.low,
                       weight.high)
               .str();
    out += "kg";
  }
  out += "</div>";

  const std::string regions = regionOptions();
  out += triggerLine("祖籍：", "provinceText", noLimit()).str();
  out += R"~(<div class="select elementnormal elementcollapsed" style="">)~";
  if (closed) {
    out += kSilverNote;
  } else {
    kAncestorSelect.appendTo(out, {{"change", trusted(kAncestorChange)}, {"regions", trusted(regions)}});
    out += selectScript("ancestor", kAncestorChange, form.saved.items[kAncestor], true).str();
  }
  out += "</div>";

  out += triggerLine("户籍：", "residencefromText", noLimit()).str();
  out += kPanel;
  if (closed) {
    out += kSilverNote;
    out += "</div>";
    return;
  }
  const Range household = form.saved.range(kHousehold);
  kHouseholdSelects.appendTo(out, {{"provinceChange", trusted(kProvinceChange)},
                                   {"regions", trusted(regions)},
                                   {"cityChange", trusted(kCityChange)}});
  out += rangeScript({"province", "city", std::string(kProvinceChange) + ";", kCityChange, true}, household.low,
                     household.high)
             .str();
  out += "</FONT> </div>";
}

}  // namespace zurvafun::search
