// Class zurva: the server-side engine of the dating site. A page creates one
// instance per request (it takes the request context of the calling thread and
// filters the request's input), calls one or a few methods, and releases it.
//
// This header is the component's table of contents: the public methods by
// subsystem, then the core every method needs (request context, the error
// modes, opening the database). Helpers that several methods share are free
// functions in small headers of their subsystem (framework/viewer.h,
// framework/site_settings.h, framework/html.h, framework/sql.h,
// model/member_record.h …).
//
// Every public method takes its arguments as variants; an argument the method
// writes back is a non-const reference. A method that ends the response raises
// the request-end error (RequestEndError), which every caller passes on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "framework/log_tags.h"
#include "host/host.h"
#include "runtime/variant.h"

namespace zurvafun {

namespace db {
class Connection;
}

// The named steps of a long method, kept in the method's own file: there a
// specialization MethodSteps<Tag> (Tag a type of that file) holds the steps,
// which may use what the method itself uses.
template <class Method>
struct MethodSteps;

class zurva {
 public:
  zurva();
  ~zurva();
  zurva(const zurva&) = delete;
  zurva& operator=(const zurva&) = delete;

  // Public table properties of the MD5 digest (31 entries each).
  std::vector<long> m_lOnBits;
  std::vector<long> m_l2Power;

  // ================================================================ 1. request framework (framework/)

  // ---------------------------------------------------------------- request framework: messages
  // Message texts and URLs are written as they stand: callers pass fixed
  // texts, and escape visitor text for where it lands (framework/escape.h).

  // Alert (msgtype 1) or message box (other msgtype), then goes back ("-1"),
  // closes the window ("-2"), goes back twice ("-10") or goes to the URL
  // `gourl`; always ends the response and raises the request-end error.
  void Msg(const Variant& v, const Variant& gourl, const Variant& msgtype);
  // Alert, then the top frame goes to `gourl`; the request goes on.
  void Msg1(const Variant& v, const Variant& gourl);
  // A small complete page (modes 1 to 4) that ends the response and raises
  // the request-end error; other modes do nothing.
  void MsgOut(const Variant& Msg, const Variant& href, const Variant& mode);
  // The error table: title `AspToDll_Str` and the possible causes `errmsg`
  // (HTML). Writes nothing.
  Variant zurva_error(const Variant& AspToDll_Str, const Variant& errmsg);

  // ---------------------------------------------------------------- request framework: guards

  // No-cache headers: Expires -1, ExpiresAbsolute a day ago, Cache-Control no-cache.
  void clearcookies();
  // True when the referrer names this server right after "http://" (and the
  // host name ends there).
  Variant ChkPost();
  // Refuses (script alert, closes the window, ends the request) unless ChkPost.
  void chkpostfrom();
  // Refresh-flood guard of the listed pages: a second view within 50 seconds
  // of the last accepted one (session value ReflashTime) is refused.
  void chkreflash();
  // Numeric guard: true for a numeric value of at most 15 characters, else
  // "请求错误！" through Msg (the request ends).
  Variant pages(const Variant& AspToDll_Str);
  // E-mail syntax: one "@", parts of letters, digits, "_", "-", "." (no
  // dot at either end, no ".."), a domain ending in a dot and 2 or 3 characters.
  Variant IsValidEmail(const Variant& email);
  // "http://" SERVER_NAME URL, then "?" QUERY_STRING when there is one.
  Variant Backurl();
  // Placeholder of the paging bar: no effect.
  void LastNextPage(const Variant& pagecount, const Variant& page, const Variant& table_style,
                    const Variant& font_style);

  // ---------------------------------------------------------------- request framework: links and skins

