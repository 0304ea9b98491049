// The encoded member id that profile and photo links carry, and small text
// utilities. None of these methods traps errors: the caller receives them.
#include <memory>

#include "framework/zurva.h"
#include "host/objects.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

// Added to the member number before it is encoded.
const Variant kIdOffset = 1314520;

}  // namespace

// The token: the character code of each character of (id + 1314520) in
// decimal, "S", then the 16-digit MD5 of the id as passed.
Variant zurva::idasc(const Variant& id) {
  return untrapped([&] {
    const std::string number = CStr(Int(id) + kIdOffset);
    std::string token;
    token.reserve(2 * number.size() + 17);
    for (const char ch : number) token += std::to_string(Asc(std::string_view(&ch, 1)));
    token += 'S';
    token += MD5(id, 16).str();
    return token;
  });}

// The member number of the digit-code part of a token: each pair of digits is
// a character code. The digest part is not checked.
Variant zurva::idchar(const Variant& id) {
  return untrapped([&] {
    const std::string codes = CStr(id);
    const long length = Len(codes);
    std::string number;
    for (long i = 1; i <= length; i += 2) number += Chr(CLng(Variant(Mid(codes, i, 2))));
    return Int(Variant(number)) - kIdOffset;
  });}

// The value of member `userid` in "id@value,id@value,...", or "wu". The comma
// before the id makes the match exact (5 does not match 15).
Variant zurva::qdate(const Variant& userid, const Variant& i) {
  return untrapped([&]() -> Variant {
    const std::string list = "," + i.str() + ",";
    const std::string key = "," + userid.str() + "@";
    const long found = InStr(list, key);
    if (found == 0) return "wu";
    const std::string rest = Mid(list, found + Len(key));
    return Left(rest, InStr(rest, ",") - 1);
  });}

// The text after the key and one separator character, up to "$}".
Variant zurva::zurvastr(const Variant& str, const Variant& qstr) {
  return untrapped([&] {
    const std::string text = CStr(str);
    const std::string key = CStr(qstr);
    const std::string rest = Mid(text, InStr(text, key) + Len(key) + 1);
    return Left(rest, InStr(rest, "$}") - 1);
  });}

// A GET of an http or https URL (10-second time-out); the body as text.
Variant zurva::zurvatop(const Variant& url) {
  return untrapped([&] {
    const auto http = std::dynamic_pointer_cast<host::XmlHttpRequest>(
        Server().CreateObject("MSXML2.ServerXMLHTTP.3.0"));
    if (!http) raise(err::ObjectRequired);
    http->Open("GET", CStr(url), false);
    http->Send();
    return http->ResponseText();
  });}

Variant zurva::zurvalms_version() {
  return untrapped([&] {
    return "2.1.0.18";
  });}

}  // namespace zurvafun
