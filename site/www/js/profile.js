// The site's client functions for the profile forms. The page defines the
// city table first (subcat[i] = [city, province, city], onecount entries).

// Refills a city select with the cities of a province, keeping its first
// option (the "please choose" one); the city name is the option's value.
function fillCities(province, citySelect) {
  citySelect.length = 1;
  if (typeof subcat == "undefined") return;
  for (var i = 0; i < onecount; i++) {
    if (subcat[i][1] == province) {
      citySelect.options[citySelect.length] = new Option(subcat[i][0], subcat[i][2]);
    }
  }
}

// The household register's pair.
function changelocation(province, citySelect) {
  fillCities(province, citySelect);
}

// The residence's pair.
function changelocation1(province, citySelect) {
  fillCities(province, citySelect);
}

// A light check before the form is posted; the save page checks everything.
// The texts are written as escapes, so that the file reads the same in any
// encoding: the introduction must have at least 20 characters; at least one
// contact must be given.
function chkform() {
  var f = document.form1;
  if (f.intro && f.intro.value.length < 20) {
    alert("\u4e2a\u4eba\u72ec\u767d\u4e0d\u80fd\u5c0f\u4e8e20\u4e2a\u6c49\u5b57\uff01");
    f.intro.focus();
    return false;
  }
  if (f.qq && f.qq.value == "" && f.msn.value == "" && f.email.value == "") {
    alert("\u8bf7\u81f3\u5c11\u586b\u5199\u4e00\u9879\u8054\u7cfb\u65b9\u5f0f\uff01");
    return false;
  }
  return true;
}
