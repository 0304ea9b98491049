#include "site/profile_pages.h"

#include "framework/escape.h"
#include "framework/zurva.h"

namespace zurvafun::site {

void writeProfilePageTop(zurva& z, serve::PageContext& p, std::string_view title) {
  const std::string escapedTitle = htmlEscape(title);
  p.Response.Write(R"(<!DOCTYPE HTML PUBLIC "-//W3C//DTD HTML 4.01 Transitional//EN">
<html>
<head>
<meta http-equiv="Content-Type" content="text/html; charset=gb2312">
<title>)" + escapedTitle + R"(</title>
<link href="/css.css" rel="stylesheet" type="text/css">
<script language="JavaScript" type="text/JavaScript">
)");
  p.Response.Write(z.allcitymenu().str());
  p.Response.Write(R"(</script>
<script language="JavaScript" type="text/JavaScript" src="/js/profile.js"></script>
</head>
<body>
<table class="bk" width="760" align="center" cellspacing="0" cellpadding="6">
  <tr><td class="classtop">)" + escapedTitle + R"(</td></tr>
  <tr><td class="classtd">
)");
}

void writeProfilePageBottom(serve::PageContext& p) {
  p.Response.Write(R"(    <p><a href="/index.asp">返回演示站首页</a></p>
  </td></tr>
</table>
</body>
</html>
)");
}

void writeNote(serve::PageContext& p, std::string_view text, std::string_view css) {
  p.Response.Write("    <p" + (css.empty() ? std::string() : " class=\"" + std::string(css) + "\"") + ">" +
                   htmlEscape(text) + "</p>\n");
}

}  // namespace zurvafun::site
