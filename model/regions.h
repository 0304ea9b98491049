// Region data shared by the region menus and the profile and search forms.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

namespace zurvafun::regions {

// One entry of the client-side city table: a city (or district, or country for
// the regions abroad) and the province or region it belongs to.
struct City {
  std::string_view city;
  std::string_view province;
};

inline constexpr std::size_t kCityCount = 467;
inline constexpr std::size_t kProvinceCount = 40;

// The city table in index order (entry i is subcat[i] of the page script).
extern const std::array<City, kCityCount> kCities;

// The 40 province and region names in the order the forms offer them
// (value and label of each option); every province of kCities is one of them.
extern const std::array<std::string_view, kProvinceCount> kProvinces;

// Indexes into kCities of the entries of one province, in index order.
std::vector<std::size_t> citiesOf(std::string_view province);

}  // namespace zurvafun::regions
