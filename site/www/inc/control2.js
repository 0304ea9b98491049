// The site's pop-up window, used by the action links of the member lists.
function popup(url, width, height) {
  var features = 'width=' + width + ',height=' + height + ',scrollbars=yes,resizable=yes';
  var opened = window.open(url, '_blank', features);
  if (opened && opened.focus) opened.focus();
  return false;
}
