// The site's client functions for the profile forms. The page defines the
// city table first (subcat[i] = [city, province, city], onecount entries).

// Refills a city select with the cities of a province, keeping its first
// option ("--请选择--"); the city name is the option's value.
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
function chkform() {
  var f = document.form1;
  if (f.intro && f.intro.value.length < 20) {
    alert("个人独白不能小于20个汉字！");
    f.intro.focus();
    return false;
  }
  if (f.qq && f.qq.value == "" && f.msn.value == "" && f.email.value == "") {
    alert("请至少填写一项联系方式！");
    return false;
  }
  return true;
}
