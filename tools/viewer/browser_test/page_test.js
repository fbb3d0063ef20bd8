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

const { CHROMIUM, puppeteer } = require('./browser');

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
  const names = await page.$$eval('#tables section:first-of-type tbody tr td:nth-child(2)',
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
  const cell = Number((/cell (\d+)/.exec(details) || [])[1]);
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

// Every kind of thing the page's own data makes the views draw has its
// entry in the legend.
async function checkLegend(page) {
  const { needed, listed } = await page.evaluate(() => {
    const data = JSON.parse(document.getElementById('scenario-data').textContent);
    const need = new Set();
    for (const o of data.cells.sections.objects) need.add(o.kind === 'empty' ? 'approach_mark' : o.kind);
    for (const r of data.cells.sections.profile_runs) if (r.montagna_type) need.add(`montagna_type_${r.montagna_type}`);
    for (const s of data.stations.sections.stations) {
      need.add(s.stop === 'yes' ? 'station_stop' : 'station_passed');
      need.add('platform');
    }
    if (data.rows.curva.length) need.add('curve');
    if (data.rows.rallentamento.length) need.add('slowdown');
    need.delete('montagna_type_0');
    return { needed: [...need], listed: [...document.querySelectorAll('#legend [data-legend]')].map((e) => e.dataset.legend) };
  });
  const missing = needed.filter((k) => !listed.includes(k));
  check(needed.length > 5 && missing.length === 0,
    `the legend explains all ${needed.length} kinds drawn${missing.length ? '; missing: ' + missing.join(', ') : ''}`);
}

// The tables of the rows an author writes: each has a row per row of the
// page's data, and choosing one zooms there and shows it; the keys of the
// views work right after.
async function checkKindTables(page, expected) {
  const tables = { Signals: 'segnale', Slowdowns: 'rallentamento', 'Speed boards': 'indicatori_vmax',
    Curves: 'curva', 'Montagna spans': 'montagna' };
  for (const [title, key] of Object.entries(tables)) {
    const { rows, shown } = await page.evaluate((t, k) => {
      const data = JSON.parse(document.getElementById('scenario-data').textContent);
      const section = [...document.querySelectorAll('#tables section')]
        .find((s) => s.querySelector('h2').textContent.startsWith(t + ' ('));
      return { rows: data.rows[k].length, shown: section ? section.querySelectorAll('tbody tr').length : -1 };
    }, title, key);
    check(shown === Math.min(rows, 100) && (expected[key] === undefined || rows === expected[key]),
      `the ${title} table has its ${rows} rows${expected[key] !== undefined ? `, ${expected[key]} expected` : ''}`);
    if (!rows) continue;
    await page.click('#zoom-whole');
    const whole = await windowWidth(page);
    const row = await page.evaluateHandle((t) => [...document.querySelectorAll('#tables section')]
      .find((s) => s.querySelector('h2').textContent.startsWith(t + ' (')).querySelectorAll('tbody tr')[0], title);
    const rowText = await row.evaluate((r) => r.lastElementChild.textContent);
    await row.click();
    const at = Number(rowText.split(',')[1]);
    const details = await detailsText(page);
    const view = await page.evaluate(() => ({ ...window.scenarioPage.view }));
    check(view.to - view.from < whole && view.from <= at && at <= view.to &&
      details.startsWith(`${Math.floor(at / 50) * 50} m`),
    `choosing the first ${title} row (${rowText.trim()}) zooms there and shows it`);
    const before = view.to - view.from;
    await page.keyboard.press('-');
    const wider = await windowWidth(page);
    await page.keyboard.press('+');
    await page.keyboard.press('+');
    const narrower = await windowWidth(page);
    await page.keyboard.press('0');
    check(wider > before && narrower < wider && await windowWidth(page) === whole,
      `after choosing a ${title} row, "-", "+" and "0" still work`);
  }
}

// Every label on its box stays inside its view, its text inside the box,
// clear of the other labels and of the axis titles: at the whole line and
// zoomed to each station (a dozen of a long line's) at two widths.
async function checkLabels(page) {
  const problems = await page.evaluate(() => {
    const api = window.scenarioPage;
    const data = JSON.parse(document.getElementById('scenario-data').textContent);
    const found = [];
    const rect = (b) => ({ left: b.x, right: b.x + b.width, top: b.y, bottom: b.y + b.height });
    const meet = (a, b) => a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
    const look = (where) => {
      for (const id of ['plan', 'profile']) {
        const svg = document.getElementById(id);
        const vb = svg.viewBox.baseVal;
        const boxes = [...svg.querySelectorAll('rect.label-box')].map((r) => {
          const box = rect(r.getBBox());
          const text = rect(r.nextElementSibling.getBBox());
          return { box, text, name: r.nextElementSibling.textContent };
        });
        const titles = [...svg.querySelectorAll('.axis-title')].map((t) => ({ box: rect(t.getBBox()), name: t.textContent }));
        for (const { box, text, name } of boxes) {
          if (box.left < 0 || box.top < 0 || box.right > vb.width || box.bottom > vb.height) {
            found.push(`${where}, ${id}: "${name}" crosses the edge`);
          }
          if (text.left < box.left - 0.5 || text.right > box.right + 0.5) found.push(`${where}, ${id}: "${name}" runs out of its box`);
        }
        for (let i = 0; i < boxes.length; ++i) {
          for (let j = i + 1; j < boxes.length; ++j) {
            if (meet(boxes[i].box, boxes[j].box)) found.push(`${where}, ${id}: "${boxes[i].name}" over "${boxes[j].name}"`);
          }
          for (const t of titles) {
            if (meet(boxes[i].box, t.box)) found.push(`${where}, ${id}: "${boxes[i].name}" over "${t.name}"`);
          }
        }
      }
    };
    api.goTo(0, 1e12);
    look('whole line');
    // Every station of a short line; a dozen spread over a long one.
    const all = data.stations.sections.stations;
    const every = Math.max(1, Math.ceil(all.length / 12));
    for (const s of all.filter((_, i) => i % every === 0)) {
      for (const width of [1500, 12000]) {
        api.goTo(s.position_m, width);
        look(`${s.name} in ${width} m`);
      }
    }
    return found;
  });
  check(problems.length === 0, `no label crosses its view's edge, leaves its box or covers another label or an axis title` +
    (problems.length ? `: ${problems.length} cases, ${problems.slice(0, 5).join('; ')}` : ''));
}

async function searchFor(page, query) {
  await page.$eval('#search', (input) => { input.value = ''; });
  await page.type('#search', query);
  await page.keyboard.press('Enter');
  return page.$eval('#search-result', (o) => o.textContent);
}

// What the search says, and that it goes away with the next move.
async function checkSearchAnswers(page) {
  const length = await page.evaluate(() => JSON.parse(document.getElementById('scenario-data').textContent).line_length_m);
  const beyond = await searchFor(page, `km ${Math.ceil(length / 1000) + 2}`);
  check(/beyond the line's end/.test(beyond), `a position past the line's end says so: "${beyond}"`);
  const nothing = await searchFor(page, 'no such thing here');
  check(/nothing found/.test(nothing), 'a search that finds nothing says so');
  await page.click('#zoom-in');
  check(await page.$eval('#search-result', (o) => o.textContent) === '', '"nothing found" goes with the next move');
}

// The built-in scenario's rows by kind and position, its board texts with
// their blanks, and its passed stations without a time.
async function checkBuiltInRows(page) {
  const said = await searchFor(page, 'signal 15150');
  const details = await detailsText(page);
  check(/^signal at 15150 m/.test(said) && /^15150 m[\s\S]*signal[\s\S]*segnale,\s+15150/.test(details),
    'searching "signal 15150" shows the signal and its row');
  const curve = await searchFor(page, 'curvad5');
  check(/^curve at 16850 m/.test(curve) && /right, class 5/.test(await detailsText(page)), 'searching a curve key finds the curve');
  const boards = await page.$$eval('#tables section', (sections) => {
    const s = sections.find((x) => x.querySelector('h2').textContent.startsWith('Indication board texts'));
    return [...s.querySelectorAll('tbody td:nth-child(2)')].map((td) => td.innerText);
  });
  check(boards.includes('(VIADOTTO)(SETTA   )'), `board texts keep their blanks: ${JSON.stringify(boards)}`);
  const times = await page.$$eval('#tables section:first-of-type tbody tr', (rows) => rows
    .filter((r) => r.children[3].textContent !== 'yes').map((r) => r.children[6].textContent));
  check(times.length > 0 && times.every((t) => t === 'none'), `passed stations show no time: ${times.join(', ')}`);
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
      await checkBuiltInRows(page);
    }
    await checkLegend(page);
    await checkKindTables(page, builtIn ? { segnale: 44, rallentamento: 1, indicatori_vmax: 23, montagna: 28 } : {});
    await checkSearchAnswers(page);
    await checkLabels(page);
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
