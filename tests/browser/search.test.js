// Browser tests of the member search pages: zurva-serve on a free port with a
// fresh demo database, driven through the system Chromium.
//
//   node search.test.js <zurva-serve binary> <source folder>
//
// Each test prints "ok" or "FAIL" with the reason; the exit code is the
// number of failures.
'use strict';

const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

const [binary, source] = process.argv.slice(2);
const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zurva-browser-'));
const database = path.join(work, 'data', 'zurva.db');

// The demo configuration, on a free port, with its own data folder.
function writeConfig() {
  const config = JSON.parse(fs.readFileSync(path.join(source, 'config', 'zurva-serve.json'), 'utf8'));
  config.port = 0;
  config.document_root = path.join(source, 'site', 'www');
  config.data_folder = path.join(work, 'data');
  config.worker_threads = 8;
  config.database.demo_members = 120;
  const file = path.join(work, 'zurva-serve.json');
  fs.writeFileSync(file, JSON.stringify(config));
  return file;
}

function startServer() {
  return new Promise((resolve, reject) => {
    const server = spawn(binary, ['--config', writeConfig()], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let err = '';
    const timer = setTimeout(() => reject(new Error('zurva-serve did not start: ' + err)), 60000);
    server.stderr.on('data', (d) => { err += d; });
    server.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/http:\/\/127\.0\.0\.1:(\d+)\//);
      if (m) {
        clearTimeout(timer);
        resolve({ server, base: `http://127.0.0.1:${m[1]}` });
      }
    });
    server.on('exit', (code) => reject(new Error(`zurva-serve ended (${code}): ${err}`)));
  });
}

function sql(statement) {
  return execFileSync('sqlite3', [database, statement], { encoding: 'utf8' }).trim();
}

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function main() {
  const { server, base } = await startServer();
  const browser = await puppeteer.launch({
    executablePath: '/usr/bin/chromium',
    headless: true,
    userDataDir: path.join(work, 'profile'),
    args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync'],
  });
  let failures = 0;
  try {
    const page = await browser.newPage();
    page.setDefaultTimeout(15000);
    const errors = [];
    page.on('pageerror', (e) => errors.push(e.message));
    // Script errors only (a missing picture of the site is not one).
    page.on('console', (m) => {
      if (m.type() === 'error' && !/Failed to load resource/.test(m.text())) errors.push(m.text());
    });
    const dialogs = [];
    page.on('dialog', async (d) => { dialogs.push(d.message()); await d.accept(); });

    async function login(user, password) {
      await page.goto(base + '/login.asp');
      await page.type('input[name=username]', user);
      await page.type('input[name=password]', password);
      await Promise.all([page.waitForNavigation(), page.click('input[type=submit]')]);
      await page.waitForFunction(() => /indexw/.test(location.pathname), { timeout: 15000 });
    }
    async function openForm() {
      errors.length = 0;
      await page.goto(base + '/search.asp', { waitUntil: 'load' });
      await page.waitForSelector('form[name=form3]');
    }
    const text = (id) => page.$eval('#' + id, (e) => e.textContent);
    const resultFrame = () => page.frames().find((f) => f.name() === 'subiframe');

    const tests = [
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
        await page.click('input[name=Submit]');
        try {
          await page.waitForFunction(() => {
            const f = document.querySelector('iframe[name=subiframe]');
            const body = f && f.contentDocument && f.contentDocument.body;
            return body && /条相关信息/.test(body.innerText);
          });
        } catch (e) {
          throw new Error('no result list: ' + dialogs.join(',') + ' / ' +
            (await resultFrame().evaluate(() => location.href + ' ' + document.body.innerText.slice(0, 300))));
        }
        const frame = resultFrame();
        const rows = await frame.$$eval('a.Orange_NoUnderLine[target=_blank]', (a) => a.length);
        check(rows === 6, 'rows on the first page: ' + rows);
        const facts = await frame.evaluate(() => document.body.innerText);
        check(!/淑女，/.test(facts), 'a woman in a search for men');
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
    for (const [name, run] of tests) {
      try {
        await run();
        console.log('ok   ' + name);
      } catch (e) {
        failures++;
        console.log('FAIL ' + name + ': ' + e.message);
      }
    }
  } finally {
    await browser.close();
    server.kill('SIGTERM');
    fs.rmSync(work, { recursive: true, force: true });
  }
  process.exit(failures);
}

main().catch((e) => {
  console.log('FAIL ' + e.message);
  fs.rmSync(work, { recursive: true, force: true });
  process.exit(1);
});
