// Fixed page fragments for the administration and result pages: the
// administration error box, the result boxes with a timed redirect, the
// information panel, the head of an administration frame page and the
// select-all script for check-box lists. None of them ends the request.
#include "framework/html.h"
#include "framework/viewer.h"
#include "framework/zurva.h"

namespace zurvafun {

namespace {

// The outer frame shared by the error box and the result boxes.
constexpr const char* kFrameOpen =
    "<table border=0 cellspacing=1 cellpadding=0 height=0 align=center width=100% "
    "bgcolor=#B4B99E><tr><td>";
constexpr const char* kFrameClose = "</table></td></tr></table>";

// Title, message and the countdown row of a result box. The texts and URLs
// are the caller's own, written as they stand.
constexpr html::Fragment kResultBoxHead =
    "<table border=0 cellspacing=1 cellpadding=0 height=0 align=center width=100% "
    "bgcolor=#B4B99E><tr><td>"
    "<table width=100% border=0 align=center cellpadding=1 cellspacing=1 bgcolor=#FFFFFF>"
    "<tr><td height=27 class=classtop align=center>{{title}}</td></tr>"
    "<tr><td height=50 class=classtd>{{message}}</td></tr>"
    "<tr><td height=30 class=classtd>·<font color=red>{{seconds}}</font> 秒后，跳转到："
    "<a href={{url}}>{{url}}</a></td></tr>";

// A further link of a result box.
constexpr html::Fragment kJumpRow =
    "<tr><td height=30 class=classtd>·跳转到：<a href={{url}}>{{url}}</a></td></tr>";

// The end of a result box: the browser goes to the URL after the seconds.
constexpr html::Fragment kResultBoxTail =
    "</table></td></tr></table><meta http-equiv='refresh'content='{{seconds}};URL={{url}}; "
    "charset=gb2312'>";

constexpr html::Fragment kBackRow =
    "<tr><td height=30 class=classtd>·<< <a href=javascript:history.go(-1)>返回上一页</a></td></tr>";

html::Html resultBoxHead(const Variant& m_t, const Variant& m_s, const Variant& m_u,
                         const Variant& m_time) {
  return kResultBoxHead({{"title", html::trusted(m_t)},
                         {"message", html::trusted(m_s)},
                         {"seconds", html::trusted(m_time)},
                         {"url", html::trusted(m_u)}});
}

html::Html jumpRow(const Variant& url) { return kJumpRow({{"url", html::trusted(url)}}); }

html::Html resultBoxTail(const Variant& m_u, const Variant& m_time) {
  return kResultBoxTail({{"seconds", html::trusted(m_time)}, {"url", html::trusted(m_u)}});
}

constexpr html::Fragment kInformationPanel =
    "<table border=0 cellpadding=0 cellspacing=0 class=bk width='100%' align=center><tr><td "
    "class=bk_h width=100% height=26>&nbsp;<img src='images/i.gif'> {{title}}"
    "</td></tr><tr class='bg_l'><td width=100% ><p style='margin: 8; line-height:150%'>"
    "{{message}}</p></td></tr></table>";

constexpr const char* kAdminTop = R"(<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<link href="css.css" rel="stylesheet" type="text/css">
</head>
<body bgcolor="#E8E5DA" text="#FFFFFF" leftmargin="0" topmargin="0" marginwidth="0" marginheight="0">
<table width="100%" border="0" cellspacing="0" cellpadding="0"><tr><td height="5"></td></tr></table>
<script language="JavaScript" src="inc/admin.js"></script>
)";

// check() and checkadmin() tick or untick every box of a list and share one flag.
constexpr const char* kSelectScript = R"(<script language="JavaScript">
var checkflag = 'false';
function check(field) {
  if (checkflag == 'false') {
    for (i = 0; i < field.length; i++) {
      field[i].checked = true;
    }
    checkflag = 'true';
    return '取消全选';
  } else {
    for (i = 0; i < field.length; i++) {
      field[i].checked = false;
    }
    checkflag = 'false';
    return '开始全选';
  }
}
var checkflag = 'false';
function checkadmin(field) {
  if (checkflag == 'false') {
    for (i = 0; i < field.length; i++) {
      field[i].checked = true;
    }
    checkflag = 'true';
    return 'NO';
  } else {
    for (i = 0; i < field.length; i++) {
      field[i].checked = false;
    }
    checkflag = 'false';
    return 'YES';
  }
}
</script>
)";

}  // namespace

void zurva::adminflag() {
  logged([&] {
    Response().Write("<link href=css.css rel=STYLESHEET type=text/css>");
    Response().Write(kFrameOpen);
    Response().Write("<table width=100% border=0 align=center cellpadding=4 cellspacing=1 bgcolor=#FFFFFF>");
    Response().Write("<tr><td height=27 class=classtop align=center>出错啦！</td></tr>");
    Response().Write("<tr><td height=50 class=classtd>");
    if (Viewer(Request()).isAdministrator()) {
      Response().Write("<li>管理员没有给您此权限！");
    } else {
      Response().Write(
          "<li>您已经超时退出，请<a href = /admin/admin_login.asp target=main><b>重新登陆</b></a>！");
    }
    Response().Write("</td></tr>");
    Response().Write(kFrameClose);
  });
}

void zurva::Up_mes(const Variant& m_t, const Variant& m_s, const Variant& m_u, const Variant& m_time) {
  logged([&] {
    Response().Write(resultBoxHead(m_t, m_s, m_u, m_time) + resultBoxTail(m_u, m_time));
  });
}

void zurva::Up_mes1(const Variant& m_t, const Variant& m_s, const Variant& m_u, const Variant& m_u1,
                    const Variant& m_time) {
  logged([&] {
    Response().Write(resultBoxHead(m_t, m_s, m_u, m_time) + jumpRow(m_u1) + kBackRow() +
                     resultBoxTail(m_u, m_time));
  });
}

void zurva::Up_mes2(const Variant& m_t, const Variant& m_s, const Variant& m_u, const Variant& m_u2,
                    const Variant& m_u3, const Variant& m_time) {
  logged([&] {
    Response().Write(resultBoxHead(m_t, m_s, m_u, m_time) + jumpRow(m_u2) + jumpRow(m_u3) +
                     resultBoxTail(m_u, m_time));
  });
}

void zurva::sendinfo(const Variant& tl, const Variant& mes) {
  logged([&] {
    Response().Write(kInformationPanel({{"title", html::trusted(tl)}, {"message", html::trusted(mes)}}));
  });
}

void zurva::admintop() {
  logged([&] { Response().Write(kAdminTop); });
}

void zurva::zurvaselect() {
  logged([&] { Response().Write(kSelectScript); });
}

}  // namespace zurvafun
