#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/zurva.h"
#include "host/test_host.h"
#include "runtime/text.h"
#include "tests/framework/scoped_log.h"

namespace zurvafun {
namespace {

constexpr const char* kLinkOpener = " target=_blank><u><font color=red>";
constexpr const char* kBadImage = "<font color=red>错误图片指向</font>";
constexpr const char* kEmailLabel =
    R"(><font style="font-size: 9pt;color=red">[点击发送电子邮件]</font></a>)";

class TextFilterTest : public ::testing::Test {
 protected:
  void setWordLists(const std::string& badWords) {
    h.application().set("zurva_info",
                        Variant(VariantArray{Variant("x<><><><><>illegal<><><><><>" + badWords)}));
  }
  std::string log() const { return tempLog.text(); }

  ScopedLog tempLog{"text-filters"};
  host::TestHost h;
  zurva z;
};

// ------------------------------------------------------------------ HtmlOut

TEST_F(TextFilterTest, HtmlOutBlanksBracketsAndLineBreaks) {
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"a  b", "a　b"},              // a pair of blanks: one ideographic space
      {"a b", "a b"},                // a single blank passes the encoder unchanged
      {"a   b", "a　 b"},            // three blanks: a pair and a single
      {"a    b", "a　　b"},
      {"<b>x</b>", "&lt;b&gt;x&lt;/b&gt;"},
      {"R&D \"q\"", "R&amp;D &quot;q&quot;"},
      {"one\r\ntwo", "one<BR>two"},
      {"one\ntwo\rthree", "one\ntwo\rthree"},  // lone LF and CR stay
      {"a`nbsp;b", "a b"},                     // the marker itself becomes a blank
      {"中文 内容", "中文 内容"},
  };
  for (const auto& c : cases) EXPECT_EQ(z.HtmlOut(c.in).str(), c.out) << c.in;
}

TEST_F(TextFilterTest, HtmlOutReturnsNullAndEmptyUnchanged) {
  EXPECT_TRUE(z.HtmlOut(Variant::null()).isNull());
  const Variant empty = z.HtmlOut("");
  EXPECT_TRUE(empty.isString());
  EXPECT_EQ(empty.str(), "");
  EXPECT_TRUE(z.HtmlOut(Variant()).isEmpty());
}

// ------------------------------------------------------------------ ChkBadWords

TEST_F(TextFilterTest, ChkBadWordsStarsWordsInListOrderAndRewritesTheArgument) {
  setWordLists("ab,,c");  // an empty entry between the words
  const struct {
    const char* in;
    const char* out;
  } cases[] = {
      {"abcab", "*****"},  // ab first, then c
      {"ABC", "ABC"},      // upper case is not matched
      {"xAbcx", "xAb*x"},
      {"", ""},
  };
  for (const auto& c : cases) {
    Variant text = c.in;
    EXPECT_EQ(z.ChkBadWords(text).str(), c.out) << c.in;
    EXPECT_EQ(text.str(), c.out) << c.in;
  }
}

TEST_F(TextFilterTest, ChkBadWordsCountsCharactersAndWorksOnEarlierResults) {
  setWordLists("坏蛋,*b,");  // trailing comma: an empty last entry
  Variant text = "大坏蛋b";
  // 坏蛋 becomes two stars, and "*b" is then found in the starred text.
  EXPECT_EQ(z.ChkBadWords(text).str(), "大***");
  EXPECT_EQ(text.str(), "大***");
}

TEST_F(TextFilterTest, ChkBadWordsOfNullAndWithoutAList) {
  setWordLists("ab");
  Variant null = Variant::null();
  EXPECT_EQ(z.ChkBadWords(null).str(), "无昵称");

  setWordLists("");  // an empty bad-word section changes nothing
  Variant text = "abc";
  EXPECT_EQ(z.ChkBadWords(text).str(), "abc");

  h.application().set("zurva_info", Variant(VariantArray{Variant("only<><><><><>two sections")}));
  Variant untouched = "abc";
  EXPECT_TRUE(z.ChkBadWords(untouched).isEmpty());
  EXPECT_EQ(untouched.str(), "abc");
  EXPECT_NE(log().find("\\1, ChkBadWords: 下标越界"), std::string::npos);
}

// ------------------------------------------------------------------ ubbcode