  // The link in the shape of the site's URL mode (field 4 of the application
  // value zurva_skinbase_info; 1 = static ".html" links, else dynamic ".asp"
  // links). In mode 1 an ".asp" link with a query is also rewritten in `url`
  // to its cleaned dynamic form; otherwise `url` is left as it was.
  Variant showurl(Variant& url);
  // `url1` with every link placeholder "{$link$}" replaced by showurl(link).
  Variant showsqlurl(const Variant& url1);
  // Separates skin placeholders "{$name$}" with "&nbsp;"; writes the result
  // back into `skins` and returns it.
  Variant replace_skins(Variant& skins);
  // Returns `skins` unchanged; the connection parameters are not used.
  Variant showskins(const Variant& skins, const Variant& SqlLocalName, const Variant& SqlUserName,
                    const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // ---------------------------------------------------------------- request framework: notices and utilities
  // Fixed page fragments of the administration and result pages.
  void adminflag();
  void Up_mes(const Variant& m_t, const Variant& m_s, const Variant& m_u, const Variant& m_time);
  void Up_mes1(const Variant& m_t, const Variant& m_s, const Variant& m_u, const Variant& m_u1,
               const Variant& m_time);
  void Up_mes2(const Variant& m_t, const Variant& m_s, const Variant& m_u, const Variant& m_u2,
               const Variant& m_u3, const Variant& m_time);
  void sendinfo(const Variant& tl, const Variant& mes);
  void admintop();
  void zurvaselect();
  // One line into a server file (appended or replacing the file).
  void Write2File(const Variant& strFile, const Variant& strContent, const Variant& blnAppend);
  // A random 16-character password of letters and digits.
  Variant Createpass();
  // Whether Server.CreateObject can make the class.
  Variant IsObjInstalled(const Variant& strClassString);
  // The URL with "?" or "&" appended where one more parameter can follow.
  Variant JoinChar(const Variant& strUrl);

  // ---------------------------------------------------------------- request framework: MD5
  // The MD5 digest of the text's GBK bytes as lower-case hex: all 32 digits
  // when stype is 32, else the 16 middle digits.
  Variant MD5(const Variant& sMessage, const Variant& stype);

  // ---------------------------------------------------------------- request framework: login and ledger
  // Handler of the login form (fields username, password, log_type, inpass):
  // checks the name and password against zurva_user, records the login on the
  // member's row, writes the member cookie "kalimo" and the remember-me cookie
  // "rupeni" (a remember-me token, never the password; the form posted with
  // the box ticked and no password logs in with the token), and hands a
  // verified member to the forum when the site has one (application value
  // zurva_forum "1"), else sends him to the member home. Does not end the response.
  void chklogin(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                const Variant& SqlDatabaseName);
  // Appends one movement (member number, amount, description) to the love-coin
  // ledger emoneymx; balances are the caller's business. A member or an
  // administrator must be logged in.
  void loveb_add(const Variant& str_a, const Variant& str_c, const Variant& str_d,
                 const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                 const Variant& SqlDatabaseName);
  // Copies the logged-in member's current balance into kalimo(emoney) and
  // returns it (Empty when the database cannot be opened).
  Variant emoneycookies(const Variant& SqlLocalName, const Variant& SqlUserName,
                        const Variant& SqlPassword, const Variant& SqlDatabaseName);


  // ---------------------------------------------------------------- request framework: id encoding and small utilities
  // The member-id token: digit codes of (id + 1314520), "S", MD5(id, 16).
  Variant idasc(const Variant& id);
  // The member number of a token's digit-code part.
  Variant idchar(const Variant& id);
  // The value of member `userid` in a list "id@value,id@value", or "wu".
  Variant qdate(const Variant& userid, const Variant& i);
  // The text after the key (and one separator) up to "$}".
  Variant zurvastr(const Variant& str, const Variant& qstr);
  // The body of an HTTP GET of an http or https URL.
  Variant zurvatop(const Variant& url);
  Variant zurvalms_version();

  // ================================================================ 2. shared helpers (helpers/)

  // ---------------------------------------------------------------- helpers: text filters
  // Plain text to HTML: double blanks as ideographic spaces, HTML-encoded,
  // CR LF as "<BR>"; Null and "" come back unchanged.
  Variant HtmlOut(const Variant& AspToDll_Str);
  // Stars out every word of the site's bad-word list (case-sensitive); the
  // argument is rewritten. A Null text gives "无昵称".
  Variant ChkBadWords(Variant& fString);
  // Bracket markup to HTML. Link, image, flash and e-mail targets that are
  // not plain http/https addresses, relative paths or e-mail addresses stay
  // as text.
  Variant ubbcode(const Variant& AspToDll_Str);
  // Collapses repeated separators and trims a one-character separator from
  // both ends; the text argument is rewritten.
  Variant repla(Variant& AspToDll_Str, const Variant& substr);
  // The first `num` characters, with "..." when the text was longer.
  Variant showstr(const Variant& AspToDll_Str, const Variant& num);
  // Apostrophes and angle brackets as entities, "$" removed; the argument is
  // rewritten (a Null text gives "" and is left alone).
  Variant Safereplace(Variant& AspToDll_Str);

  // ---------------------------------------------------------------- helpers: grades and formatting
  // Grade badge HTML and grade name (0 temporary silver, 1 ordinary,
  // 2 silver, 3 and above gold; anything else gives Empty).
  Variant dj(const Variant& grade1);
  Variant dj1(const Variant& grade1);
  // An amount below 1 as text with one leading digit; the argument is rewritten.
  Variant fmoney(Variant& tpay);
  // Two decimals with grouping; the argument is rewritten (Null gives Empty).
  Variant formatnumber2(Variant& num);
  // Date-time text by style number 0-9; any other style gives Empty.
  Variant FormatDT(const Variant& dt, const Variant& style);
  // The member number padded with "0" to six characters.
  Variant gradeshow(const Variant& userid);
  // A random whole number from `last` to `max` that is not an item of the
  // comma list `all`; after 1000 failed draws `all` is cleared and the list
  // ignored. Bounds that no number can satisfy raise error 5.
  Variant shuiji(const Variant& max, const Variant& last, Variant& all);

  // ---------------------------------------------------------------- helpers: member display
  // Head-photo cells. `photo` is the member's smallphoto value (file name and
  // approval flag), `ifphotolook` his photo privacy (2 gold and silver members
  // only, 3 friends only), `sex` his sex code, `a` and `b` width and height.
  // showphoto: the image tag for a guest (privacy 2 and 3 always give the
  // placeholder). showphoto1: for a viewer of grade `grade`; the placeholder of
  // privacy 2 up to grade 1, of privacy 3 when `iffriend` is 0 up to grade 10.
  Variant showphoto(const Variant& photo, const Variant& ifphotolook, const Variant& sex,
                    const Variant& a, const Variant& b);
  Variant showphoto1(const Variant& photo, const Variant& ifphotolook, const Variant& iffriend,
                     const Variant& grade, const Variant& sex, const Variant& a, const Variant& b);
  // The same decisions as picture URLs for the forum (not HTML: the caller
  // escapes them where it writes them); bbsphoto1 hides privacy-2 photos from
  // grade 1 only.
  Variant bbsphoto(const Variant& photo, const Variant& ifphotolook, const Variant& sex);
  Variant bbsphoto1(const Variant& photo, const Variant& ifphotolook, const Variant& iffriend,
                    const Variant& grade, const Variant& sex);
  // Number of approved entries ("1" flag) of a "#"-separated photo list.
  Variant photonum(const Variant& photo);
  // A packed value ending in its visibility digit, as HTML for the viewer of
  // the member cookie: the value (HTML-escaped) or a visibility notice.
  Variant ifshow(const Variant& iffriend, const Variant& data);
  // 1 when viewer `userid` may pass the friends-only photo rule of member
  // `senduid` (a friendship row in either direction, or the member himself).
  Variant mainiffriend(const Variant& userid, const Variant& senduid, const Variant& SqlLocalName,
                       const Variant& SqlUserName, const Variant& SqlPassword,
                       const Variant& SqlDatabaseName);

  // ---------------------------------------------------------------- helpers: region menus
  // The province select built from the region menu text of zurva_system row 1:
  // `cityname` is its name and id, `onch` its onChange script, `str` the text
  // of the first option (value 0, selected); one option per province.
  Variant citymenu(const Variant& SqlLocalName, const Variant& SqlUserName,
                   const Variant& SqlPassword, const Variant& SqlDatabaseName, const Variant& onch,
                   const Variant& str, const Variant& cityname);
  // The client-side city table script (subcat, onecount) of the 467 cities.
  Variant allcitymenu();

  // ================================================================ 3. member record and profile forms (profile/)

  // ---------------------------------------------------------------- profile forms
  // The logged-in member's own profile edit form "form1", pre-filled from his
  // row of zurva_user and posted to the site's save page "regsubmit.html";
  // rows behind verified data are locked. A guest gets "非法操作". Written into
  // the response; a failing step is left out and the form goes on.
  void umod1_editinfo(const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // The administrator's edit form of member Request("userid"), returned as
  // the method's result: every profile control editable, an account block
  // with a new-password box, posted to "reg_submit.asp". A request that names
  // no member gets "请求错误！"; an error part-way is logged and the page as
  // built so far is returned.
  Variant admin_editinfo(const Variant& SqlLocalName, const Variant& SqlUserName,
                         const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // ---------------------------------------------------------------- registration check
  // Checks the posted registration or profile form: sets `erro` to 0, then to
  // the code of every failing check in turn, and returns the last one (0 when
  // the form passes). A value holding a word of the site's illegal-word list
  // ends the request with "非法字符！" and the word.
  Variant erroo(Variant& erro);
  // The error box (zurva_error) of a code of erroo or of the site's own
  // registration pages; Empty for a code it does not know.
  Variant showerro(const Variant& erro);

  // ================================================================ 4. member profiles and photo albums (members/)

  // ---------------------------------------------------------------- members: profile panel
  // Writes the public profile panel of member `id` (request value) as the
  // viewer of the member cookie (or a guest) may see it: basic data, partner
  // criteria, contact data by the contact rules, self-introduction. A refused
  // or unknown id gets "请求错误！" through Msg.
  void memberinfo(const Variant& SqlLocalName, const Variant& SqlUserName,
                  const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // ---------------------------------------------------------------- members: own photo manager
  // The logged-in member's photo manager (or, for an administrator, that of
  // the member the query value userid names): writes the page with the head
  // photo and the album nine to a page, then carries out the action of the
  // request value ifok: "upphoto" (form value xxphoto becomes the profile
  // picture), "del" (album entry ID with its files), "headdel" (head photo).
  void photo_show(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                  const Variant& SqlDatabaseName);
  // The site path of the file the last delete of photo_show worked on.
  std::string filename;

  // ---------------------------------------------------------------- members: albums
  // The visitors' album grid: the approved entries of the photo list that
  // the page's query `sql` gives (first column), newest first, nine to a
  // page, thumbnails from the folder `small`. A member's album (request
  // value id) is checked against his album privacy; `ptype` "other" is the
  // album of a story or a party (request value storyid or partyid).
  void memberphoto(const Variant& sql, const Variant& ptype, const Variant& small,
                   const Variant& SqlLocalName, const Variant& SqlUserName,
                   const Variant& SqlPassword, const Variant& SqlDatabaseName);
  // One full-size photo (folder `dir`) of the album the query `sql` gives,
  // at the approved-entry index of the request value named `page`, with
  // links to the previous and the next one; `stype` is the page's own query
  // text that names the album in those links. A member's album (request
  // value id, plain or encoded) is checked as the grid checks it.
  Variant showxcphoto(const Variant& sql, const Variant& dir, const Variant& stype, const Variant& page,
                      const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // ---------------------------------------------------------------- members: member-card list
  // The page's member query `sql` as a page (request value Page) of ten
  // member cards with the paging bar, returned as HTML; the bar's links carry
  // "sex=1" when the request holds a non-empty value sex.
  Variant showmeminfo(const Variant& sql, const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // ================================================================ 5. member search (search/)

  // Handler of the advanced search form (posted fields of form3). Search
  // mode: the search condition into the session value "iwhere", then a
  // redirect to the result page. With the query value menu "save": the
  // logged-in member's criteria into his saved criteria (userbz), then
  // "保存成功". Ends the request on every path but a logged failure.
  void seach(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
             const Variant& SqlDatabaseName);
  // The result list of the session's search condition (at most 200 members,
  // sort order from `order` / `sign`), or with menu "1" the single search by
  // member number, nickname or account name; six member rows a page (photos
  // `width` by `height`), or twenty rows of the administrators' table when
  // `rtype` is "admin". Returns the HTML.
  Variant seach_result(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                       const Variant& SqlDatabaseName, const Variant& width, const Variant& height,
                       const Variant& rtype);
  // The logged-in member's advanced search form (form3, posting to the
  // handler page in the frame "subiframe"), pre-filled from his saved
  // criteria; groups gated by the member cookie's grade; ends with the single
  // search box. Returns the HTML.
  Variant seach_bz(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                   const Variant& SqlDatabaseName);
  // The home page's quick search condition (sex, agefrom, ageto, province1,
  // city1 as posted, or as a paging link carries them), ending in " and ";
  // Empty when a value cannot be used (logged).
  Variant mainseach();
  // One page of ten quick-search member cards, then the paging bar when
  // `maintype` is 1, else the registration notice for guests. Returns the HTML.
  Variant mainseachshow(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                        const Variant& SqlDatabaseName, const Variant& maintype);

  // ================================================================ 6. showcase and home galleries (showcase/)

  // ---------------------------------------------------------------- showcase: widget
  // The promoted-member showcase: the entries of the showcase list
  // (application value zurva_myshow) that suit the viewer (a guest sees all,
  // a member those of the other sex whose wanted age range holds his age),
  // at most `num` of them drawn at random so that repeated views show every
  // entry before one comes again (the memory lives in kalimo(rand)). `stype`
  // 2 gives large cards, 1 compact cards one under the other, any other
  // value compact cards side by side (3 inside a one-row table); `width` and
  // `height` size the photos. "暂时没有我型我秀！" when nobody suits.
  Variant myshow(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                 const Variant& SqlDatabaseName, const Variant& width, const Variant& height,
                 const Variant& stype, const Variant& num);

  // ---------------------------------------------------------------- showcase: home and city gallery
  // Eight members with an approved head photo as four rows of two cards:
  // those placed on the page by payment first (by the money paid), the others
  // the highest-numbered below a number drawn at random. `city` and `city1`
  // empty give the home page; else `city` indexes the provinces of the region
  // menu and `city1` the entries of that province (a "||||" entry, or none,
  // is the whole province). "参数错误！" through Msg for indexes that name no
  // province. `width` and `height` go to the page's DrawImage.
  Variant mainshow(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                   const Variant& SqlDatabaseName, const Variant& city, const Variant& city1,
                   const Variant& width, const Variant& height);

  // ---------------------------------------------------------------- showcase: status, purchase form and handler
  // The logged-in member's showcase status box: the days, hours and minutes
  // left, the free days pending or "无我型我秀", and the button to the
  // purchase page (an alert for a member without an approved head photo).
  Variant myshow_info(const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName);
  // The purchase form: the balance, the button that starts granted free days,
  // the days to buy (ORDERMONEY) and the target age range (agefrom, ageto)
  // pre-selected from the saved partner criteria; it posts to save.asp.
  Variant myshow_apply(const Variant& SqlLocalName, const Variant& SqlUserName,
                       const Variant& SqlPassword, const Variant& SqlDatabaseName);
  // The purchase handler: action "free" starts the free days; otherwise buys
  // ORDERMONEY days at 30 E币 a day, extending a period that has not ended,
  // and saves the target age range. Balance check, charge, period and ledger
  // row in one transaction. Every outcome is a message page.
  void myshow_save(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
                   const Variant& SqlDatabaseName);

  // ================================================================ 7. member interaction (interaction/)

  // ---------------------------------------------------------------- interaction: messages
  // The lower frame of the logged-in member's conversation with member
  // `userid` (request value): reloads itself every 10 seconds, appends to the
  // upper frame's element showcontent every message not yet shown there and
  // marks it shown; with `menu` "all" it then replaces that content with the
  // whole conversation. Blacklists and the message read restriction (field 24
  // of zurva_base_info) hide the text of unread received messages.
  void msgfal(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
              const Variant& SqlDatabaseName);

  // ---------------------------------------------------------------- interaction: paid SMS
  // Sends the text `SmsMsg` to `DstMobile` through the SMS gateway (the
  // application value zurva_sms_gateway) with the site's gateway account
  // (fields 22 and 23 of zurva_base_info, written back into `UserName` and
  // `UserPass`). The logged-in member is charged `money` with a ledger row
  // `his` before the gateway is asked; True when it answered "true", else the
  // price goes back with a ledger row of its own. A balance that does not
  // cover `money` sends nothing and gives False.
  Variant SendSms(Variant& UserName, Variant& UserPass, const Variant& DstMobile,
                  const Variant& SmsMsg, const Variant& money, const Variant& his,
                  const Variant& SqlLocalName, const Variant& SqlUserName,
                  const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // ---------------------------------------------------------------- interaction: gifts
  // The gift form of catalogue gift `id` (request value) for the logged-in
  // member: the gift at its price for him (half price for grades 0 and 2 and
  // above), the receiver (preset by `reid`), a message, his friends six to a
  // page (`Page`) with a tick box each, the SMS notice box; posts to
  // "sendsave.asp". Sets the property url to the form's paging query.
  Variant slw(const Variant& SqlLocalName, const Variant& SqlUserName, const Variant& SqlPassword,
              const Variant& SqlDatabaseName);
  // Handler of the gift form: gives the gift to the receiver `to` and every
  // ticked friend `list`, each once, charges the sender and writes the gift
  // rows and ledger rows all together or not at all, then sends the SMS
  // notices asked for (`money` a notice, `sitename` and `web` in its text),
  // refreshes kalimo(emoney) and reports through Msg (the request ends).
  void slw_action(const Variant& money, const Variant& sitename, const Variant& web,
                  const Variant& SqlLocalName, const Variant& SqlUserName,
                  const Variant& SqlPassword, const Variant& SqlDatabaseName);
  // Property url: the paging query of the last friend list slw built
  // ("?id=" gift, "&reid=" receiver).
  Variant url() const { return url_; }
  void url(const Variant& value) { url_ = value; }

  // ---------------------------------------------------------------- interaction: parties
  // Handler of the party pages (request value `sign`, party `partyid`):
  // "join", "up-datejoin", "deljoin" a sign-up, "upd" (create or edit a party
  // and its summary), "del" (a party with its summary and sign-ups); each ends
  // with a message through Msg. Without `partyid` and `sign` it returns the
  // script that reloads the opener and closes the pop-up.
  Variant party_action(const Variant& SqlLocalName, const Variant& SqlUserName,
                       const Variant& SqlPassword, const Variant& SqlDatabaseName);
  // The closing rows of the organiser's party form: after the party's day the
  // summary row (text, photo upload, photo frame, verification state), then
  // the buttons that post the form to "action.asp?sign=upd".
  Variant partyaction(const Variant& SqlLocalName, const Variant& SqlUserName,
                      const Variant& SqlPassword, const Variant& SqlDatabaseName);

  // ---------------------------------------------------------------- interaction: poll
  // The poll box of the active poll of table vote (the lowest id when there
  // are several): title, up to eight options as radio buttons, the vote and
  // results buttons.
  Variant d_vote(const Variant& SqlLocalName, const Variant& SqlUserName,
                 const Variant& SqlPassword, const Variant& SqlDatabaseName);

 private:
  Variant url_;  // the property url

 private:
  friend struct ZurvaTestAccess;  // the tests reach the error modes through it
  template <class Method>
  friend struct MethodSteps;

  // ---------------------------------------------------------------- core: request context
  void AspClassInit();
  void AspClassTerminate();

  // The request context of the calling thread (error 91 when there is none).
  host::Application& Application() const;
  host::Server& Server() const;
  host::Session& Session() const;
  host::Request& Request() const;
  host::Response& Response() const;

  // Every public method starts here (the error modes call it): once the
  // response has ended, the instance does nothing more and raises the
  // request-end error.
  void enter() const;

  // ---------------------------------------------------------------- core: error modes (framework/error_modes.h)
  template <class Body>
  auto logged(Body&& body, MethodTag tag = {});
  template <class Body>
  auto untrapped(Body&& body);
  template <class Body>
  auto resumed(Body&& body);
  template <class Body>
  void resume(Body&& step);
  template <class Body>
  void trapOff(Body&& rest);

  // ---------------------------------------------------------------- core: the database
  // Opens `conn` from the four connection parameters (an open that raises an
  // error counts as failed). A database that cannot be opened ends the
  // response, and the method answers in one of three ways:
  //   open          writes "SQL数据库连接出错，请检查连接字串。" and raises the
  //                 request-end error;
  //   openOrReturn  writes the text and returns false: the method returns
  //                 normally, no error to the page;
  //   openOrAnswer  makes the text the method's `result` instead of writing
  //                 it and returns false (the methods that return their HTML).
  void open(db::Connection& conn, const Variant& SqlLocalName, const Variant& SqlUserName,
            const Variant& SqlPassword, const Variant& SqlDatabaseName);
  bool openOrReturn(db::Connection& conn, const Variant& SqlLocalName, const Variant& SqlUserName,
                    const Variant& SqlPassword, const Variant& SqlDatabaseName);
  bool openOrAnswer(db::Connection& conn, Variant& result, const Variant& SqlLocalName,
                    const Variant& SqlUserName, const Variant& SqlPassword,
                    const Variant& SqlDatabaseName);

  // The input filter run at creation; true when nothing was refused.
  Variant ChkSqlInput();
};

// Appends one line to the error log: local date and time, four blanks, the message.
void WriteLog(const std::string& message);
// The error log file: "zurvaLog.Log" in the folder of the component's library file.
std::string logFilePath();
// Puts the log elsewhere (tests running side by side, a host that keeps its
// errors on standard error: "-"); "" restores the default.
void setLogFilePath(std::string path);

}  // namespace zurvafun

#include "framework/error_modes.h"
