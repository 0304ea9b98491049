// What the browser tests share: zurva-serve on a free port with a fresh demo
// database, the system Chromium driven by puppeteer-core, pages that record
// their script errors and dialogs, and the run of a list of named steps.
//
//   const harness = require('./harness');
//   harness.run(process.argv.slice(2), { demoMembers: 120 }, async (site) => [
//     ['step name', async () => { ... site.check(condition, 'message'); }],
//   ]);
//
// Each step prints "ok" or "FAIL" with the reason; the exit code is the
// number of failures.
'use strict';

const { spawn, execFileSync } = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');
const puppeteer = require('puppeteer-core');

// The demo configuration, on a free port, with its own data folder; the SMS
// gateway points at a port where nothing answers, or with
// `options.siteSmsGateway` is the site's own (none configured).
function writeConfig(work, source, options) {
  const config = JSON.parse(fs.readFileSync(path.join(source, 'config', 'zurva-serve.json'), 'utf8'));
  config.port = 0;
  // A document root of its own: the site's files without the picture folders
  // that servers write and the photo pages delete.
  config.document_root = path.join(work, 'www');
  fs.cpSync(path.join(source, 'site', 'www'), config.document_root, {
    recursive: true,
    verbatimSymlinks: true,
    filter: (file) => !/[\\/](up_article|mup_article|smallphoto)$/.test(file),
  });
  config.data_folder = path.join(work, 'data');
  config.worker_threads = 8;
  config.database.demo_members = options.demoMembers;
  if (options.siteSmsGateway) {
    delete config.application.zurva_sms_gateway;
  } else {
    config.application.zurva_sms_gateway = ['http://127.0.0.1:9/sms?mobile={mobile}&text={message}'];
  }
  const file = path.join(work, 'zurva-serve.json');
  fs.writeFileSync(file, JSON.stringify(config));
  return file;
}

function startServer(binary, config) {
  return new Promise((resolve, reject) => {
    const server = spawn(binary, ['--config', config], { stdio: ['ignore', 'pipe', 'pipe'] });
    let out = '';
    let err = '';
    const timer = setTimeout(() => reject(new Error('zurva-serve did not start: ' + err)), 60000);
    server.stderr.on('data', (d) => { err += d; });
    server.stdout.on('data', (d) => {
      out += d;
      const m = out.match(/http:\/\/127\.0\.0\.1:(\d+)\//);
      if (m) {
        clearTimeout(timer);
        resolve({ server, base: `http://127.0.0.1:${m[1]}`, log: () => err });
      }
    });
    server.on('exit', (code) => reject(new Error(`zurva-serve ended (${code}): ${err}`)));
  });
}

function check(condition, message) {
  if (!condition) throw new Error(message);
}

async function run(args, options, makeSteps) {
  const [binary, source] = args;
  const work = fs.mkdtempSync(path.join(os.tmpdir(), 'zurva-browser-'));
  const database = path.join(work, 'data', 'zurva.db');
  let failures = 0;
  let started = null;
  let server = null;
  let browser = null;
  try {
    started = await startServer(binary, writeConfig(work, source, options));
    server = started.server;
    browser = await puppeteer.launch({
      executablePath: '/usr/bin/chromium',
      headless: true,
      userDataDir: path.join(work, 'profile'),
      args: ['--headless', '--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
        '--disable-background-networking', '--disable-component-update', '--disable-sync'],
    });

    // Script errors and failed loads of every page and pop-up, and the
    // texts of the dialogs (each accepted).
    const errors = [];
    const dialogs = [];
    function watch(page) {
      page.setDefaultTimeout(15000);
      page.on('pageerror', (e) => errors.push(page.url() + ': ' + e.message));
      page.on('console', (m) => { if (m.type() === 'error') errors.push(page.url() + ': ' + m.text()); });
      page.on('requestfailed', (r) => {
        if (!/ERR_ABORTED/.test(r.failure() ? r.failure().errorText : '')) errors.push('failed to load ' + r.url());
      });
      page.on('dialog', async (d) => { dialogs.push(d.message()); await d.accept(); });
      return page;
    }
    const page = watch(await browser.newPage());

    const site = {
      base: started.base,
      browser,
      page,
      errors,
      dialogs,
      check,
      // The sqlite3 shell with the project's extension (beside the server in
      // the build folder): the member table's derived columns call its functions.
      sql: (statement) =>
          execFileSync(
              'sqlite3',
              [
                '-cmd',
                `.load '${
                    path.join(
                        path.dirname(binary), 'libzurva_sqlite.so')}' sqlite3_zurvasqlite_init`,
                database, statement
              ],
              {encoding: 'utf8'})
              .trim(),
      // The text of the page (or frame).
      text: (frame = page) => frame.evaluate(() => document.body.innerText),
      // Fails when a script error or a failed load happened since the last call.
      noScriptErrors() {
        const seen = errors.splice(0);
        check(seen.length === 0, 'script errors: ' + seen.join(' | '));
      },
      // Waits for a dialog whose text matches `pattern`.
      async dialog(pattern) {
        for (let i = 0; i < 75 && !dialogs.some((d) => pattern.test(d)); i++)
          await new Promise((r) => setTimeout(r, 200));
        check(dialogs.some((d) => pattern.test(d)), 'no dialog ' + pattern + ': ' + dialogs.join(' | '));
      },
      // Runs `action` (a click that opens a window) and returns the window's
      // page once it has loaded.
      async popup(action) {
        const opened = new Promise((resolve) => browser.once('targetcreated', (t) => resolve(t.page())));
        await action();
        const popupPage = watch(await opened);
        await popupPage.waitForFunction(() => document.readyState === 'complete');
        return popupPage;
      },
      // Presses the advanced search's button and returns the frame of its
      // results once it shows them.
      async search() {
        await page.click('input[name=Submit]');
        const frame = page.frames().find((f) => f.name() === 'subiframe');
        try {
          await page.waitForFunction(() => {
            const f = document.querySelector('iframe[name=subiframe]');
            const body = f && f.contentDocument && f.contentDocument.body;
            return body && /条相关信息/.test(body.innerText);
          });
        } catch (e) {
          throw new Error('no result list: ' + dialogs.join(' | ') + ' / ' +
            (await frame.evaluate(() => location.href + ' ' + document.body.innerText.slice(0, 300))));
        }
        return frame;
      },
      // Logs in through the member bar's login form.
      async logIn(user, password) {
        await page.goto(started.base + '/login.asp');
        await page.type('input[name=username]', user);
        await page.type('input[name=password]', password);
        await Promise.all([page.waitForNavigation(), page.click('input[type=submit]')]);
        await page.waitForFunction(() => /indexw/.test(location.pathname));
      },
    };

    for (const [name, step] of await makeSteps(site)) {
      try {
        await step();
        console.log('ok   ' + name);
      } catch (e) {
        failures++;
        console.log('FAIL ' + name + ': ' + e.message);
      }
    }
  } catch (e) {
    failures++;
    console.log('FAIL ' + e.message);
  } finally {
    // What the server said, when a step failed: its errors explain most failures.
    if (failures && started) console.log('server log (last part):\n' + started.log().slice(-6000));
    if (browser) await browser.close();
    if (server) server.kill('SIGTERM');
    fs.rmSync(work, { recursive: true, force: true });
  }
  process.exit(failures);
}

module.exports = { run, check };
