// Stand-ins for the site's own pages that the component's output links to
// and that lie outside this demo: membership upgrades, the verification
// levels, friend requests, winks and favourites (each a short note in the
// window the cards open), and the administrator's site message.
#include <string>

#include "framework/zurva.h"
#include "site/pages.h"
#include "site/site_page.h"

namespace zurvafun::site {

void registerStandInPages(serve::PageRegistry& pages) {
  const std::string upgrade = "金卡、银卡会员可以查看更多会员资料、使用更多搜索条件、赠言和发送礼物通知短信，购买礼物享受五折。演示站不收费。";
  pages.add("/ReadyBuy.asp", standIn("会员升级", upgrade));
  pages.add("/payment/readybuy.asp", standIn("会员升级", upgrade));
  pages.add("/xjrz.asp", standIn("身份验证等级", "会员每通过一项资料验证（注册验证、相册照片、身份证、学历证等），身份验证等级加一钻。"));
  pages.add("/addfriends.asp", standIn("申请好友", "好友申请已发送（演示）。"));
  pages.add("/love1.asp", standIn("暗送秋波", "秋波已发送（演示）。"));
  pages.add("/myfiles/sc.asp", standIn("我的收藏", "已加入我的收藏（演示）。"));
  pages.add("/admin/admin_msg.asp", standIn("发送系统短信", "管理员给会员的系统短信（演示站暂未开放）。", Frame::Page));
}

}  // namespace zurvafun::site
