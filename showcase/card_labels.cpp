#include "showcase/card_labels.h"

#include <utility>

#include "profile/code_tables.h"

namespace zurvafun::showcase {

namespace {

using Label = std::pair<std::string_view, std::string_view>;

constexpr Label kMarital[] = {{"1", "未婚"}, {"2", "离异"}, {"3", "丧偶"}};

constexpr Label kEducation[] = {{"122", "大专以下"}, {"123", "大专"},   {"124", "本科"},
                                {"125", "硕士"},     {"126", "博士"},   {"127", "博士后"},
                                {"128", "双学士"}};


constexpr Label kIncome[] = {
    {"222", "2万元以下"}, {"223", "2-3万"},   {"224", "3-4万"},    {"225", "4-5万"},
    {"226", "5-6万"},     {"227", "6-7万"},   {"228", "7-8万"},    {"229", "8-9万"},
    {"230", "9-10万"},    {"231", "10-15万"}, {"232", "15-20万"},  {"233", "20-30万"},
    {"234", "30-40万"},   {"235", "40-50万"}, {"236", "50-100万"}, {"237", "100万以上"}};

// Codes compare as text, exactly: " 576" or "0576" has no label.
template <std::size_t N>
std::string_view find(const Label (&table)[N], std::string_view code) {
  for (const auto& [key, label] : table)
    if (key == code) return label;
  return {};
}

}  // namespace

std::string_view sexLabel(std::string_view code) { return codes::labelOrEmpty(codes::kSex, code); }
std::string_view maritalLabel(std::string_view code) { return find(kMarital, code); }
std::string_view educationLabel(std::string_view code) { return find(kEducation, code); }
std::string_view occupationLabel(std::string_view code) {
  return codes::labelOrEmpty(codes::kOccupation, code);
}
std::string_view incomeLabel(std::string_view code) { return find(kIncome, code); }

std::string looksLabel(std::string_view code) {
  if (code == "0") return "未填";
  if (code == "f") return "满分";
  if (code.empty()) return "";  // no rating stored
  return std::string(code) + "分";
}

}  // namespace zurvafun::showcase
