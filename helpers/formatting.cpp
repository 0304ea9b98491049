// Display texts of stored values: the member grade badge and name, money and
// number text, date-time text by style number, the padded member number, and
// the random pick that the showcase and gallery rotations use.
#include <algorithm>
#include <cmath>
#include <string>
#include <string_view>
#include <unordered_set>

#include "framework/zurva.h"
#include "runtime/dates.h"
#include "runtime/format.h"
#include "runtime/text.h"

namespace zurvafun {

namespace {

// ------------------------------------------------------------------ member grades

struct Grade {
  std::string_view name;
  std::string_view badge;
};

// Grade codes 0, 1, 2, and 3 for every grade of 3 and above.
constexpr Grade kGrades[] = {
    {"临时银卡会员", R"(<img src='/Images/linshisilleruser2.gif' border="0">)"},
    {"普通会员", "<font color=red>普通会员</font>"},
    {"银卡会员", R"(<img src='/Images/silleruser2.gif' border="0">)"},
    {"金卡会员", R"(<img src='/Images/golduser3.gif' border="0">)"},
};

// The grade of a stored grade value; nullptr for a negative grade, a
// fraction below 3 other than 0, 1 and 2, and Null.
const Grade* gradeOf(const Variant& grade) {
  for (int code = 0; code < 3; ++code) {
    if (eq(grade, code)) return &kGrades[code];
  }
  const auto gold = compareNumber(grade, 3);
  return gold && *gold >= 0 ? &kGrades[3] : nullptr;
}

// ------------------------------------------------------------------ numbers and dates

// One digit before the decimal point: "0" goes in front of a text that starts
// at its point (or is empty), after a minus sign.
std::string withLeadingDigit(std::string text) {
  const size_t at = text.starts_with('-') ? 1 : 0;
  if (at == text.size() || text[at] == '.') text.insert(at, "0");
  return text;
}

std::string twoDigits(int n) { return n < 10 ? "0" + std::to_string(n) : std::to_string(n); }

// ------------------------------------------------------------------ random pick

// Tries with the exclusion list before the list is dropped.
constexpr int kListTries = 1000;

// Every draw reseeds the generator from the timer first.
double freshDraw() {
  Randomize();
  return Rnd();
}

}  // namespace

Variant zurva::dj(const Variant& grade1) {
  return logged([&](Variant& result) {
    if (const Grade* grade = gradeOf(grade1)) result = grade->badge;
  });
}

Variant zurva::dj1(const Variant& grade1) {
  return logged([&](Variant& result) {
    if (const Grade* grade = gradeOf(grade1)) result = grade->name;
  });
}

Variant zurva::fmoney(Variant& tpay) {
  return logged([&](Variant& result) {
    // An amount below 1 shows one digit before its point; a negative amount
    // or zero gets no extra "0" in front.
    const auto belowOne = compareNumber(tpay, 1);
    if (belowOne && *belowOne < 0) tpay = withLeadingDigit(tpay.str());
    result = tpay;
  });
}

Variant zurva::formatnumber2(Variant& num) {
  return logged([&](Variant& result) {
    if (num.isNull()) return;
    std::string text = FormatNumber(num, 2);
    // A fraction shows exactly one leading zero, whatever the format gave it;
    // a negative value keeps its sign in front.
    const double shown = toNumber(Variant(text));
    if (shown >= 0 && shown < 1) text = Replace("0" + text, "00.", "0.");
    num = text;
    result = text;
  });
}

Variant zurva::FormatDT(const Variant& dt, const Variant& style) {
  return logged([&](Variant& result) {
    const DateParts at = fromSerial(dateSerialOf(dt));
    const std::string yyyy = std::to_string(at.year), yy = Right(yyyy, 2);
    const std::string mm = twoDigits(at.month), dd = twoDigits(at.day);
    const std::string hh = twoDigits(at.hour), mi = twoDigits(at.minute), ss = twoDigits(at.second);
    // Twelve-hour form: afternoon hours 1 to 11 unpadded; hours 0 to 12 are
    // morning and keep their padded 24-hour figure (noon is 上午 12).
    const std::string twelveHour = at.hour > 12 ? "下午 " + std::to_string(at.hour - 12) : "上午 " + hh;
    const std::string date = yyyy + "-" + mm + "-" + dd;
    const std::string styles[] = {
        date + " " + twelveHour + ":" + mi + ":" + ss,
        date + " " + hh + ":" + mi + ":" + ss,
        date + " " + hh + ":" + mi,
        yy + "-" + mm + "-" + dd + " " + hh + ":" + mi,
        mm + "-" + dd + " " + hh + ":" + mi,
        date,
        yy + "-" + mm + "-" + dd,
        mm + "-" + dd,
        hh + "H-" + mi + "M-" + ss + "S",
        yyyy + mm + dd + hh + mi + ss,
    };
    for (int number = 0; number < 10; ++number) {
      if (eq(style, number)) {
        result = styles[number];
        return;
      }
    }
  });
}

Variant zurva::gradeshow(const Variant& userid) {
  return logged([&](Variant& result) {
    const auto belowMillion = compareNumber(userid, 1000000);
    if (!belowMillion || *belowMillion >= 0) {
      result = userid.isNull() ? userid : Variant(userid.str());
      return;
    }
    const std::string text = userid.str();
    const long length = Len(text);
    result = length < 6 ? std::string(size_t(6 - length), '0') + text : text;
  });
}

Variant zurva::shuiji(const Variant& max, const Variant& last, Variant& all) {
  return untrapped([&] {
    const double top = CDbl(max), bottom = CDbl(last);

    // Digit counts allowed: at least 1 and the characters of `last`, at most
    // the characters of `max` (and 9, the most one draw gives).
    const long fewest = std::max(1L, Len(CStr(last)));
    const long most = std::min(9L, Len(CStr(max)));
    // Whole numbers a draw may return with the smallest count; larger counts
    // only widen the range. With none, no draw could ever succeed.
    const double lowest = std::max(0.0, std::ceil(bottom));
    const double highest = std::min(std::floor(top), std::pow(10.0, double(fewest)) - 1);
    if (fewest > most || lowest > highest) raise(err::InvalidCall);

    // The digit count: every allowed count equally likely, whatever the span
    // of numbers it covers, so small numbers are favoured.
    long digits = 0;
    do digits = long(freshDraw() * 10);
    while (digits < fewest || digits > most);
    const double range = std::pow(10.0, double(digits));
    const auto inBounds = [&](double n) { return n >= bottom && n <= top; };

    // With the exclusion list: a listed number steps down to the nearest
    // unlisted one not below `last`; if every number down to `last` is listed,
    // the try fails.
    // An empty list (the callers' usual one) lists no number: its one entry,
    // "", is no number's text, so no draw needs its text made to be looked up.
    const std::string list = all.str();
    std::unordered_set<std::string> listed;
    if (!list.empty())
      for (const std::string& entry : Split(list, ",")) listed.insert(entry);
    const auto isListed = [&](double n) {
      return !listed.empty() && listed.contains(numberText(n));
    };
    for (int attempt = 0; attempt < kListTries; ++attempt) {
      double n = std::floor(freshDraw() * range);
      if (isListed(n)) {
        double step = 1;
        while (step <= n - bottom && isListed(n - step)) ++step;
        if (step > n - bottom) continue;
        n -= step;
      }
      if (inBounds(n)) return Variant(static_cast<long long>(n));
    }

    // A thousand failed tries: the list is dropped, in the caller's variable
    // too, and the draws go on until one lands in range (the bounds checked
    // above hold at least one number of this digit count).
    all = "";
    for (;;) {
      const double n = std::floor(freshDraw() * range);
      if (inBounds(n)) return Variant(static_cast<long long>(n));
    }
  });
}

}  // namespace zurvafun
