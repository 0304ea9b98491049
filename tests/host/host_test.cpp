#include "host/host.h"

#include <gtest/gtest.h>

#include "host/objects.h"
#include "host/test_host.h"
#include "runtime/dates.h"
#include "tests/interaction/fake_gateway.h"
#include "tests/support.h"

namespace zurvafun::host {
namespace {

TEST(HostRequest, CollectionsAreCaseInsensitiveAndKeepArrivalOrder) {
  Request r;
  r.QueryString.add("ID", "25");
  r.QueryString.add("empty", "");
  r.QueryString.add("tag", "a");
  r.QueryString.add("TAG", "b");
  r.QueryString.setText("ID=25&empty=&tag=a&TAG=b");
  EXPECT_EQ(r.QueryString("id").str(), "25");
  EXPECT_TRUE(r.QueryString("missing").isEmpty());
  EXPECT_TRUE(r.QueryString("empty").isString());
  EXPECT_EQ(r.QueryString("empty").str(), "");
  EXPECT_EQ(r.QueryString("tag").str(), "a, b");
  EXPECT_EQ(r.QueryString().str(), "ID=25&empty=&tag=a&TAG=b");
  EXPECT_EQ(r.QueryString.keys(), (std::vector<std::string>{"ID", "empty", "tag"}));
}

// Many keys (beyond the few a scan serves): lookups by any case, repeated
// keys joined, arrival order kept, also in a copy.
TEST(HostRequest, LargeCollectionsKeepTheirKeys) {
  ValueCollection c;
  for (int i = 0; i < 2000; ++i) c.add("Key" + std::to_string(i), std::to_string(i));
  c.add("KEY7", "again");
  c.set("key1999", "replaced");
  const ValueCollection copy = c;
  for (const ValueCollection* v : {static_cast<const ValueCollection*>(&c), &copy}) {
    EXPECT_EQ(v->count(), 2000u);
    EXPECT_EQ((*v)("key0").str(), "0");
    EXPECT_EQ((*v)("kEy1234").str(), "1234");
    EXPECT_EQ((*v)("key7").str(), "7, again");
    EXPECT_EQ((*v)("KEY1999").str(), "replaced");
    EXPECT_TRUE((*v)("key2000").isEmpty());
    EXPECT_FALSE(v->contains("key"));
    const std::vector<std::string> keys = v->keys();
    EXPECT_EQ(keys.front(), "Key0");
    EXPECT_EQ(keys[17], "Key17");
    EXPECT_EQ(keys.back(), "Key1999");
  }
  c.clear();
  EXPECT_TRUE(c("key5").isEmpty());
  c.add("x", "1");
  EXPECT_EQ(c("X").str(), "1");
}

TEST(HostRequest, GeneralLookupOrder) {
  Request r;
  r.ServerVariables.add("id", "server");
  r.Cookies.set("id", RequestCookie(std::string("cookie")));
  r.Form.add("id", "form");
  EXPECT_EQ(r("id").str(), "form");
  r.QueryString.add("id", "query");
  EXPECT_EQ(r("ID").str(), "query");
  EXPECT_TRUE(r("nothing").isEmpty());
}

TEST(HostCookies, SubKeysParseAndJoinInGbk) {
  Request r;
  r.Cookies.setFromHeader("kalimo", "username=a%40b.com&nickname=%D6%D0%CE%C4&grade=3");
  EXPECT_EQ(r.Cookies("KALIMO")("nickname").str(), "中文");
  EXPECT_EQ(r.Cookies("kalimo")("username").str(), "a@b.com");
  EXPECT_TRUE(r.Cookies("kalimo")("nothing").isEmpty());
  EXPECT_TRUE(r.Cookies("absent")("x").isEmpty());
  EXPECT_TRUE(r.Cookies("absent")().isEmpty());  // not sent: Empty, not ""
  r.Cookies.setFromHeader("blank", "");
  EXPECT_TRUE(r.Cookies("blank")().isString());
  EXPECT_EQ(r.Cookies("blank")().str(), "");
  EXPECT_EQ(r.Cookies("kalimo")().str(), "username=a%40b%2Ecom&nickname=%D6%D0%CE%C4&grade=3");
  r.Cookies.setFromHeader("plain", "hello%20there");
  EXPECT_EQ(r.Cookies("plain")().str(), "hello there");
  EXPECT_FALSE(r.Cookies("plain").hasKeys());
}

TEST(HostCookies, WritingOneSubKeyKeepsTheOthers) {
  Request r;
  r.Cookies.setFromHeader("kalimo", "username=ann&emoney=5");
  Response resp(&r);
  resp.Cookies("kalimo")("emoney") = Variant(7.5);
  const ResponseCookie* c = resp.Cookies.find("KALIMO");
  ASSERT_NE(c, nullptr);
  EXPECT_EQ(c->subKey("username").str(), "ann");
  EXPECT_EQ(c->subKey("emoney").str(), "7.5");
  resp.Cookies("kalimo") = Variant("whole");
  EXPECT_FALSE(c->hasKeys());
  EXPECT_EQ(c->value(), "whole");
}

TEST(HostResponse, WritesAfterEndAreDiscarded) {
  Response resp;
  resp.Write("a");
  resp.Write(Variant::null());
  resp.Write(Variant(12));
  resp.End();
  resp.Write("b");
  EXPECT_EQ(resp.body(), "a12");
  EXPECT_TRUE(resp.ended());
  Response r2;
  r2.Write("dropped");  // a redirect drops what the page wrote before it
  r2.Redirect("index.asp");
  r2.Write("x");
  EXPECT_EQ(r2.Status, 302);
  EXPECT_EQ(r2.redirectLocation(), "index.asp");
  EXPECT_EQ(r2.body(), "");
}

TEST(HostServer, MapPathEncodeAndObjects) {
  Server s("/srv/site");
  EXPECT_EQ(s.MapPath("/photo/a.jpg"), "/srv/site/photo/a.jpg");
  EXPECT_EQ(s.MapPath("photo\\b.jpg"), "/srv/site/photo/b.jpg");
  EXPECT_EQ(s.MapPath("/a/../b"), "/srv/site/b");
  EXPECT_THROW(s.MapPath("/../etc/passwd"), VbError);
  EXPECT_EQ(Server::HTMLEncode("<a href=\"x\">&中</a>'"), "&lt;a href=&quot;x&quot;&gt;&amp;中&lt;/a&gt;'");
  EXPECT_EQ(Server::URLEncode("a b中"), "a+b%D6%D0");
  EXPECT_NE(std::dynamic_pointer_cast<FileSystemObject>(s.CreateObject("Scripting.FileSystemObject")), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<XmlHttpRequest>(s.CreateObject("MSXML2.ServerXMLHTTP.3.0")), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<XmlHttpRequest>(s.CreateObject("Microsoft.XMLHTTP")), nullptr);
  EXPECT_NE(s.CreateObject("ADODB.Connection"), nullptr);
  try {
    s.CreateObject("Persits.Upload");
    FAIL();
  } catch (const VbError& e) {
    EXPECT_EQ(e.number(), 429);
  }
}

TEST(HostObjects, OutgoingRequestsAcceptOnlyHttp) {
  XmlHttpRequest x("Microsoft.XMLHTTP");
  EXPECT_THROW(x.Open("GET", "file:///etc/passwd"), VbError);
  EXPECT_THROW(x.Open("GET", "ftp://example.com/"), VbError);
  EXPECT_NO_THROW(x.Open("GET", "HTTP://127.0.0.1:1/"));
}

TEST(HostObjects, RequestHeadersAreSentAsSetForTheOpenedRequest) {
  testing::FakeGateway server;  // a loopback server that records each request's head
  const std::string url = "http://127.0.0.1:" + std::to_string(server.port()) + "/a";
  const auto header = [&](std::size_t request, const std::string& name) {
    return testing::FakeGateway::headerValues(server.heads().at(request), name);
  };
  using Values = std::vector<std::string>;
  XmlHttpRequest x("Microsoft.XMLHTTP");
  EXPECT_EQ(testing::errorOf([&] { x.setRequestHeader("Content-type", "text/xml"); }),
            err::InvalidCall);

  x.Open("GET", url);
  x.setRequestHeader("Content-type", "text/plain");
  x.setRequestHeader("X-Note", "one");
  x.setRequestHeader("content-TYPE", "text/xml;charset=GB2312");  // the same header again: replaced
  for (const auto& [name, value] :
       std::vector<std::pair<std::string, std::string>>{{"", "v"},
                                                        {"Bad Name", "v"},
                                                        {"X:y", "v"},
                                                        {"X-Injected", "a\r\nX-Evil: 1"},
                                                        {"X-Nul", std::string("a\0b", 3)}}) {
    EXPECT_EQ(testing::errorOf([&] { x.setRequestHeader(name, value); }), err::InvalidCall) << name;
  }
  x.Send();
  EXPECT_EQ(x.ResponseText(), "true");
  EXPECT_EQ(header(0, "Content-Type"), Values{"text/xml;charset=GB2312"}) << server.heads()[0];
  EXPECT_EQ(header(0, "x-note"), Values{"one"});
  EXPECT_TRUE(header(0, "X-Evil").empty());
  EXPECT_TRUE(header(0, "X-Injected").empty());

  // A posted body takes the type that was set instead of the form type.
  x.Open("POST", url);
  x.setRequestHeader("Content-Type", "text/xml;charset=GB2312");
  x.Send("<a/>");
  EXPECT_EQ(server.heads()[1].substr(0, 5), "POST ");
  EXPECT_EQ(header(1, "Content-type"), Values{"text/xml;charset=GB2312"}) << server.heads()[1];

  // A new request starts without the headers of the last one.
  x.Open("GET", url);
  x.Send();
  EXPECT_TRUE(header(2, "Content-type").empty()) << server.heads()[2];
  EXPECT_TRUE(header(2, "X-Note").empty());
  EXPECT_EQ(x.ResponseText(), "false");  // the stand-in takes only its own type
}

TEST(HostSession, ValuesByCaseInsensitiveName) {
  TestHost h;
  h.session().set("ReflashTime", Variant(5));
  EXPECT_EQ(h.session()("reflashtime").str(), "5");
  EXPECT_TRUE(h.session()("other").isEmpty());
  h.application().set("zurva_info", Variant(VariantArray{Variant("a|b")}));
  EXPECT_EQ(h.application()("ZURVA_INFO")[0].str(), "a|b");
}

TEST(HostTestHost, NextRequestCarriesCookiesAndSession) {
  TestHost h;
  h.session().set("x", Variant(1));
  h.response().Cookies("kalimo")("username") = Variant("ann");
  h.request().Cookies.setFromHeader("old", "x");
  h.response().Cookies("OLD") = Variant("");
  h.response().Cookies("old").Expires = Now() - Variant(1);  // deleted by the browser
  h.response().Cookies("later") = Variant("y");
  h.response().Cookies("later").Expires = Now() + Variant(1);
  h.nextRequest();
  EXPECT_EQ(h.request().Cookies("kalimo")("username").str(), "ann");
  EXPECT_FALSE(h.request().Cookies.contains("old"));
  EXPECT_TRUE(h.request().Cookies("old")().isEmpty());
  EXPECT_EQ(h.request().Cookies("later")().str(), "y");
  EXPECT_EQ(h.session()("x").str(), "1");
  EXPECT_EQ(GetObjectContext(), h.context());
  EXPECT_EQ(h.response().body(), "");
}

}  // namespace
}  // namespace zurvafun::host
