// What the demo site's interaction pages share: the page frame, the
// logged-in member, the database, links in the site's link mode.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "db/db.h"
#include "host/serve/pages.h"
#include "site/pages.h"

namespace zurvafun {
class zurva;
}

namespace zurvafun::site::interaction_pages {

// The logged-in member's number (a signed member cookie with a user name and
// a member number), or std::nullopt for a visitor.
std::optional<std::int32_t> loggedInMember(const serve::PageContext& p);
// The site's database (std::runtime_error when it cannot be opened: the host
// answers 500).
db::Connection openDatabase(const serve::PageContext& p);
// A whole number from a request value, or std::nullopt.
std::optional<std::int32_t> numberOf(const Variant& value);

// A site link in the site's link mode, escaped for an attribute.
std::string link(zurva& z, std::string target);
// <a href="link">text</a>; `text` is written as it stands.
std::string anchor(zurva& z, std::string target, std::string_view text, std::string_view attributes = "");
std::string esc(std::string_view text);

// The page that asks a visitor to log in first.
void askToLogIn(zurva& z, serve::PageContext& p, std::string_view title);

// Registers the party pages (pages_party.cpp).
void registerPartyPages(serve::PageRegistry& pages);

}  // namespace zurvafun::site::interaction_pages
