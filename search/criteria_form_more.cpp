// The advanced search form: housing and occupation behind the silver-member
// gate, member class, verification level and last login behind the
// gold-member gate, the end of the form and the single search box.
#include "framework/zurva.h"
#include "search/criteria_form.h"

namespace zurvafun::search {

namespace {

using html::trusted;

constexpr const char* kGoldNote = R"~(<font color="#ff6600">只有金卡会员才能使用此选项</font>)~";

constexpr const char* kHousingChange = "Dis_SelectValue(form3.housesta,houseText,'');";
constexpr const char* kJobChange = "Dis_SelectValue(form3.job,jobidText,'');";
constexpr const char* kClassChange = "Dis_SelectValue(form3.ptype,ptypeText,'');";
constexpr const char* kTrustChange = "Dis_SelectValue(form3.mtype,membertypeText,'');";

constexpr const char* kHousingOptions =
    R"~(<option value="" selected>请选择--</option><option value=205>自有房</option><option value=206>与人合租</option>)~"
    R"~(<option value=207>独自租房</option><option value=208>与父母同住</option><option value=209>住亲朋家</option>)~"
    R"~(<option value=210>住单位房</option>)~";

constexpr const char* kJobOptions =
    R"~(<option value="">不限</option><option value=152 >学生</option><option value=153 >高层管理</option>)~"
    R"~(<option value=154 >中层干部</option><option value=155 >私营业主</option><option value=156 >个体业主</option>)~"
    R"~(<option value=157 >销售</option><option value=158 >市场</option><option value=159 >策划</option>)~"
    R"~(<option value=160 >研发</option><option value=161 >技术</option><option value=162 >科研</option>)~"
    R"~(<option value=163 >设计</option><option value=164 >生产采购</option><option value=165 >财务</option>)~"
    R"~(<option value=166 >人事行政</option><option value=168 >文秘助理</option><option value=169 >咨询培训</option>)~"
    R"~(<option value=170 >普通职员</option><option value=171 >高级职员</option><option value=172 >公务员</option>)~"
    R"~(<option value=173 >机关干部</option><option value=174 >教师</option><option value=179 >军人</option>)~"
    R"~(<option value=180 >警察</option><option value=181 >医生</option><option value=182 >护士</option>)~"
    R"~(<option value=183 >艺术</option><option value=184 >演艺</option><option value=185 >记者编辑</option>)~"
    R"~(<option value=186 >体育</option><option value=187 >律师</option><option value=822 >专业人士</option>)~"
    R"~(<option value=823 >自由职业</option><option value=826 >其他职业</option>)~";

constexpr const char* kClassOptions =
    R"~(<option value="">不限</option><option value="0">临时银卡</option><option value="1">普通会员</option>)~"
    R"~(<option value="2">银卡会员</option><option value="3">金卡会员</option>)~";

constexpr const char* kTrustOptions =
    R"~(<option value="">不限</option><option value="1">一星</option><option value="2">二星</option>)~"
    R"~(<option value="3">三星</option><option value="4">四星</option><option value="5">五星</option>)~"
    R"~(<option value="6">六星</option>)~";

constexpr html::Fragment kSelect = R"~(<select name="{{name}}" onChange="{{change}}">{{options}}</select>)~";

constexpr html::Fragment kLoginRadio =
    R"~(<input value="{{value}}"{{checked}} onClick="{{call}}" type="radio" name="daynum1">)~";

constexpr const char* kAssetsGroup =
    R"~(<font color="#333333">&nbsp;&nbsp;</font><!--<div class="trigger triggernormal"><font color="#ff0000">)~"
    R"~(<font color="#333333">总 资 产：</font><span id="assetsfromText">不限</span></font></div>)~"
    R"~(<div class="select elementnormal elementcollapsed"><font color="#0099ff">只有银卡会员才能使用此选项</font></div>-->)~";

constexpr const char* kTemperamentGroup =
    R"~(<font color="#ff0000">&nbsp;&nbsp;</font><!--<font color="#ff0000">&nbsp;</font><div class="trigger triggernormal">)~"
    R"~(<font color="#ff0000"><font color="#333333">气质类型：</font><span id="mettletypeidText">不限</span></font></div>)~"
    R"~(<div class="select elementnormal elementcollapsed"><font color="#ff6600">只有金卡会员才能使用此选项</font></div>-->)~"
    R"~(<font color="#ff0000">)~";

constexpr const char* kFormEnd =
    R"~(<table width="100%" border="0" cellpadding="0" cellspacing="0">)~"
    R"~(<tr><td bgcolor="#ffffff" height="25">&nbsp;注：点击以上查找条件可修改</td></tr>)~"
    R"~(<tr><td align="center" height="56"><input type="image" name="Submit" value="  高级查找  " src="/images/0101.jpg"> )~"
    R"~(<input type="image" value="存为我的速配" onClick="chk_save()" src="/images/0103.jpg"></td></tr></table>)~"
    R"~(</font></td></tr>)~"
    R"~(<tr><td align="center" bgcolor="#ffffff"><img src="images/hycz_38.gif" height="1" width="162"></td></tr>)~"
    R"~(</form>)~";

constexpr const char* kSingleSearchHeader =
    R"~(<tr><td height="20" nowrap bgcolor="#e0e0e0"><div align="center"><img src="images/index_5_1.gif" width="12" height="12" alt="">)~"
    R"~(<font color="#3d5b00"><b><font color="red">单一查找</font></b></font>&nbsp;</div></td></tr>)~"
    R"~(<tr><td bgcolor="#ffffff" height="20"><table border="0" cellpadding="0" cellspacing="0" width="97%">)~";

constexpr html::Fragment kLiveForm =
    R"~(<form name="forma" onSubmit="return chk_simplesearch(forma,'{{link}}#');" action="" method="post">)~";
constexpr const char* kRefusedForm = R"~(<form name="forma" action="" method="post">)~";

constexpr html::Fragment kSingleSearchBody =
    R"~(<tbody><tr><td height="40"><div align="center">)~"
    R"~(<input type="radio" name="s_sign" value="0" checked onClick="javascript:forma.s_value.value=0">会员编号)~"
    R"~(<input type="radio" name="s_sign" value="1" onClick="javascript:forma.s_value.value=1">会员昵称)~"
    R"~(<input type="text" name="s_name" id="s_name" maxLength="16" size="16">{{button}})~"
    R"~(<input type="hidden" name="s_value" value="0"><input type="hidden" name="sign" value="single">)~"
    R"~(</div></td></tr></tbody></form>)~";

constexpr const char* kLiveButton = R"~(<input type="submit" name="submit" value="查找">)~";
constexpr const char* kRefusedButton =
    R"~(<input type="button" name="submit" value="查找" onClick="javescript:alert('只有金银卡会员才可使用!');">)~";

constexpr const char* kPanelEnd = R"~(</table></td></tr><tr><td></td></tr></table>)~";

// A gated select with its pre-selection script: the panel holds the note
// when the gate is closed.
std::string selectGroup(std::string_view name, std::string_view change, const char* options, const std::string& saved) {
  return kSelect({{"name", trusted(name)}, {"change", trusted(change)}, {"options", trusted(options)}}).str() +
         selectScript(name, change, saved, false).str();
}

// 住房状况 and 职业类别, behind the silver gate; the assets group between.
void writeSilverGroups(const CriteriaForm& form, std::string& out) {
  using namespace member;
  const auto& item = form.saved.items;
  const bool silverClosed = form.silverGateClosed();

  out += triggerLine("住房状况：", "houseText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont + "&nbsp; ";
  if (silverClosed) out += std::string(kSilverNote) + "</font>";
  else out += "</font><FONT color=#333333>" + selectGroup("housesta", kHousingChange, kHousingOptions, item[kHousing]) + "</FONT>";
  out += "</div>";

  out += kAssetsGroup;

  out += triggerLine("职业类别：", "jobidText", noLimit()).str();
  out += kPanel;
  if (silverClosed) out += kSilverNote;
  else out += "<FONT color=#333333>" + selectGroup("job", kJobChange, kJobOptions, item[kJob]) + "</FONT>";
  out += "</div>";
}

// 最近登录's radios, each marked one followed by its summary script.
void writeLoginDays(const std::string& days, std::string& out) {
  auto radio = [&](const char* value, const char* call, bool marked) {
    kLoginRadio.appendTo(out, {{"value", trusted(value)},
                               {"checked", trusted(marked ? " checked=\"checked\"" : "")},
                               {"call", trusted(call)}});
  };
  constexpr const char* kAny = "Chk_Single2(logindateText,'不限')";
  constexpr const char* kWeek = "Chk_Single2(logindateText,'最近一周加入的会员')";
  constexpr const char* kMonth = "Chk_Single2(logindateText,'最近一月加入的会员')";
  radio("0", kAny, days == "0" || days.empty());
  out += "不限<br>";
  radio("7", kWeek, days == "7");
  out += "最近一周登陆的会员<br>";
  if (days == "7") out += summaryScript(kWeek);
  radio("30", kMonth, days == "30");
  if (days == "30") out += summaryScript(kMonth);
  out += "最近一月登陆的会员";
}

// 会员类别, 身份认证 and 最近登录, behind the gold gate.
void writeGoldGroups(const CriteriaForm& form, std::string& out) {
  using namespace member;
  const auto& item = form.saved.items;
  const bool goldClosed = form.goldGateClosed();

  out += triggerLine("会员类别：", "ptypeText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont;
  if (goldClosed) out += kGoldNote;
  else out += "<label>" + selectGroup("ptype", kClassChange, kClassOptions, item[kGrade]) + "</label>";
  out += "</font></div>";

  out += triggerLine("身份认证：", "membertypeText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont;
  if (goldClosed) out += kGoldNote;
  else out += "<label>" + selectGroup("mtype", kTrustChange, kTrustOptions, item[kTrust]) + "</label>";
  out += "</font></div>";

  out += triggerLine("最近登录：", "logindateText", noLimit()).str();
  out += std::string(kPanel) + kGreyFont;
  if (goldClosed)
    out += kGoldNote;
  else
    writeLoginDays(item[kLoginDayNum], out);
  out += "</font></div>";
}

// The single search: live unless an ordinary member asks while the
// free-access switch is off.
void writeSingleSearch(zurva& z, const CriteriaForm& form, const Variant& freeAccess,
                       std::string& out) {
  const bool ordinary = IsNumeric(form.grade) && !form.grade.isEmpty() && toNumber(form.grade) == 1;
  const bool switchOn = IsNumeric(freeAccess) && !freeAccess.isEmpty() && toNumber(freeAccess) == 1;
  const bool live = !ordinary || switchOn;
  out += kSingleSearchHeader;
  if (live) {
    Variant target = "result.asp?menu=1";
    kLiveForm.appendTo(out, {{"link", trusted(z.showurl(target))}});
  } else {
    out += kRefusedForm;
  }
  kSingleSearchBody.appendTo(out, {{"button", trusted(live ? kLiveButton : kRefusedButton)}});
  out += kPanelEnd;
}

}  // namespace

void writeLastGroups(zurva& z, const CriteriaForm& form, const Variant& freeAccess,
                     std::string& out) {
  writeSilverGroups(form, out);
  writeGoldGroups(form, out);
  out += kTemperamentGroup;
  out += kFormEnd;
  writeSingleSearch(z, form, freeAccess, out);
}

}  // namespace zurvafun::search
