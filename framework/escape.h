// Escaping of member-supplied text for the place where a page writes it.
//
// Text that came from a visitor or from stored member columns passes through
// one of these before it is written into a page; fixed texts of the system and
// text already passed through the system's own HTML filter are written as
// they stand. Ordinary text (no special characters) comes back unchanged.
#pragma once

#include <string>
#include <string_view>

namespace zurvafun {

// For HTML text and attribute values: & < > " ' become &amp; &lt; &gt; &quot;
// &#39;. Every other byte passes unchanged.
std::string htmlEscape(std::string_view text);

// For text inside a JavaScript string literal in single or double quotes,
// written in a <script> element: \ ' " become \\ \' \", CR and LF become \r
// and \n, the line separators U+2028 and U+2029 become \u2028 and \u2029, and
// "</" becomes "<\/" so that the text cannot close the script element. Every
// other byte passes unchanged.
//
// Text that lands both in HTML and in a script string (the message text of
// the message-box form, which is shown in the box and in the alert) takes
// jsEscape(htmlEscape(text)).
std::string jsEscape(std::string_view text);

// For text put between single quotes in a SQL statement: every ' doubled.
std::string sqlQuoted(std::string_view text);

}  // namespace zurvafun
