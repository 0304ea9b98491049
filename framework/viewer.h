// Who is asking: the visitor as the member cookie "kalimo" and the
// administrator cookie "zurva_admin" describe him. Both cookies are signed by
// the host, so their values are the ones the site wrote.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "host/host.h"

namespace zurvafun {

// The cookies the viewer is read from. Pages that log a visitor in or out
// write them; every other page asks the viewer.
inline constexpr const char* kMemberCookie = "kalimo";
inline constexpr const char* kAdministratorCookie = "zurva_admin";

class Viewer {
 public:
  explicit Viewer(const host::Request& request)
      : member_(request.Cookies(kMemberCookie)), admin_(request.Cookies(kAdministratorCookie)) {}

  // A member is logged in: the cookie's username is not empty.
  bool isMember() const;
  // An administrator is logged in: the administrator cookie's admin_name is not empty.
  bool isAdministrator() const;
  // The member number as a 32-bit number: a guest's is 0; text that is not a
  // number raises 13, a number out of range 6.
  std::int32_t userid() const;
  // The member number when the cookie holds a plain whole number that fits
  // 32 bits (numbers::digits); std::nullopt for a guest or any other text.
  std::optional<std::int32_t> memberNumber() const;
  // The grade; a guest, or a grade that is not a number, counts as 0.
  double grade() const;
  // Any sub-key of the member cookie (Empty when absent).
  Variant member(std::string_view subKey) const { return member_(subKey); }
  // Any sub-key of the administrator cookie (Empty when absent).
  Variant admin(std::string_view subKey) const { return admin_(subKey); }

 private:
  const host::RequestCookie& member_;
  const host::RequestCookie& admin_;
};

}  // namespace zurvafun
