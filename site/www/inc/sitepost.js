// The links of the component's output that act (site/site_post.h): the
// photo manager's delete links, the hide and the friend request links of the
// member cards and the free showcase days. Clicked on the site's own pages, each is sent as a POST of
// the same address, which the page behind it takes; reached any other way,
// that page only asks first.
(function () {
  // The addresses that act, in the dynamic and the static link form.
  var acting = new RegExp(
    '(^|[/_?&])ifok[=_](del|headdel)([&_.]|$)' +
    '|(^|/)nosou\\.asp\\?|_nosou\\.html|(^|/)addfriends\\.asp\\?|_addfriends\\.html' +
    '|(^|/)action_free_save\\.html|(^|/)save\\.asp\\?(.*&)?action=free', 'i');

  function post(url, target) {
    var form = document.createElement('form');
    form.method = 'post';
    form.action = url;
    if (target) form.target = target;
    document.body.appendChild(form);
    form.submit();
  }

  // A link that acts carries a click handler of the component's (its
  // confirm): when that lets the click through, the link is posted instead
  // of followed. Member text on a page has no handlers, so none of its
  // links is posted.
  document.addEventListener('click', function (e) {
    var a = e.target && e.target.closest ? e.target.closest('a[href][onclick]') : null;
    if (!a || e.defaultPrevented || !acting.test(a.getAttribute('href'))) return;
    e.preventDefault();
    post(a.href, a.target);
  });

  // A window opened on an address that acts opens empty, and the POST goes
  // into it.
  var open = window.open;
  var opened = 0;
  window.open = function (url, name, features) {
    if (typeof url !== 'string' || !acting.test(url)) return open.apply(window, arguments);
    var target = name && name.charAt(0) !== '_' ? name : 'sitepost' + new Date().getTime() + '_' + (++opened);
    var w = open.call(window, '', target, features);
    post(url, target);
    return w;
  };
})();
