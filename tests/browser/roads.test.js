// The main roads of the demo site in the system Chromium, as a visitor walks
// them from the home page: register, log out and in, edit the profile,
// search, open a profile and an album, send a message and a gift, sign up
// for a party, buy a showcase placement, delete a photo of his album; and the
// whole road of a member who registers today: his head photo approved, E币
// from the administrator, a gift with an SMS notice, a showcase placement.
// Each step checks what the page shows (and the database where the page
// cannot show it) and that no script error and no failed load happened.
//
//   node roads.test.js <zurva-serve binary> <source folder>
'use strict';

const harness = require('./harness');

harness.run(process.argv.slice(2), { demoMembers: 60, siteSmsGateway: true }, async (site) => {
  const { page, base, sql, check, text } = site;
  const source = process.argv[3];

  // The link of `frame` whose text is `label` (trimmed): an anchor, or the
  // button of a link that acts (a small form that posts).
  async function link(frame, label) {
    const links = await frame.$$('a, button');
    for (const a of links) {
      if ((await a.evaluate((e) => e.textContent.trim())) === label) return a;
    }
    throw new Error('no link ' + label + ' on ' + frame.url());
  }
  async function follow(label, frame = page) {
    await Promise.all([frame.waitForNavigation(), (await link(frame, label)).click()]);
  }
  const memberBar = () => page.$eval('td.memberbar', (e) => e.innerText);
  // The value of demo member 2's balance as the member bar shows it.
  async function balance() {
    const m = (await memberBar()).match(/E币 余额：([0-9.]+)/);
    check(m, 'no balance in the member bar: ' + await memberBar());
    return Number(m[1]);
  }

  const newcomer = { user: 'walker@example.com', nickname: '行者', password: 'walk1234' };

  // Fills the registration form of the page with `form` (text fields) and
  // `choices` (selects, whose city options the page's script fills).
  async function register(form, choices) {
    for (const [name, value] of Object.entries(form)) await page.type(`[name=${name}]`, value);
    for (const [name, value] of choices) {
      const chosen = await page.select(`select[name=${name}]`, value);
      check(chosen.length === 1, `no option ${value} in ${name}`);
    }
    await Promise.all([page.waitForNavigation(), page.click('input[type=submit]')]);
    // The login hands the new member to the forum, which sends him home.
    try {
      await page.waitForFunction(() => /indexw/.test(location.pathname));
    } catch (e) {
      throw new Error('not registered: ' + (await text()).slice(0, 600));
    }
  }
  // Clicks `button` (a form's button) and waits for the page it leads to.
  async function press(button) {
    await Promise.all([page.waitForNavigation(), button.click()]);
  }
  // The administrator's login, in the same browser as the member's.
  async function administratorLogsIn() {
    await page.goto(base + '/admin/login.asp');
    await page.type('input[name=admin_name]', 'admin');
    await page.type('input[name=admin_password]', 'demo-admin');
    await Promise.all([page.waitForNavigation(), page.click('input[type=submit]')]);
  }
  // The administrator approves what member `id` has waiting on the approval
  // page, where the newest upload comes first.
  async function approveWaiting(id) {
    await page.goto(base + '/admin/index.asp');
    await follow('待审核照片');
    const rows = await page.$$('tr.bg_h');
    check(rows.length > 0, 'nothing waits');
    const first = await rows[0].evaluate((r) => r.cells[0].innerText);
    check(first.startsWith(id + ' '), 'the first waiting member: ' + first);
    await press(await rows[0].$('button[value=approve]'));
  }
  const newest = { user: 'today@example.com', nickname: '今日', password: 'today123' };
  let newestId = '';

  return [
    ['a visitor registers from the home page and lands in his member home', async () => {
      await page.goto(base + '/');
      await follow('免费注册');
      const form = {
        username: newcomer.user, nickname: newcomer.nickname, password: newcomer.password,
        password_confirm: newcomer.password, name_r: '李行', IDNo: '110101199501011234', dutytype: '工程师',
        Mobile: '13912345678', question: '我的小学', answer: '实验小学', drink: '不喝酒', smoking: '不吸烟',
        qq: '88886666', email: newcomer.user,
        intro: '性格开朗，喜欢运动和旅行，周末常去爬山，希望认识一位善良真诚的女孩。',
      };
      const choices = [['name_ropen', '2'], ['SelID', '1'], ['sex', '576'], ['birthyear', '1995'], ['height', '175'],
        ['weight', '68'], ['Shape', '115'], ['look', '7'], ['marrystatus', '1'], ['Folk', '39'], ['ancestor', '浙江'],
        ['province', '浙江'], ['city', '杭州市'], ['degree', '124'], ['province1', '浙江'], ['city1', '宁波市'],
        ['job', '161'], ['housesta', '206'], ['income', '228'], ['incomeopen', '1'], ['constel', '狮子座'],
        ['tel_ropen', '1'], ['agefrom', '22'], ['ageto', '30'], ['heightfrom', '155'], ['heightto', '170'],
        ['degreefrom', '123'], ['degreeto', '126']];
      await register(form, choices);
      check((await memberBar()).includes('欢迎您，行者！'), 'member bar: ' + await memberBar());
      check((await text()).includes('会员中心'), 'not the member home');
      const data = sql('select userdata from zurva_user order by userid desc limit 1');
      check(data.includes('#浙江-杭州市#'), 'stored: ' + data);
      site.noScriptErrors();
    }],

    ['he logs out and logs in again through the member bar', async () => {
      await follow('退出登录');
      // The logout lands on the home page.
      check(/^\/(index\.(asp|html))?$/.test(new URL(page.url()).pathname), 'after the logout: ' + page.url());
      check((await memberBar()).includes('会员登录'), 'member bar: ' + await memberBar());
      await follow('会员登录');
      await page.type('input[name=username]', newcomer.user);
      await page.type('input[name=password]', newcomer.password);
      await Promise.all([page.waitForNavigation(), page.click('input[type=submit]')]);
      await page.waitForFunction(() => /indexw/.test(location.pathname));
      const bar = await memberBar();
      check(bar.includes('欢迎您，行者！') && bar.includes('您的 E币 余额：'), 'member bar: ' + bar);
      site.noScriptErrors();
    }],

    ['he edits his profile from his member home', async () => {
      await follow('修改个人资料');
      await page.waitForSelector('form[name=form1]');
      await page.select('select[name=height]', '180');
      await page.$eval('input[name=dutytype]', (i) => { i.value = ''; });
      await page.type('input[name=dutytype]', '设计师');
      await Promise.all([page.waitForNavigation(), page.click('form[name=form1] input[type=submit]')]);
      check((await text()).includes('您的资料已保存。'), 'not saved: ' + (await text()).slice(0, 300));
      check(await page.$eval('select[name=height]', (s) => s.value) === '180', 'the height is not shown');
      check(sql('select height_ from zurva_user order by userid desc limit 1') === '180', 'height not stored');
      site.noScriptErrors();
    }],

    ['he searches from the home page and with the advanced search', async () => {
      await follow('首页');
      // The quick search's city select is filled from the city table script file.
      await page.select('form[name=quick] select[name=province1]', '广东');
      const cities = await page.$$eval(
          'form[name=quick] select[name=city1] option', (o) => o.map((x) => x.value));
      check(
          cities[0] === '0' && cities.includes('广州市') && cities.includes('深圳市'),
          'cities: ' + cities.join(','));
      await page.select('form[name=quick] select[name=province1]', '0');
      await page.select('form[name=quick] select[name=sex]', '577');
      await page.select('form[name=quick] select[name=agefrom]', '20');
      await page.select('form[name=quick] select[name=ageto]', '60');
      await Promise.all([page.waitForNavigation(), page.click('form[name=quick] input[type=submit]')]);
      const found = await text();
      check(/淑女/.test(found) && !/绅士，/.test(found), 'quick search: ' + found.slice(0, 300));
      await follow('高级搜索');
      await page.waitForSelector('form[name=form3]');
      await page.$eval('input[name=sex][value="577"]', (r) => r.click());  // in a folded panel
      const results = await site.search();
      const rows = await text(results);
      check(/淑女/.test(rows) && !/绅士，/.test(rows), 'results: ' + rows.slice(0, 300));
      site.noScriptErrors();
    }],

    ['a member opens a profile from the gallery, then the album and a photo', async () => {
      await site.logIn('demo2@example.com', 'demo456');
      await follow('首页');
      // The gallery's cards open the profile in a window of its own.
      const card = await page.$('xpath/.//h3[contains(., "会员展示")]/following::a[contains(@href, "_por.html")][1]');
      check(card, 'no card in the gallery');
      const profile = await site.popup(() => card.click());
      const shown = await text(profile);
      check(shown.includes('基本资料'), 'not a profile: ' + shown.slice(0, 200));
      await follow('查看相册', profile);
      const thumbnails = await profile.$$eval('img[src*="mup_article"]', (i) => i.map((x) => x.complete && x.naturalWidth));
      check(thumbnails.length > 0 && thumbnails.every((w) => w > 0), 'thumbnails: ' + thumbnails.join(','));
      const big = await profile.$('a[onclick*="xc_page_"]');
      check(big, 'no link to a big photo');
      const photo = await site.popup(() => big.click());
      const full = await photo.$$eval('img[src*="up_article"]', (i) => i.map((x) => x.complete && x.naturalWidth));
      check(full.length === 1 && full[0] > 0, 'full photo: ' + full.join(','));
      await photo.close();
      await profile.close();
      site.noScriptErrors();
    }],

    ['he sends her a message from her profile', async () => {
      await page.goto(base + '/userinfo.asp?id=1');
      const conversation = await site.popup(async () => (await link(page, '发短信')).click());
      const send = conversation.frames().find((f) => f.name() === 'send');
      await send.waitForSelector('textarea[name=content]');
      await send.type('textarea[name=content]', '你好，周末一起去爬山吗？');
      await Promise.all([send.waitForNavigation(), send.click('input[type=submit]')]);
      check((await text(send)).includes('已发送。'), 'send frame: ' + await text(send));
      // The whole conversation into the upper frame.
      await (await link(send, '查看全部记录')).click();
      const shown = conversation.frames().find((f) => f.name() === 'showc');
      await shown.waitForFunction(() => /周末一起去爬山/.test(document.getElementById('showcontent').innerText));
      check(sql("select count(*) from Sendbooks where userid=1 and senduserid=2 and content like '%爬山%'") === '1',
        'no message row');
      await conversation.close();
      site.noScriptErrors();
    }],

    ['and a gift from the gift shop', async () => {
      const before = await balance();
      const gifts = sql('select count(*) from presentmx where userid=1 and senduserid=2');
      await follow('送礼物');
      const form = await site.popup(async () => (await link(page, '赠送')).click());
      check((await text(form)).includes('演示一号'), 'the form does not name her');
      site.dialogs.length = 0;
      await form.click('input[name=Submit]');
      await site.dialog(/已成功送出礼物/);
      check(Number(sql('select count(*) from presentmx where userid=1 and senduserid=2')) === Number(gifts) + 1,
        'no gift row');
      await page.reload();
      check(await balance() < before, 'the balance did not go down');
      site.noScriptErrors();
    }],

    ['he signs up for a party', async () => {
      const party = sql('select id from party where partytime > datetime(\'now\') and id not in ' +
        '(select partyid from partycj where userid=2) order by partytime limit 1');
      check(party !== '', 'no party to sign up for');
      await follow('聚会活动');
      const title = sql(`select bt from party where id=${party}`);
      await Promise.all([page.waitForNavigation(), page.click(`a[href="partyid_${party}_partyinfo.html"]`)]);
      check((await text()).includes(title), 'not the party page');
      const form = await site.popup(async () => (await link(page, '我要报名')).click());
      await form.type('input[name=tel]', '13800138001');
      await form.type('input[name=nl]', '38');
      await form.type('input[name=xl]', '硕士');
      await form.type('input[name=zy]', '工程师');
      site.dialogs.length = 0;
      await form.click('input[type=submit]');
      await site.dialog(/您参加活动成功/);
      await page.reload();
      check(/已报名：[^\n]*演示二号/.test(await text()), 'not listed: ' + (await text()).slice(0, 500));
      check(sql(`select count(*) from partycj where partyid=${party} and userid=2`) === '1', 'no sign-up row');
      site.noScriptErrors();
    }],

    ['and buys a showcase placement from his member home', async () => {
      await follow('会员中心');
      const before = await balance();
      await follow('购买我型我秀');
      await page.type('input[name=ORDERMONEY]', '2');
      await page.select('select[name=agefrom]', '25');
      await page.select('select[name=ageto]', '40');
      site.dialogs.length = 0;
      await Promise.all([page.waitForNavigation(), page.click('input[name=Submit]')]);
      await site.dialog(/我型我秀申请成功/);
      check(Number(sql('select emoney from zurva_user where userid=2')) === before - 60, 'not charged 60');
      check(sql('select iflianxi from zurva_user where userid=2') !== '', 'no showcase days');
      site.noScriptErrors();
    }],

    ['he deletes a photo of his album with its delete link', async () => {
      await follow('会员中心');
      await follow('管理我的相册');
      const entries = () => sql('select photo from zurva_user where userid=2').split('#').filter((e) => e);
      const before = entries();
      check(before.length > 0, 'no photo to delete');
      const missing = [];
      const watch404 = (r) => { if (r.status() === 404) missing.push(r.url()); };
      page.on('response', watch404);
      // The manager's delete link asks, then the page posts it and goes back.
      site.dialogs.length = 0;
      const links = await page.$$('a[onclick*="删除此照片"]');
      await links[links.length - 1].click();
      await site.dialog(/修改成功/);
      check(site.dialogs.some((d) => /您确定要删除此照片吗/.test(d)), 'not asked: ' + site.dialogs.join(' | '));
      const after = entries();
      check(after.length === before.length - 1, 'photos: ' + before.join('#') + ' -> ' + after.join('#'));
      const gone = before.find((e) => !after.includes(e)).slice(0, -1);
      await page.waitForFunction(() => /userphoto/.test(location.pathname) && document.readyState === 'complete');
      check((await text()).includes('上传时间'), 'not back on the manager: ' + (await text()).slice(0, 300));
      page.off('response', watch404);
      // The answer shows the manager as it was before the delete, whose
      // thumbnail of the deleted photo no longer loads; nothing else fails.
      check(missing.every((u) => u.endsWith('/mup_article/' + gone)), 'missing: ' + missing.join(' '));
      site.errors.splice(0, site.errors.length,
        ...site.errors.filter((e) => !(missing.length && /status of 404/.test(e))));
      site.noScriptErrors();
    }],

    ['a member registers today, born in the latest year the form offers, and finds women at once', async () => {
      await follow('退出登录');
      await follow('免费注册');
      const latest = await page.$eval('select[name=birthyear]', (s) => s.options[1].value);
      check(Number(latest) === new Date().getFullYear() - 18, 'the latest birth year: ' + latest);
      await register({
        username: newest.user, nickname: newest.nickname, password: newest.password,
        password_confirm: newest.password, name_r: '王今', IDNo: '110101200801011234', dutytype: '学生',
        Mobile: '13912340000', question: '我的小学', answer: '实验小学', drink: '不喝酒', smoking: '不吸烟',
        qq: '12345678', email: newest.user, intro: '刚满十八岁，喜欢读书和跑步，希望认识志同道合的朋友。',
      }, [['name_ropen', '1'], ['SelID', '1'], ['sex', '576'], ['birthyear', latest], ['height', '178'],
        ['weight', '65'], ['Shape', '115'], ['look', '7'], ['marrystatus', '1'], ['Folk', '39'], ['ancestor', '广东'],
        ['province', '广东'], ['city', '广州市'], ['degree', '123'], ['province1', '广东'], ['city1', '广州市'],
        ['job', '161'], ['housesta', '206'], ['income', '222'], ['incomeopen', '1'], ['constel', '狮子座'],
        ['tel_ropen', '1'], ['agefrom', '20'], ['ageto', '60'], ['heightfrom', '155'], ['heightto', '170'],
        ['degreefrom', '122'], ['degreeto', '126']]);
      newestId = sql(`select userid from zurva_user where lower(zurvauser)='${newest.user}'`);
      check(newestId !== '', 'not registered');
      // His first advanced search: the sex he looks for is ticked already.
      await follow('高级搜索');
      await page.waitForSelector('form[name=form3]');
      const rows = await text(await site.search());
      check(/淑女/.test(rows) && !/绅士，/.test(rows), 'results: ' + rows.slice(0, 300));
      site.noScriptErrors();
    }],

    ['his photo is approved and becomes his head photo, shown on his profile once approved', async () => {
      await follow('会员中心');
      await follow('上传照片');
      await (await page.$('#photofile')).uploadFile(source + '/site/www/images/demo/portrait4.jpg');
      site.dialogs.length = 0;
      await Promise.all([page.waitForNavigation(), page.click('form[name=upload] input[type=submit]')]);
      await site.dialog(/上传成功，请等待管理员审核/);
      await administratorLogsIn();
      await approveWaiting(newestId);
      check(sql(`select photo from zurva_user where userid=${newestId}`).endsWith('.jpg1'), 'the photo is not approved');

      await page.goto(base + '/indexw.asp');
      await follow('设置个人头像');
      check((await text()).includes('现在的头像：还没有设置'), 'the head photo page: ' + (await text()).slice(0, 300));
      site.dialogs.length = 0;
      await press(await link(page, '设为个人头像'));
      await site.dialog(/头像已提交，请等待管理员审核/);
      check(sql(`select smallphoto from zurva_user where userid=${newestId}`) === `smallphoto${newestId}.jpg0`,
        'the head photo does not wait');
      await approveWaiting(newestId);
      check(sql(`select smallphoto from zurva_user where userid=${newestId}`).endsWith('.jpg1'), 'not approved');

      await page.goto(base + '/userinfo.asp?id=' + newestId);
      const shown = await page.$eval('td.headphoto img', (i) => ({ src: i.getAttribute('src'), width: i.complete && i.naturalWidth }));
      check(shown.src === `/smallphoto/smallphoto${newestId}.jpg` && shown.width > 0, 'his profile: ' + JSON.stringify(shown));
      // The constellation's picture shows its name.
      check((await text()).includes('狮子座'), 'no constellation name: ' + (await text()).slice(0, 600));
      site.noScriptErrors();
    }],

    ['the administrator credits him E币 from his line of the member list', async () => {
      await page.goto(base + '/admin/index.asp');
      await follow('会员列表与单项查找');
      const line = await page.$(`xpath/.//tr[td[1][normalize-space()="${newestId}"]]`);
      check(line, 'no line of his in the member list');
      await (await line.$('input[name=amount]')).type('100');
      site.dialogs.length = 0;
      await press(await line.$('button[value=credit]'));
      await site.dialog(new RegExp(`已为会员 ${newestId} 充值 100 E币`));
      await page.goto(base + '/indexw.asp');
      check(await balance() === 100, 'the balance: ' + await memberBar());
      const box = await page.$eval('table.ledger', (t) => t.innerText);
      check(/\+100\s+管理员admin充值/.test(box), 'the ledger on his home: ' + box);
      site.noScriptErrors();
    }],

    ['he becomes a silver card member and sends a gift with an SMS notice', async () => {
      await follow('会员升级');
      site.dialogs.length = 0;
      await press(await link(page, '免费升级为银卡会员'));
      await site.dialog(/您已升级为银卡会员/);
      await page.waitForFunction(() => /indexw/.test(location.pathname));
      const badge = await page.$eval('td.memberbar img', (i) => i.title);
      check(badge === '银卡会员', 'the badge: ' + badge);

      await page.goto(base + '/userinfo.asp?id=1');
      await follow('送礼物');
      const form = await site.popup(async () => (await link(page, '赠送')).click());
      await form.click('input[name=ifsms]');
      site.dialogs.length = 0;
      await form.click('input[name=Submit]');
      await site.dialog(/演示一号 发送礼物通知短信成功/);
      await page.goto(base + '/smsgateway.asp?show=1');
      check((await text()).includes(newest.nickname + ',您有新的礼物来自'), 'the gateway: ' + (await text()).slice(0, 400));
      site.noScriptErrors();
    }],

    ['and buys a showcase placement, told so without markup', async () => {
      await page.goto(base + '/indexw.asp');
      const before = await balance();
      await follow('购买我型我秀');
      await page.type('input[name=ORDERMONEY]', '2');
      site.dialogs.length = 0;
      await Promise.all([page.waitForNavigation(), page.click('input[name=Submit]')]);
      await site.dialog(/我型我秀申请成功/);
      check(site.dialogs.every((d) => !/<br>/i.test(d)), 'a dialog with markup: ' + site.dialogs.join(' | '));
      check(Number(sql(`select emoney from zurva_user where userid=${newestId}`)) === before - 60, 'not charged 60');
      site.noScriptErrors();
    }],
  ];
});