TEST_F(TextFilterTest, UbbcodeEveryStepOnOneInput) {
  const std::string in =
      "<a> \r\n[img]=http://[/img][img]=[/img][img]=null[/img][img]http://x.cn/a.gif[/img]"
      "[b]B[/b][i]I[/i][u]U[/u][h1]1[/h1][h6]6[/h6][flash]f.swf[/flash][marquee]M[/marquee]"
      "[red]R[/red][purple]P[/purple][email]a@b.cn[/email][url=x.asp]go[/url]]";
  const std::string out =
      std::string("&lt;a&gt;&nbsp;<br>\n") + kBadImage + kBadImage + kBadImage +
      "<center><img src=http://x.cn/a.gif border=0 vspace=5></center>"
      "<b>B</b><i>I</i><u>U</u><h1>1</h1><h6>6</h6><embed src=f.swf width=500 height=375>"
      "<marquee scrolldelay=100>M</marquee><font color=red>R</font><font color=purple>P</font>"
      "<a href=mailto:a@b.cn" + kEmailLabel + "<a href=x.asp" + kLinkOpener + "go</font></u></a>" +
      kLinkOpener;
  EXPECT_EQ(z.ubbcode(in).str(), out);
}

TEST_F(TextFilterTest, UbbcodeHeadingsAndColours) {
  for (int n = 1; n <= 6; ++n) {
    const std::string tag = "h" + std::to_string(n);
    EXPECT_EQ(z.ubbcode("[" + tag + "]x[/" + tag + "]").str(), "<" + tag + ">x</" + tag + ">");
  }
  for (const char* colour : {"black", "white", "red", "pink", "blue", "green", "olive", "navy", "gray",
                             "fuchsia", "yellow", "silver", "purple"}) {
    EXPECT_EQ(z.ubbcode("[" + std::string(colour) + "]x[/" + colour + "]").str(),
              "<font color=" + std::string(colour) + ">x</font>");
  }
}

TEST_F(TextFilterTest, UbbcodeUnknownTagsAndStrayBrackets) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"[h7]x[/h7]", std::string("[h7") + kLinkOpener + "x[/h7" + kLinkOpener},
      {"[B]x[/B]", std::string("[B") + kLinkOpener + "x[/B" + kLinkOpener},  // tags are case-sensitive
      {"a]b", std::string("a") + kLinkOpener + "b"},
      {"a[b", "a[b"},
      {"[/img][/url]", " border=0 vspace=5></center></font></u></a>"},
      {"[email]", "[email]"},  // an opening tag with no target stays as text
      {"[img]x.gif", "[img]x.gif"},
      {"[url=x.asp", "[url=x.asp"},
  };
  for (const auto& c : cases) EXPECT_EQ(z.ubbcode(c.in).str(), c.out) << c.in;
}

TEST_F(TextFilterTest, UbbcodeAcceptsHttpHttpsRelativeAndAddressTargets) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"[url=https://a.cn/p?x=1&y=2]t[/url]", std::string("<a href=https://a.cn/p?x=1&y=2") + kLinkOpener + "t</font></u></a>"},
      {"[url=HTTP://A.CN]t[/url]", std::string("<a href=HTTP://A.CN") + kLinkOpener + "t</font></u></a>"},
      {"[url=/bbs/list.asp?t=a:b]t[/url]", std::string("<a href=/bbs/list.asp?t=a:b") + kLinkOpener + "t</font></u></a>"},
      {"[url=ftp://a.cn/f.zip]t[/url]", std::string("<a href=ftp://a.cn/f.zip") + kLinkOpener + "t</font></u></a>"},
      {"[url=mailto:li@a.cn]t[/url]", std::string("<a href=mailto:li@a.cn") + kLinkOpener + "t</font></u></a>"},
      {"[img]pic/a b.gif[/img]", "<center><img src=pic/a&nbsp;b.gif border=0 vspace=5></center>"},
      {"[img]=http://x.cn/a.gif[/img]", "<center><img src==http://x.cn/a.gif border=0 vspace=5></center>"},
      {"[email]zhang.san@mail.x.cn[/email]", std::string("<a href=mailto:zhang.san@mail.x.cn") + kEmailLabel},
  };
  for (const auto& c : cases) EXPECT_EQ(z.ubbcode(c.in).str(), c.out) << c.in;
}

