// Member login: the login form's handler, the member cookie "kalimo" and the
// remember-me cookie "rupeni", and the hand-off of a verified member to the
// forum.
//
// Remember-me never keeps the password: the cookie "rupeni" holds a random
// token (sub-key "pass") whose SHA-256 the member row keeps, and the login
// form, posted with the box ticked and the password left empty, logs in with
// the token of the browser's cookie instead. Each such login draws a new
// token; a logout and a password change drop it (framework/member_logins.h).
// The member cookie carries the row's cookiever as its sub-key "ver".
//
// The hand-off form posts the typed password to the forum: it is written only
// for a site that has a forum (the application value zurva_forum is "1");
// without one a logged-in member goes to the member home.
#include <optional>
#include <string>
#include <utility>

#include "db/db.h"
#include "framework/escape.h"
#include "framework/html.h"
#include "framework/member_logins.h"
#include "framework/sql.h"
#include "framework/viewer.h"
#include "framework/zurva.h"
#include "model/member_record.h"
#include "runtime/dates.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

// The birth year for the member cookie: the first four characters of userdata
// as a 16-bit number. A row whose userdata does not start with a year gets ""
// instead of an error, so that such a member can still log in.
Variant birthYear(const Variant& userdata) {
  try {
    return Variant::integer(CInt(Variant(member::birthYearText(userdata.str()))));
  } catch (const VbError&) {
    return Variant("");
  }
}

// The remember-me token of a login posted with the box ticked and the
// password left empty: the one this browser's remember-me cookie holds, when
// it has a well-formed one.
std::optional<std::string> rememberedToken(const host::Request& request) {
  if (!eq(request.Form("inpass"), "1") || !eq(request.Form("password"), "")) return std::nullopt;
  std::string token = request.Cookies("rupeni")("pass").str();
  if (!logins::wellFormedToken(token)) return std::nullopt;
  return token;
}

// The site has a forum that takes its verified members over at login.
bool hasForum(const host::Application& application) {
  const Variant value = application("zurva_forum");
  const Variant text =
      value.isArray() ? (value.arrayValue().empty() ? Variant() : value[0]) : value;
  return eq(text, "1");
}

// Without a forum: the top window goes to the member home.
constexpr html::Fragment kToMemberHome =
    "<script Language=javaScript>top.window.location.href='{{url}}';</script></body></html>";

struct Login;

}  // namespace

// chklogin's steps: the member row the form names, the login recorded, the
// two cookies, the hand-off to the forum.
template <>
struct MethodSteps<Login> {
  zurva& z;
  db::Connection& conn;
  const host::Request& request;

  // The member by account name or nickname, proved by the password or by the
  // token of a remembered login; a row being deleted never logs in.
  db::Recordset memberRow(const Variant& username, const Variant& password, bool byNickname) {
    const sql::Statement condition = byNickname
                                         ? sql::statement("nickname='{}'", sql::text(username))
                                         : sql::statement("zurvauser='{}'", sql::text(username));
    const std::optional<std::string> token = rememberedToken(request);
    const sql::Statement proof =
        token ? sql::statement("remembertoken='{}'", sql::text(logins::tokenDigest(*token)))
              : sql::statement("password='{}'", sql::text(z.MD5(password, 16)));
    db::Recordset rs;
    rs.Open(sql::statement(
                "select field,userid,Zurvauser,password,sex,ok,grade,trust,userdata,nickname,"
                "wholook,emoney,lasttime,addtime,ifdel,ifclose,loginip,logins,"
                "isnull(mobile,'#') as mobile,isnull(cookiever,0) as cookiever,remembertoken "
                "from Zurva_user where {} and {} and ifdel<>1",
                condition, proof),
            conn, db::adOpenKeyset, db::adLockOptimistic);
    return rs;
  }

  // The time, the address and the count of the login; a remembered login
  // gets a new token (returned, "" otherwise) and the one it came with ends.
  std::string recordLogin(db::Recordset& rs, bool remember) {
    rs["lasttime"] = Now();
    rs["loginip"] = Replace(request.ServerVariables("REMOTE_ADDR").str(), "'", "");
    const Variant loginCount = rs("logins");
    rs["logins"] = IsNull(loginCount) ? Variant(1) : loginCount + Variant(1);
    const std::string newToken = remember ? logins::newRememberToken() : std::string();
    if (remember) rs["remembertoken"] = logins::tokenDigest(newToken);
    rs.Update();
    return newToken;
  }

