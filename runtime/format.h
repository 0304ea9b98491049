// Number formatting and the random source of the original language.
#pragma once

#include <functional>
#include <string>

#include "runtime/variant.h"

namespace zurvafun {

// FormatNumber(value, digits): fixed decimals, a leading zero, "," grouping,
// "-" for negatives. `groupDigits` false leaves out the grouping.
std::string FormatNumber(const Variant& value, int digits = 2, bool leadingDigit = true,
                         bool parensForNegative = false, bool groupDigits = true);

// The random source: Rnd gives a number in [0, 1). Randomize reseeds it (from
// the timer when no seed is given). Each thread draws from a generator of its
// own, which starts at the same seed on every thread (and again after
// kept::clearAll()). Tests inject a source of their own.
using RandomSource = std::function<double()>;
void setRandomSource(RandomSource source);  // empty restores the default generator
double Rnd();
void Randomize();
void Randomize(double seed);

}  // namespace zurvafun
