// The component's message forms, one demo each, so that a person can see them
// in a browser: Msg with each of its targets in both forms, MsgOut in its four
// modes, Msg1 and the error table of zurva_error.
//
// "/demo/messages.asp?what=msg&code=-1&form=1" shows one of them; a request
// that names none of them gets the list of all, which is also served as
// "/demo/messages_index.asp" and as the folder's own index.asp (where the
// demos that go to the link "index.asp" land). Only the listed combinations
// run, so the page never writes a value of the visitor's.
#include <string>
#include <vector>

#include "framework/html.h"
#include "framework/zurva.h"
#include "site/pages.h"
#include "site/site_page.h"

namespace zurvafun::site {

namespace {

// The link the demos go to after their message: the folder's index.
constexpr const char* kNextPage = "index.asp";

constexpr std::string_view kIndexTop = R"(    <p>给开发者看的页面：组件的各种提示信息，每个链接显示一种。“关闭窗口”的演示在弹出的小窗口中打开
    （浏览器只允许脚本关闭由脚本打开的窗口）；“后退”的演示需要有可后退的浏览记录。</p>
    <ul>
)";

constexpr std::string_view kIndexBottom = "    </ul>\n";

// The possible causes shown in the error table.
constexpr std::string_view kErrorCauses = "<li>用户名已被他人使用</li><li>两次输入的密码不一致</li>";

enum class Form { Msg, MsgOut, Msg1, Error };

struct MessageDemo {
  Form form;
  std::string code;   // Msg: its target ("-1", "-2", "-10" or a link)
  int number = 0;     // Msg: its form (1 alert, 2 message box); MsgOut: its mode
  std::string title;  // the link text, and what the message says

  // The query of the demo's link.
  std::string query() const {
    switch (form) {
      case Form::Msg: return "what=msg&code=" + code + "&form=" + std::to_string(number);
      case Form::MsgOut: return "what=msgout&mode=" + std::to_string(number);
      case Form::Msg1: return "what=msg1";
      case Form::Error: return "what=error";
    }
    return {};
  }

  bool requested(const host::Request& r) const {
    const Variant what = r.QueryString("what");
    const std::string n = std::to_string(number);
    switch (form) {
      case Form::Msg:
        return eq(what, "msg") && eq(r.QueryString("code"), std::string_view(code)) &&
               eq(r.QueryString("form"), std::string_view(n));
      case Form::MsgOut: return eq(what, "msgout") && eq(r.QueryString("mode"), std::string_view(n));
      case Form::Msg1: return eq(what, "msg1");
      case Form::Error: return eq(what, "error");
    }
    return false;
  }

  void show(zurva& z, serve::PageContext& p) const {
    const std::string text = "这是一条演示信息：" + title + "。";
    if (form == Form::MsgOut) return z.MsgOut(text, kNextPage, number);  // a page of its own
    SitePage page(z, p, {.title = "提示信息演示", .frame = closesWindow() ? Frame::Window : Frame::Page});
    switch (form) {
      case Form::Msg: z.Msg(text, code, number); break;
      case Form::Msg1: z.Msg1(text, kNextPage); break;
      case Form::Error: p.Response.Write(z.zurva_error("注册信息有误", kErrorCauses)); break;
      case Form::MsgOut: break;
    }
    page.end();
  }

  // The close-window demos: a window that script did not open cannot be
  // closed by script, so they open in a pop-up of their own.
  bool closesWindow() const { return form == Form::Msg && code == "-2"; }
};

std::vector<MessageDemo> allDemos() {
  struct Target {
    const char* code;
    const char* then;
  };
  static constexpr Target kMsgTargets[] = {
      {"-1", "返回上一页"},
      {"-2", "关闭窗口"},
      {"-10", "后退两页"},
      {kNextPage, "转到 index.asp"},
  };
  static constexpr const char* kMsgForms[] = {"提示框", "信息框"};
  static constexpr const char* kMsgOutModes[] = {
      "提示框，确定后返回上一页",
      "提示框，确定后转到 index.asp",
      "红字与“返回”按钮（返回上一页）",
      "红字与“返回”按钮（转到 index.asp）",
  };

  std::vector<MessageDemo> demos;
  for (int form = 1; form <= 2; ++form)
    for (const Target& t : kMsgTargets)
      demos.push_back({Form::Msg, t.code, form,
                       "Msg " + std::string(kMsgForms[form - 1]) + "（" + t.code + "）：" + t.then});
  for (int mode = 1; mode <= 4; ++mode)
    demos.push_back({Form::MsgOut, "", mode, "MsgOut 方式 " + std::to_string(mode) + "：" + kMsgOutModes[mode - 1]});
  demos.push_back({Form::Msg1, "", 0, "Msg1：提示框，确定后整个窗口转到 index.asp"});
  demos.push_back({Form::Error, "", 0, "zurva_error：错误原因表"});
  return demos;
}

const std::vector<MessageDemo>& demos() {
  static const std::vector<MessageDemo> all = allDemos();
  return all;
}

constexpr html::Fragment kDemoLink =
    R"(      <li><a href="{{href}}"{{popUp}}>{{title}}</a>{{note}}</li>
)";
constexpr const char* kPopUp =
    R"( onclick="window.open(this.href,'msgdemo','width=640,height=420');return false;")";

void indexPage(zurva& z, serve::PageContext& p) {
  SitePage page(z, p, {.title = "开发者页面：组件提示信息一览"});
  p.Response.Write(kIndexTop);
  for (const MessageDemo& demo : demos()) {
    Variant link = "/demo/messages.asp?" + demo.query();  // written in the site's link mode
    const bool closesWindow = demo.closesWindow();
    p.Response.Write(kDemoLink({{"href", z.showurl(link)},
                                {"popUp", html::trusted(closesWindow ? kPopUp : "")},
                                {"title", demo.title},
                                {"note", html::trusted(closesWindow ? "（弹出窗口）" : "")}}));
  }
  p.Response.Write(kIndexBottom);
  page.end();
}

void messagesPage(serve::PageContext& p) {
  zurva z;
  for (const MessageDemo& demo : demos())
    if (demo.requested(p.Request)) return demo.show(z, p);
  indexPage(z, p);
}

void messagesIndex(serve::PageContext& p) {
  zurva z;
  indexPage(z, p);
}

}  // namespace

void registerMessagePages(serve::PageRegistry& pages) {
  pages.add("/demo/messages.asp", messagesPage);
  pages.add("/demo/messages_index.asp", messagesIndex);
  pages.add("/demo/index.asp", messagesIndex);
}

}  // namespace zurvafun::site
