// What ends a member's logins before his cookies grow old. The signed member
// cookie "kalimo" cannot be forged, but a copy of it stays good until it is
// too old; so the member row keeps the truth about it:
//   - cookiever: a number the login copies into the member cookie as its
//     sub-key "ver". A logout, a password change and a lock raise it, and a
//     page that reads the member row refuses a cookie whose number is not the
//     row's: every cookie written before then, on every browser and by every
//     server that shares the database, ends at once.
//   - remembertoken: the SHA-256 (hex) of the member's remember-me token, the
//     random text that the remember-me cookie "rupeni" holds instead of his
//     password; Null when he has none. The same events drop it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace zurvafun {
class Viewer;
}
namespace zurvafun::db {
class Connection;
}

namespace zurvafun::logins {

// The member cookie's sub-key that carries the row's cookiever.
inline constexpr const char* kCookieNumber = "ver";

// A fresh remember-me token: 128 random bits of the operating system, as 32
// lower-case hex digits.
std::string newRememberToken();
// The stored form of a token: the SHA-256 of its text, 64 lower-case hex digits.
std::string tokenDigest(std::string_view token);
// A token as newRememberToken writes it (a cookie holding anything else
// proves nothing).
bool wellFormedToken(std::string_view token);

// Ends every login of member `userid`: raises his cookiever and drops his
// remember-me token, in one statement.
void endLogins(db::Connection& conn, std::int32_t userid);

// Whether the viewer's member cookie still counts: his member row exists, is
// not locked (ifdel 1) and holds the number the cookie carries. A viewer
// without a member login (an empty username) is not asked about; this is
// for member cookies only.
bool memberCookieCurrent(db::Connection& conn, const Viewer& viewer);
// The select memberCookieCurrent runs for member `userid`.
std::string cookieCheckSelect(std::int32_t userid);

}  // namespace zurvafun::logins