TEST_F(TextFilterTest, UbbcodeLeavesOtherTargetsAsText) {
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {"[url=javascript:alert(1)]t[/url]", "[url=javascript:alert(1)]t[/url]"},
      {"[url=JavaScript:alert(1)][b]t[/b][/url]", "[url=JavaScript:alert(1)]<b>t</b>[/url]"},
      {"[url=&#106;avascript:alert(1)]t[/url]", "[url=&#106;avascript:alert(1)]t[/url]"},
      {"[url=java&#115;cript:alert(1)]t[/url]", "[url=java&#115;cript:alert(1)]t[/url]"},
      {"[url= javascript:alert(1)]t[/url]", "[url=&nbsp;javascript:alert(1)]t[/url]"},
      {"[url=data:text/html,x]t[/url]", "[url=data:text/html,x]t[/url]"},
      {"[url=\"x.asp]t[/url]", "[url=\"x.asp]t[/url]"},
      {"[img]javascript:alert(1)[/img]", "[img]javascript:alert(1)[/img]"},
      {"[img]x.gif\tonerror=alert(1)[/img]", "[img]x.gif\tonerror=alert(1)[/img]"},
      {"[img]x.gif\nonerror=alert(1)[/img]", "[img]x.gif\nonerror=alert(1)[/img]"},
      {"[flash]vbscript:x[/flash]", "[flash]vbscript:x[/flash]"},
      {"[email]javascript:alert(1)[/email]", "[email]javascript:alert(1)[/email]"},
      {"[email]a b@c.cn[/email]", "[email]a&nbsp;b@c.cn[/email]"},
      // Images and movies load over http, https or a relative path only.
      {"[img]ftp://x/a.gif[/img]", "[img]ftp://x/a.gif[/img]"},
      {"[img]mailto:a@b.cn[/img]", "[img]mailto:a@b.cn[/img]"},
      {"[flash]ftp://x/a.swf[/flash]", "[flash]ftp://x/a.swf[/flash]"},
  };
  for (const auto& c : cases) EXPECT_EQ(z.ubbcode(c.in).str(), c.out) << c.in;
  // A refused link keeps its own closing tag as text; the next link's is replaced.
  EXPECT_EQ(z.ubbcode("[url=javascript:x]a[/url][url=b.asp]b[/url]").str(),
            std::string("[url=javascript:x]a[/url]<a href=b.asp") + kLinkOpener + "b</font></u></a>");
  // A refused link without a closing tag of its own never takes the closing
  // tag of a later link: no anchor is left open.
  const std::string later = std::string("<a href=http://y") + kLinkOpener + "b</font></u></a>";
  EXPECT_EQ(z.ubbcode("[url=javascript:x]a[url=http://y]b[/url]").str(), "[url=javascript:x]a" + later);
  EXPECT_EQ(z.ubbcode("[url=javascript:x]a[url=javascript:y]b[/url][url=http://y]b[/url]").str(),
            "[url=javascript:x]a[url=javascript:y]b[/url]" + later);
  EXPECT_EQ(z.ubbcode("[url=ftp://x/f]f[/url]").str(),
            std::string("<a href=ftp://x/f") + kLinkOpener + "f</font></u></a>");
}

// The replacement chain written out step by step, for inputs whose targets
// are all accepted. The e-mail label's own "]" is held back from the last
// step, so the label stays whole.
std::string replacementChain(std::string s) {
  s = Replace(s, "<", "&lt;");
  s = Replace(s, ">", "&gt;");
  s = Replace(s, "\r", "<br>");
  s = Replace(s, " ", "&nbsp;");
  for (const char* bad : {"[img]=http://[/img]", "[img]=[/img]", "[img]=null[/img]"}) s = Replace(s, bad, kBadImage);
  s = Replace(s, "[img]", "<center><img src=");
  s = Replace(s, "[/img]", " border=0 vspace=5></center>");
  for (std::string t : {"b", "i", "u", "h1", "h2", "h3", "h4", "h5", "h6"}) {
    s = Replace(s, "[" + t + "]", "<" + t + ">");
    s = Replace(s, "[/" + t + "]", "</" + t + ">");
  }
  s = Replace(Replace(s, "[flash]", "<embed src="), "[/flash]", " width=500 height=375>");
  s = Replace(Replace(s, "[marquee]", "<marquee scrolldelay=100>"), "[/marquee]", "</marquee>");
  for (std::string c : {"black", "white", "red", "pink", "blue", "green", "olive", "navy", "gray", "fuchsia",
                        "yellow", "silver", "purple"}) {
    s = Replace(s, "[" + c + "]", "<font color=" + c + ">");
    s = Replace(s, "[/" + c + "]", "</font>");
  }
  s = Replace(s, "[email]", "<a href=mailto:");
  s = Replace(s, "[/email]", Replace(kEmailLabel, "]", "\x01"));
  s = Replace(s, "[url=", "<a href=");
  s = Replace(s, "[/url]", "</font></u></a>");
  s = Replace(s, "]", kLinkOpener);
  return Replace(s, "\x01", "]");
}

