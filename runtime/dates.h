// Dates of the original language: a day count since 1899-12-30 with the time of
// day as fraction (so `Now - 1` is the same time yesterday), an injectable
// clock, and the language's date functions.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "runtime/variant.h"

namespace zurvafun {

// Local date and time parts.
struct DateParts {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
};

double toSerial(const DateParts& p);
DateParts fromSerial(double serial);  // rounded to the whole second

// The clock: local date and time as a serial. The default reads the system clock.
using ClockSource = std::function<double()>;
// An empty function restores the system clock. Gives the clock it replaces
// (empty for the system clock).
ClockSource setClock(ClockSource clock);
double clockNow();

Variant Now();
Variant Today();  // the language's Date: today at midnight
double Timer();   // seconds since midnight

// Date of a value: Date as is, Empty as 1899-12-30, numbers as serials,
// text by the parser below; raises 13 otherwise.
double dateSerialOf(const Variant& v);
// Accepts "yyyy-m-d", "yyyy/m/d", either followed by " h:mm" or " h:mm:ss".
bool parseDate(std::string_view text, double& serial);

// intervals: "yyyy", "q", "m", "y", "d", "w", "ww", "h", "n", "s"
Variant DateAdd(std::string_view interval, double number, const Variant& date);
// Counts boundaries crossed from d1 to d2 ("d" counts midnights, "ww" Sundays).
long DateDiff(std::string_view interval, const Variant& d1, const Variant& d2);
int Year(const Variant& d);
int Month(const Variant& d);
int Day(const Variant& d);
int Hour(const Variant& d);
int Minute(const Variant& d);
int Second(const Variant& d);
int Weekday(const Variant& d);  // 1 = Sunday
Variant DateSerial(int year, int month, int day);
Variant TimeSerial(int hour, int minute, int second);

// The general date text: "yyyy-mm-dd hh:mm:ss", or "yyyy-mm-dd" at midnight
// exactly, or "hh:mm:ss" for a pure time (day 0).
std::string generalDateText(double serial);
// Always "yyyy-mm-dd hh:mm:ss".
std::string dateTimeText(double serial);

}  // namespace zurvafun
