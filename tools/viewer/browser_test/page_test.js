// Opens a page of scenario_inspect --html from disk in headless Chromium and
// checks what a user sees there.
//   node page_test.js PAGE.html [built-in]
// "built-in" adds the checks that name the built-in scenario's stations and
// slowdown. Exits 77 (a skip for ctest) when no browser or no puppeteer-core
// is there to drive it.
'use strict';

const fs = require('fs');
const os = require('os');
const path = require('path');

const SKIP = 77;
const CHROMIUM = process.env.CHROMIUM || '/usr/bin/chromium';

function skip(why) {
  console.log(`SKIPPED: ${why}`);
  process.exit(SKIP);
}

let puppeteer;
try {
  puppeteer = require('puppeteer-core');
} catch (error) {
  skip('puppeteer-core is not installed (npm install in tools/viewer/browser_test)');
}
if (!fs.existsSync(CHROMIUM)) skip(`no browser at ${CHROMIUM} (apt-get install chromium)`);

const [pagePath, variant] = process.argv.slice(2);
const builtIn = variant === 'built-in';
const failures = [];
function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures.push(what);
}

const detailsText = (page) => page.$eval('#details', (d) => d.innerText);
const windowWidth = (page) => page.evaluate(() => window.scenarioPage.view.to - window.scenarioPage.view.from);

async function openPage(browser) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1400, height: 1000 });
  const errors = [];
  page.on('pageerror', (error) => errors.push(String(error)));
  page.on('console', (message) => { if (message.type() === 'error') errors.push(message.text()); });
  page.on('request', (request) => {
    if (!request.url().startsWith('file:') && !request.url().startsWith('data:')) {
      errors.push(`network request: ${request.url()}`);
    }
  });
  const started = Date.now();
  await page.goto('file://' + path.resolve(pagePath), { waitUntil: 'load' });
  await page.waitForFunction(() => document.querySelector('#plan polyline') &&
    document.querySelectorAll('#tables tr').length > 0);
  console.log(`page open: ${Date.now() - started} ms (${fs.statSync(pagePath).size} bytes)`);
  return { page, errors };
}

// Every station of the table is on the page, by its name.
async function checkStations(page, expected) {
  const names = await page.$$eval('#tables table:first-of-type tbody tr td:nth-child(2)',
    (cells) => cells.map((c) => c.innerText));
  const text = await page.$eval('body', (b) => b.innerText);
  check(expected === undefined || names.length === expected,
    `${names.length} station names in the table${expected ? `, ${expected} expected` : ''}`);
  check(names.length > 0 && names.every((n) => text.includes(n)), 'every station name is shown');
  return names;
}

async function checkStationRow(page, name) {
  const rows = await page.$$('#tables tr.goes');
  let row = null;
  for (const r of rows) {
    if ((await r.$eval('td:nth-child(2)', (c) => c.innerText)) === name) row = r;
  }
  check(row !== null, `a table row for ${name}`);
  if (!row) return;
  await row.click();
  const details = await detailsText(page);
  check(/stop marker/.test(details) && details.includes(name),
    `choosing ${name} shows its stop marker with the station's name`);
  const cell = Number((/Cell (\d+)/.exec(details) || [])[1]);
  check(await windowWidth(page) <= 2000, 'the views zoom to the station');
  const shown = await page.$$eval(`#profile [data-cell="${cell}"]`, (nodes) => nodes.map((n) => n.getAttribute('class')));
  check(shown.some((c) => /selected/.test(c || '')) && shown.some((c) => /obj/.test(c || '')),
    `the profile shows cell ${cell} as a cell of its own, with its marker`);
}

async function checkSearch(page, query, expect, what) {
  await page.$eval('#search', (input) => { input.value = ''; });
  await page.type('#search', query);
  await page.keyboard.press('Enter');
  check(expect.test(await detailsText(page)), what);
}

// Tab from the top reaches the buttons, the search box and the views, and
// the keys work on a focused view.
async function checkKeyboard(page) {
  await page.evaluate(() => document.activeElement && document.activeElement.blur());
  await page.click('#title');
  await page.evaluate(() => window.scenarioPage.goTo(0, 1e9));
  const reached = new Set();
  for (let i = 0; i < 14; ++i) {
    await page.keyboard.press('Tab');
    reached.add(await page.evaluate(() => document.activeElement.id));
  }
  for (const id of ['zoom-whole', 'zoom-in', 'zoom-out', 'search', 'plan', 'profile']) {
    check(reached.has(id), `Tab reaches #${id}`);
  }
  await page.$eval('#profile', (view) => view.focus());
  const before = await windowWidth(page);
  await page.keyboard.press('+');
  check(await windowWidth(page) < before, '"+" on a focused view zooms in');
  await page.focus('#zoom-whole');
  await page.keyboard.press('Enter');
  check(await windowWidth(page) === before, 'Enter on "Whole line" shows the whole line again');
}

async function main() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'page-test-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--disable-quic', '--no-first-run',
      '--disable-background-networking', '--disable-component-update', '--disable-sync',
      `--user-data-dir=${profile}`],
  });
  try {
    const { page, errors } = await openPage(browser);
    await checkStations(page, builtIn ? 19 : undefined);
    if (builtIn) {
      await checkStationRow(page, 'PRATO');
      await checkSearch(page, 'km 29', /slowdown start board[\s\S]*inside the slowdown/,
        'searching "km 29" lands on the slowdown');
      await checkSearch(page, 'APPENNINO', /indication board[\s\S]*APPENNINO/,
        'searching a board text lands on its board');
    }
    // Down to single cells anywhere on the line.
    await page.evaluate(() => window.scenarioPage.goTo(window.scenarioPage.view.to / 3, 100));
    check(await page.$$eval('#profile rect.cellbox', (r) => r.length) > 0, 'the deepest zoom shows single cells');
    await checkKeyboard(page);
    check(errors.length === 0, `no script error${errors.length ? ': ' + errors.join('; ') : ''}`);
  } finally {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  }
  if (failures.length) {
    console.log(`${failures.length} check(s) failed`);
    process.exit(1);
  }
}

main().catch((error) => {
  console.log(`FAIL ${error.stack || error}`);
  process.exit(1);
});