TEST_F(TextFilterTest, UbbcodeMatchesTheReplacementChainOnOrdinaryText) {
  const char* inputs[] = {
      "[b][i]粗斜[/i][/b] [u]下划线[/u]",
      "[url=http://a.cn/x.asp?id=5]看 [red]这里[/red][/url] 然后 [email]li@a.cn[/email]",
      "[img]http://a.cn/1.jpg[/img][img]2.jpg[/img][img]=null[/img]",
      "[[b]] [/b]] [[/h3] [h2][/h2x] [bb] [/]",
      "[flash]http://a.cn/m.swf[/flash]\r\n第二行 <script>x</script>",
      "[marquee][green]走马[/green][/marquee][silver][/silver][fuchsia]",
      "[img]=[/img][img]=http://[/img][/img][/email][/url]]]",
      "[url=x.asp][url=y.asp]z[/url][/url]",
      "a [h1]b[/h1] c\r\r\n[yellow]d[/yellow] [navy][/navy]",
      "[url=http://a.cn][img]http://a.cn/b.gif[/img][/url] [URL=x.asp]X[/URL] [url]y[/url] [IMG]z[/IMG]",
      "[url=x.asp]see [note] a[1] [[here]][/url][Red][/b][email]a@b.cn[/email]",
  };
  for (const char* in : inputs) EXPECT_EQ(z.ubbcode(in).str(), replacementChain(in)) << in;
}

TEST_F(TextFilterTest, UbbcodeOfNullIsLogged) {
  EXPECT_TRUE(z.ubbcode(Variant::null()).isEmpty());
  EXPECT_NE(log().find("\\1, ubbcode: 无效使用 Null"), std::string::npos);
}

// ------------------------------------------------------------------ repla

TEST_F(TextFilterTest, ReplaCollapsesAndTrimsSeparators) {
  const struct {
    const char* text;
    const char* separator;
    const char* out;
  } cases[] = {
      {",,a,,,b,", ",", "a,b"},
      {",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,x", ",", "x"},
      {"a,b", ",", "a,b"},
      {",", ",", ""},
      {"##a####b##", "##", "##a##b##"},  // a two-character separator is never trimmed
      {"#a##b#", "##", "#a##b#"},
      {"ab", "", "ab"},
      {"、、甲、、乙", "、", "甲、乙"},
  };
  for (const auto& c : cases) {
    Variant text = c.text;
    EXPECT_EQ(z.repla(text, c.separator).str(), c.out) << c.text;
    EXPECT_EQ(text.str(), c.out) << c.text;
  }
}

TEST_F(TextFilterTest, ReplaOfEmptyTextAndEmptySeparatorIsLogged) {
  Variant text = "";
  EXPECT_TRUE(z.repla(text, "").isEmpty());
  EXPECT_NE(log().find("\\1, repla: 无效的过程调用或参数"), std::string::npos);
}

// ------------------------------------------------------------------ showstr

TEST_F(TextFilterTest, ShowstrCutsLongerTextOnly) {
  const struct {
    Variant text;
    Variant num;
    const char* out;
  } cases[] = {
      {"abcdef", 3, "abc..."},
      {"abcdef", 5, "abcde..."},
      {"abcdef", 6, "abcdef"},
      {"abcdef", 7, "abcdef"},
      {"abcdef", "3", "abc..."},
      {"中文内容很长", 2, "中文..."},
      {"", 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(z.showstr(c.text, c.num).str(), c.out) << c.text.str();
  EXPECT_TRUE(z.showstr(Variant::null(), 3).isNull());
}

TEST_F(TextFilterTest, ShowstrWithALengthThatIsNoNumberIsLogged) {
  EXPECT_TRUE(z.showstr("abcdef", "x").isEmpty());
  EXPECT_NE(log().find("\\1, showstr: 类型不匹配"), std::string::npos);
}

// ------------------------------------------------------------------ Safereplace

TEST_F(TextFilterTest, SafereplaceEscapesAndRewrites) {
  Variant text = "it's <b>$5</b>";
  EXPECT_EQ(z.Safereplace(text).str(), "it&#39;s &lt;b&gt;5&lt;/b&gt;");
  EXPECT_EQ(text.str(), "it&#39;s &lt;b&gt;5&lt;/b&gt;");

  Variant null = Variant::null();
  const Variant result = z.Safereplace(null);
  EXPECT_TRUE(result.isString());
  EXPECT_EQ(result.str(), "");
  EXPECT_TRUE(null.isNull());
}

}  // namespace
}  // namespace zurvafun
