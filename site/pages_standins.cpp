// Stand-ins for the site's own pages that the component's output links to
// and that lie outside this demo: the verification levels, winks and
// favourites (each a short note in the window the cards open), and the
// administrator's site message.
#include <string>

#include "framework/zurva.h"
#include "site/pages.h"
#include "site/site_page.h"

namespace zurvafun::site {

void registerStandInPages(serve::PageRegistry& pages) {
  pages.add(
      "/xjrz.asp",
      standIn(
          "身份验证等级",
          "会员每通过一项资料验证（注册验证、相册照片、身份证、学历证等），身份验证等级加一钻。"));
  pages.add("/love1.asp", standIn("暗送秋波", "秋波已发送（演示）。"));
  pages.add("/myfiles/sc.asp", standIn("我的收藏", "已加入我的收藏（演示）。"));
  pages.add("/admin/admin_msg.asp", standIn("发送系统短信", "管理员给会员的系统短信（演示站暂未开放）。", Frame::Page));
}

}  // namespace zurvafun::site
