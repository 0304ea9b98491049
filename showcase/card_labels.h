// The labels the showcase and gallery cards print for the codes of the member
// record: sex, marital status, education, occupation, annual income, and the
// looks self-rating. A code without a label gives "" (the card still writes
// the separators around it).
#pragma once

#include <string>
#include <string_view>

namespace zurvafun::showcase {

// Sex code 576 / 577.
std::string_view sexLabel(std::string_view code);
// Marital status, item 2 of userdata (one digit).
std::string_view maritalLabel(std::string_view code);
// Education, item 6 of userdata (122-128).
std::string_view educationLabel(std::string_view code);
// Occupation, column field (34 codes between 152 and 826).
std::string_view occupationLabel(std::string_view code);
// Annual income, the income code of pay (222-237).
std::string_view incomeLabel(std::string_view code);
// Looks self-rating, item 1 of userdata: "0" 未填, "f" 满分, anything else
// followed by 分; "" when no rating is stored.
std::string looksLabel(std::string_view code);

}  // namespace zurvafun::showcase
