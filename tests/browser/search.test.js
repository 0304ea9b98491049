// Browser tests of the member search pages: zurva-serve on a free port with a
// fresh demo database, driven through the system Chromium (harness.js).
//
//   node search.test.js <zurva-serve binary> <source folder>
//
// Each test prints "ok" or "FAIL" with the reason; the exit code is the
// number of failures.
'use strict';

const harness = require('./harness');

harness.run(process.argv.slice(2), { demoMembers: 120 }, async (site) => {
  const { page, errors, dialogs, base, sql, check } = site;
  const login = (user, password) => site.logIn(user, password);
  async function openForm() {
    errors.length = 0;
    await page.goto(base + '/search.asp', { waitUntil: 'load' });
    await page.waitForSelector('form[name=form3]');
  }
  const text = (id) => page.$eval('#' + id, (e) => e.textContent);

  return [
  ['a new member gets the form without script errors', async () => {
    sql("update zurva_user set userbz=NULL where userid=1");
    await login('demo1@example.com', 'demo123');
    await openForm();
    check(errors.length === 0, 'script errors: ' + errors.join(' | '));
    check(await page.$eval('select[name=agefrom]', (s) => s.value) === '10', 'age from is not 10');
    check(await page.$eval('select[name=ageto]', (s) => s.value) === '70', 'age to is not 70');
    check(await page.$eval('select[name=degreeto]', (s) => s.value) === '127', 'education to is not 127');
    check(await text('agefromText') === '10岁-70岁', 'age summary: ' + await text('agefromText'));
    check(await text('incomefromText') === '不限', 'income summary: ' + await text('incomefromText'));
  }],
  ['choosing a province fills the city select and the summaries follow', async () => {
    await page.select('select[name=province1]', '广东');
    const cities = await page.$$eval('select[name=city1] option', (o) => o.map((x) => x.value));
    check(cities.length > 5 && cities[0] === '0' && cities.includes('广州市'), 'cities: ' + cities.join(','));
    await page.select('select[name=city1]', '深圳市');
    check(await text('addressfromText') === '广东-深圳市', 'place summary: ' + await text('addressfromText'));
    await page.select('select[name=province]', '湖南');
    check((await page.$$eval('select[name=city] option', (o) => o.map((x) => x.value))).includes('长沙市'),
      'the household register cities are not filled');
    await page.select('select[name=agefrom]', '25');
    await page.select('select[name=ageto]', '35');
    check(await text('agefromText') === '25岁-35岁', 'age summary: ' + await text('agefromText'));
    await page.select('select[name=weightfrom]', '45');
    check(await text('weightfromText') === '45-不限', 'weight summary: ' + await text('weightfromText'));
    await page.$eval('input[name=heightfrom]', (i) => { i.value = '155'; i.dispatchEvent(new KeyboardEvent('keyup')); });
    check(await text('heightfromText') === '155cm-不限', 'height summary: ' + await text('heightfromText'));
    await page.$eval('input[name=sex][value="576"]', (r) => r.click());
    check(await text('sexText') === '绅士', 'sex summary: ' + await text('sexText'));
    check(errors.length === 0, 'script errors: ' + errors.join(' | '));
  }],
  ['save stores the criteria and the form shows them again', async () => {
    dialogs.length = 0;
    await page.click('input[onclick="chk_save()"]');
    await page.waitForFunction(() => true);
    for (let i = 0; i < 50 && !dialogs.includes('保存成功'); i++) await new Promise((r) => setTimeout(r, 200));
    check(dialogs.includes('保存成功'), 'no "保存成功": ' + dialogs.join(','));
    const saved = sql('select userbz from zurva_user where userid=1');
    check(saved.startsWith('25-35#155-#'), 'saved: ' + saved);
    check(saved.split('#')[6] === '576' && saved.split('#')[7] === '广东-深圳市' && saved.split('#')[12] === '湖南-0',
      'saved: ' + saved);
    await openForm();
    check(errors.length === 0, 'script errors: ' + errors.join(' | '));
    check(await page.$eval('select[name=city1]', (s) => s.value) === '深圳市', 'the saved city is not selected');
    check(await text('addressfromText') === '广东-深圳市', 'place summary: ' + await text('addressfromText'));
    check(await text('agefromText') === '25岁-35岁', 'age summary: ' + await text('agefromText'));
  }],
  ['search reaches the result list', async () => {
    await page.select('select[name=province1]', '0');
    await page.select('select[name=province]', '0');
    await page.$eval('input[name=heightfrom]', (i) => { i.value = ''; });
    await page.select('select[name=weightfrom]', '');
    await page.select('select[name=agefrom]', '18');
    await page.select('select[name=ageto]', '70');
    const frame = await site.search();
    const rows = await frame.$$eval('a.Orange_NoUnderLine[target=_blank]', (a) => a.length);
    check(rows === 6, 'rows on the first page: ' + rows);
    const facts = await frame.evaluate(() => document.body.innerText);
    check(!/淑女，/.test(facts), 'a woman in a search for men');
  }],
  ['a row\'s 不再搜出TA asks, then hides the member from later searches', async () => {
    const frame = page.frames().find((f) => f.name() === 'subiframe');
    const hide = await frame.$('xpath/.//a[contains(@onclick, "nosou")]');
    check(hide, 'no hide link in the results');
    const onclick = await hide.evaluate((a) => a.getAttribute('onclick'));
    const id = (onclick.match(/id_(\d+)_nosou/) || onclick.match(/nosou\.asp\?id=(\d+)/) || [])[1];
    check(id, 'no member in ' + onclick);
    dialogs.length = 0;
    const shown = await site.popup(() => hide.click());
    await shown.waitForFunction(() => /已设置/.test(document.body ? document.body.innerText : ''));
    check(dialogs.some((d) => /确定不在搜出TA吗/.test(d)), 'not asked: ' + dialogs.join(' | '));
    const hidden = sql('select nosou from zurva_user where userid=1').split(/[^0-9]+/);
    check(hidden.includes(id), 'member ' + id + ' is not hidden: ' + hidden.join(','));
    await shown.close();
    check(errors.length === 0, 'script errors: ' + errors.join(' | '));
  }],
  ['the single search finds a member by number', async () => {
    await page.goto(base + '/search.asp');
    await page.type('#s_name', '2');
    await Promise.all([page.waitForNavigation(), page.click('input[type=submit][name=submit]')]);
    const body = await page.evaluate(() => document.body.innerText);
    check(/演示二号/.test(body), 'member 2 not found: ' + body.slice(0, 200));
    check(errors.length === 0, 'script errors: ' + errors.join(' | '));
  }],
  ];
});
