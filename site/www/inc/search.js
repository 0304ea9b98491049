// The client functions of the advanced search form: every criterion shows a
// summary of the current choice in its span, the region selects fill the
// city select from the page's city table (subcat, written by the page), the
// save button posts the form with menu=save, and the single search checks
// its box before it posts. The trigger line of a criterion opens and closes
// its panel.

// The summary shown for a criterion without a choice.
function searchNoLimit(span) {
  span.innerHTML = '';
  var font = document.createElement('font');
  font.className = 'nolimit';
  font.appendChild(document.createTextNode('\u4e0d\u9650'));
  span.appendChild(font);
}

// Shows `text` (plain text, never markup) in the summary span.
function searchSummary(span, text) {
  if (!span) return;
  if (text === '') { searchNoLimit(span); return; }
  span.innerHTML = '';
  span.appendChild(document.createTextNode(text));
}

function searchChosen(select) {
  return select && select.selectedIndex >= 0 ? select.options[select.selectedIndex] : null;
}

// A check box: its text while it is ticked.
function Chk_Single(name, span, text) {
  var box = document.getElementsByName(name)[0];
  searchSummary(span, box && box.checked ? text : '');
}

// A radio: its text.
function Chk_Single2(span, text) {
  searchSummary(span, text);
}

// One select: the chosen option's text and the unit; no choice is "\u4e0d\u9650".
function Dis_SelectValue(select, span, unit) {
  var option = searchChosen(select);
  searchSummary(span, !option || option.value === '' || option.value === '0' ? '' : option.text + unit);
}

// A range of two selects: "from-to" with the unit; an open end reads "\u4e0d\u9650".
function Dis_SelectValue2(from, to, span, unit) {
  var a = searchChosen(from), b = searchChosen(to);
  var low = a && a.value !== '' ? a.text + unit : '';
  var high = b && b.value !== '' ? b.text + unit : '';
  if (low === '' && high === '') { searchSummary(span, ''); return; }
  searchSummary(span, (low || '\u4e0d\u9650') + '-' + (high || '\u4e0d\u9650'));
}

// A range typed into two inputs (whole numbers; an empty one is open).
function Dis_InputValue(from, to, span, unit) {
  var low = from.value.replace(/^\s+|\s+$/g, ''), high = to.value.replace(/^\s+|\s+$/g, '');
  if (low === '' && high === '') { searchSummary(span, ''); return; }
  searchSummary(span, (low === '' ? '\u4e0d\u9650' : low + unit) + '-' + (high === '' ? '\u4e0d\u9650' : high + unit));
}

// Fills the city select with the cities of the chosen province (from the
// page's city table) and shows the province. Done before it returns, so that
// a pre-selection script can pick a city right after the call.
function searchFillCities(provinceOption, citySelect, span) {
  var province = provinceOption ? provinceOption.value : '0';
  citySelect.options.length = 0;
  citySelect.options[0] = new Option('\u8bf7\u9009\u62e9', '0');
  if (province !== '0' && province !== '' && typeof subcat !== 'undefined') {
    for (var i = 0; i < onecount; i++) {
      if (subcat[i][1] === province) citySelect.options[citySelect.options.length] = new Option(subcat[i][0], subcat[i][2]);
    }
  }
  citySelect.selectedIndex = 0;
  searchSummary(span, province === '0' || province === '' ? '' : provinceOption.text);
}

function changelocation1(provinceOption, citySelect, span) {
  searchFillCities(provinceOption, citySelect, span);
}

function changelocation(provinceOption, citySelect, span) {
  searchFillCities(provinceOption, citySelect, span);
}

// Province and city: "province-city", or the province alone.
function get_CityName(span, provinceOption, cityOption) {
  var province = provinceOption && provinceOption.value !== '0' ? provinceOption.text : '';
  var city = cityOption && cityOption.value !== '0' ? cityOption.text : '';
  searchSummary(span, province === '' ? '' : province + (city === '' ? '' : '-' + city));
}

// The save button: posts the criteria with menu=save instead of searching.
function chk_save() {
  var e = window.event;
  if (e && e.preventDefault) e.preventDefault();
  var form = document.form3;
  var action = form.getAttribute('action') || '';
  form.action = action + (action.indexOf('?') < 0 ? '?' : '&') + 'menu=save';
  form.submit();
  form.action = action;
  return false;
}

// The single search: a member number must be a whole number, a nickname
// must not be empty; the form then posts to `link`.
function chk_simplesearch(form, link) {
  var name = form.s_name.value.replace(/^\s+|\s+$/g, '');
  if (name === '') {
    alert('\u8bf7\u8f93\u5165\u8981\u67e5\u627e\u7684\u4f1a\u5458\u7f16\u53f7\u6216\u6635\u79f0\uff01');
    form.s_name.focus();
    return false;
  }
  if (String(form.s_value.value) === '0' && !/^[0-9]{1,9}$/.test(name)) {
    alert('\u4f1a\u5458\u7f16\u53f7\u53ea\u80fd\u662f\u6570\u5b57\uff01');
    form.s_name.focus();
    return false;
  }
  form.action = link;
  return true;
}

// The trigger line of a criterion opens and closes the panel after it.
function searchBindTriggers() {
  var divs = document.getElementsByTagName('div');
  for (var i = 0; i < divs.length; i++) {
    if (!/(^|\s)trigger(\s|$)/.test(divs[i].className)) continue;
    divs[i].onclick = function () {
      var panel = this.nextSibling;
      while (panel && (panel.nodeType !== 1 || !/(^|\s)select(\s|$)/.test(panel.className))) panel = panel.nextSibling;
      if (!panel) return;
      if (/elementcollapsed/.test(panel.className)) panel.className = panel.className.replace(/\s*elementcollapsed/, '');
      else panel.className += ' elementcollapsed';
    };
  }
}

if (document.addEventListener) document.addEventListener('DOMContentLoaded', searchBindTriggers);
