// What every page of the site does in the browser once it is read (the
// alerts' line breaks are the head's own script, site/site_page.cpp). The
// texts are written as escapes, so that the file reads the same in any
// encoding.
(function () {
  // The grade badges of the component's output are pictures whose file alone
  // says the grade: each gets the grade's name as its alt and title.
  var grades = {
    'golduser3.gif': '\u91d1\u5361\u4f1a\u5458',
    'silleruser2.gif': '\u94f6\u5361\u4f1a\u5458',
    'linshisilleruser2.gif': '\u4e34\u65f6\u94f6\u5361\u4f1a\u5458'
  };
  function nameThePictures() {
    var pictures = document.getElementsByTagName('img');
    for (var i = 0; i < pictures.length; i++) {
      var img = pictures[i];
      var file = (img.getAttribute('src') || '').replace(/^.*\//, '').toLowerCase();
      if (grades[file] && !img.title) img.alt = img.title = grades[file];
      // A constellation picture carries its name as alt text: it shows beside it.
      if (/^z\d+\.gif$/.test(file) && /birth\//i.test(img.getAttribute('src')) && img.alt && !img.getAttribute('data-named')) {
        img.title = img.alt;
        img.setAttribute('data-named', '1');
        img.insertAdjacentText('afterend', ' ' + img.alt);
      }
    }
  }
  nameThePictures();
})();