  // The member cookie's sub-keys, in the order they are written.
  void writeMemberCookie(const db::Recordset& rs) {
    const std::pair<const char*, Variant> member[] = {
        {"username", rs("zurvauser")},
        {"password", rs("password")},
        {"sex", rs("sex")},
        {"userid", rs("userid")},
        {"grade", rs("grade")},
        {"ok", rs("ok")},
        {"trust", rs("trust")},
        {"bri", birthYear(rs("userdata"))},
        {"emoney", rs("emoney")},
        {"wholook", rs("wholook")},  // Null is written as ""
        {"addtime", rs("addtime")},
        {"nickname", rs("nickname")},
        {"userdata", rs("userdata")},
        {"field", rs("field")},
        {"mobile", rs("mobile")},
        {logins::kCookieNumber, rs("cookiever")},
    };
    host::ResponseCookie& kalimo = z.Response().Cookies(kMemberCookie);
    kalimo.Path = "/";
    kalimo.Expires = Variant();  // none, also where this response had dropped an old one
    for (const auto& [key, value] : member) kalimo(key) = value;
  }

  // Remember-me: written for 31 days either way; it holds the login name and
  // the token only when the box was ticked.
  void writeRememberCookie(const std::string& newToken, bool remember, const Variant& username,
                           bool byNickname) {
    host::ResponseCookie& rupeni = z.Response().Cookies("rupeni");
    rupeni.Expires = DateAdd("d", 31, Today());
    rupeni("pass") = newToken;
    rupeni("inpass") = remember ? request.Form("inpass") : Variant("");
    rupeni("user") = remember ? username : Variant("");
    rupeni("log_type") = byNickname ? "2" : "";
  }

  // The forum takes a verified member with a forum account over: a form that
  // posts his account name and password there.
  void handOffToForum(const Variant& ok, const Variant& account, const Variant& nickname,
                      const Variant& password) {
    Variant homePage = "indexw.html";
    const bool hasForumAccount =
        !conn.Execute(sql::statement("select username from dv_user where username='{}'",
                                     sql::text(nickname)))
             .eof();
    if (!eq(ok, 1)) {
      z.Msg1("由于您目前未通过注册验证，故未开放论坛帐号，有任何疑问请联系我们的客服！",
             z.showurl(homePage));
      return;
    }
    if (!hasForumAccount) {
      z.Msg1("您的论坛帐号异常！", cat("/", z.showurl(homePage)));
      return;
    }
    host::Response& response = z.Response();
    Variant forumLogin = "action_chk_login.html";
    response.Write(cat(cat("<form name='QuorelLoginform' id='QuorelLoginform' action='bbs/",
                           z.showurl(forumLogin)),
                       "' method='post'>"));
    response.Write("\t<input type='hidden' name='UserName' value='" + htmlEscape(account.str()) +
                   "'>");
    response.Write("\t<input type='hidden' name='Password' value='" + htmlEscape(password.str()) +
                   "'>");
    response.Write("\t<input type='hidden' name='CookieDate' value='0'>");
    response.Write("    <input type='hidden'  name='userhidden' value='2'/>");
    response.Write("\t<input type='hidden' name='ComeUrl' value=''>");
    response.Write("</form>");
    response.Write("    <script language='javascript'>document.QuorelLoginform.submit();</script>");
  }
};

void zurva::chklogin(const Variant& SqlLocalName, const Variant& SqlUserName,
                     const Variant& SqlPassword, const Variant& SqlDatabaseName) {
  untrapped([&] {
    db::Connection conn;
    if (!openOrReturn(conn, SqlLocalName, SqlUserName, SqlPassword, SqlDatabaseName)) return;
    MethodSteps<Login> steps{*this, conn, Request()};

    const Variant username = Request().Form("username");
    const Variant password = Request().Form("password");
    const bool byNickname = eq(Request().Form("log_type"), "2");
    const bool remember = eq(Request().Form("inpass"), "1");
    db::Recordset rs = steps.memberRow(username, password, byNickname);
    if (rs.eof()) {
      rs.Close();
      Variant loginPage = "login.html";
      Msg1("您的用户名不存在或者密码错误或者您的帐号已被管理员锁定或者您已经成功退回。",
           showurl(loginPage));
      return;
    }

    const std::string newToken = steps.recordLogin(rs, remember);
    steps.writeMemberCookie(rs);
    const Variant ok = rs("ok");
    const Variant account = rs("zurvauser");
    const Variant nickname = rs("nickname");
    rs.Close();
    steps.writeRememberCookie(newToken, remember, username, byNickname);

    if (!hasForum(Application())) {
      Variant homePage = "indexw.html";
      Response().Write(kToMemberHome({{"url", showurl(homePage)}}).str());
      return;
    }
    steps.handOffToForum(ok, account, nickname, password);
  });
}

}  // namespace zurvafun
