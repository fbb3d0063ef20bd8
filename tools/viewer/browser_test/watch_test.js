// Follows the page of scenario_inspect --watch --serve in headless Chromium
// while the train description is edited on disk, as an author would:
//   node watch_test.js BUILDER INSPECT OUTDIR LINE TRAIN STATION
// Zooms to STATION, moves it 500 m (saved as editors do, a new file renamed
// over the old), and checks that the page shows it moved without a reload,
// in the same window; saves a mistake and checks that the page lists it and
// still draws the last good build; fixes it; saves in a quick burst and
// checks that the folder and the page end with the last text; stops the
// watch with SIGINT. Prints the time from each save to the page drawing it.
// Exits 77 (a skip for ctest) when no browser or no puppeteer-core is there.
'use strict';

const childProcess = require('child_process');
const fs = require('fs');
const os = require('os');
const path = require('path');

const { CHROMIUM, puppeteer } = require('./browser');

const WAIT_MS = 10000;

const [builder, inspect, outDir, linePath, trainPath, stationName] = process.argv.slice(2);
const failures = [];
function check(condition, what) {
  console.log(`${condition ? 'ok  ' : 'FAIL'} ${what}`);
  if (!condition) failures.push(what);
}

const COMPILED = (dir) => fs.readdirSync(dir).filter((f) => /\.(dat|sim)$/.test(f)).sort();
const sleep = (ms) => new Promise((resolve) => setTimeout(resolve, ms));

// Saves as many editors do: the whole text into a new file, renamed over
// the old one.
function save(file, text) {
  const temporary = path.join(path.dirname(file), `.${path.basename(file)}.swp`);
  fs.writeFileSync(temporary, text, 'latin1');
  fs.renameSync(temporary, file);
}

// The train text with STATION's row at `position`; the row's line number
// and its position in the original text.
function stationRow(text) {
  const lines = text.split('\n');
  const index = lines.findIndex((l) => /^stazione\s*,/.test(l) && l.trimEnd().endsWith(stationName));
  if (index < 0) throw new Error(`no stazione row of ${stationName}`);
  const position = Number(/^stazione\s*,\s*(\d+)/.exec(lines[index])[1]);
  const withValue = (value) => {
    const copy = lines.slice();
    copy[index] = copy[index].replace(/^(stazione\s*,\s*)\d+/, `$1${value}`);
    return copy.join('\n');
  };
  return { line: index + 1, position, withValue };
}

function startWatch() {
  const child = childProcess.spawn(inspect, ['--watch', '--serve', '--dir', outDir, '--line', linePath,
    '--train', trainPath], { stdio: ['ignore', 'pipe', 'pipe'] });
  let stderr = '';
  child.stderr.on('data', (chunk) => { stderr += chunk; });
  const url = new Promise((resolve, reject) => {
    let stdout = '';
    child.stdout.on('data', (chunk) => {
      stdout += chunk;
      const match = /serving the page on (http:\/\/127\.0\.0\.1:\d+\/)/.exec(stdout);
      if (match) resolve(match[1]);
    });
    child.on('exit', (code) => reject(new Error(`the watch ended with status ${code}: ${stderr}`)));
  });
  const exited = new Promise((resolve) => child.on('exit', (code, signal) => resolve({ code, signal })));
  return { child, url, exited, stderr: () => stderr };
}

async function waitFor(page, what, fn, ...args) {
  return waitLonger(WAIT_MS, page, what, fn, ...args);
}

async function waitLonger(timeout, page, what, fn, ...args) {
  const started = Date.now();
  try {
    await page.waitForFunction(fn, { timeout, polling: 10 }, ...args);
  } catch (error) {
    check(false, `${what} (not within ${timeout} ms)`);
    return null;
  }
  return Date.now() - started;
}

const pageState = (page) => page.evaluate(() => ({
  from: window.scenarioPage.view.from,
  to: window.scenarioPage.view.to,
  generation: window.scenarioPage.generation,
  sameDocument: window.sameDocument === true,
  details: document.getElementById('details').innerText,
  problems: document.getElementById('live-problems').innerText,
  errors: document.querySelectorAll('#live-problems li.error').length,
}));

// The cell of the chosen station's stop marker, as the details show it.
const markerCell = (details) => Number((/, cell (\d+)/.exec(details) || [])[1]);

const markerDrawn = (cell) => !!document.querySelector(`#profile .obj[data-cell="${cell}"]`) &&
  /stop marker/.test(document.getElementById('details').innerText) &&
  new RegExp(`, cell ${cell}\\b`).test(document.getElementById('details').innerText);

async function chooseStation(page) {
  for (const row of await page.$$('#tables tr.goes')) {
    if ((await row.$eval('td:nth-child(2)', (c) => c.innerText)) === stationName) {
      await row.click();
      return true;
    }
  }
  return false;
}

async function main() {
  const original = fs.readFileSync(trainPath, 'latin1');
  const row = stationRow(original);
  const watch = startWatch();
  const url = await watch.url;
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), 'watch-test-'));
  const browser = await puppeteer.launch({
    executablePath: CHROMIUM,
    headless: true,
    args: ['--no-sandbox', '--disable-gpu', '--no-first-run', '--disable-background-networking',
      '--disable-component-update', '--disable-sync', `--user-data-dir=${profile}`],
  });
  const errors = [];
  try {
    const page = await browser.newPage();
    await page.setViewport({ width: 1400, height: 1000 });
    page.on('pageerror', (error) => errors.push(String(error)));
    page.on('request', (request) => {
      if (!request.url().startsWith(url) && !request.url().startsWith('data:')) {
        errors.push(`request elsewhere: ${request.url()}`);
      }
    });
    await page.goto(url, { waitUntil: 'load' });
    // The first build of the maximal scenario, on a busy machine, may take
    // a while; the edits below are held to WAIT_MS.
    await waitLonger(60000, page, 'the first build is drawn', () => window.scenarioPage &&
      window.scenarioPage.generation >= 1 && document.querySelectorAll('#tables tr').length > 0);
    check(await chooseStation(page), `a table row for ${stationName}`);
    await page.evaluate(() => { window.sameDocument = true; });
    const before = await pageState(page);
    const oldCell = markerCell(before.details);
    const newCell = oldCell + 10;
    check(oldCell > 0 && before.to - before.from <= 2000, `zoomed to ${stationName}, its marker in cell ${oldCell}`);

    // Moved 500 m on.
    const moved = row.withValue(row.position + 500);
    save(trainPath, moved);
    const movedMs = await waitFor(page, `the marker is drawn in cell ${newCell}`, markerDrawn, newCell);
    const after = await pageState(page);
    console.log(`save to drawn: ${movedMs} ms (${stationName} moved 500 m)`);
    check(after.sameDocument, 'the page updated itself, without a reload');
    check(after.from === before.from && after.to === before.to,
      `the window stays ${before.from}-${before.to} m (now ${after.from}-${after.to} m)`);
    check(after.errors === 0, 'no error listed');
    const good = Object.fromEntries(COMPILED(outDir).map((f) => [f, fs.readFileSync(path.join(outDir, f))]));

    // A mistake: the station's position is no number.
    save(trainPath, row.withValue(`${row.position + 500}x`));
    const listedMs = await waitFor(page, 'the mistake is listed at its line',
      (line) => document.getElementById('live-problems').innerText.includes(`:${line}:`), row.line);
    console.log(`save to listed: ${listedMs} ms (a mistake at line ${row.line})`);
    const broken = await pageState(page);
    const listed = broken.problems.split('\n').find((l) => l.includes(`:${row.line}:`)) || '';
    check(new RegExp(`${path.basename(trainPath).replace(/\./g, '\\.')}:${row.line}:\\d+: error: .*not a number`)
      .test(listed), `the problem names file, line, column and what: ${listed}`);
    check(await page.evaluate(markerDrawn, newCell), 'the last good build stays drawn');
    check(broken.sameDocument && broken.from === before.from && broken.to === before.to,
      'same page, same window');
    check(COMPILED(outDir).every((f) => good[f] && good[f].equals(fs.readFileSync(path.join(outDir, f)))),
      'the folder keeps the last good build');

    // Fixed again.
    save(trainPath, moved);
    await waitFor(page, 'the fixed save clears the error',
      () => document.querySelectorAll('#live-problems li.error').length === 0 &&
        /^Built/.test(document.getElementById('live-status').innerText));

    // A quick burst of saves: the folder and the page settle on the last
    // (still inside the window).
    const finalPosition = row.position + 700;
    for (const offset of [100, 200, 300, 400, 600]) {
      save(trainPath, row.withValue(row.position + offset));
      await sleep(15);
    }
    save(trainPath, row.withValue(finalPosition));
    const settledMs = await waitFor(page, `after a burst of saves the marker is drawn in cell ${oldCell + 14}`,
      markerDrawn, oldCell + 14);
    console.log(`burst of saves to the last drawn: ${settledMs} ms`);
    await sleep(500);
    const reference = fs.mkdtempSync(path.join(os.tmpdir(), 'watch-reference-'));
    childProcess.execFileSync(builder, ['--dir', reference, '--line', linePath, '--train', trainPath],
      { stdio: 'ignore' });
    const same = COMPILED(reference).every((f) =>
      fs.readFileSync(path.join(reference, f)).equals(fs.readFileSync(path.join(outDir, f))));
    check(same && COMPILED(outDir).length === 3, 'the folder holds the build of the last save, byte for byte');
    fs.rmSync(reference, { recursive: true, force: true });
    check(errors.length === 0, `no script error${errors.length ? ': ' + errors.join('; ') : ''}`);

    // Ctrl-C: a clean stop, nothing left but the build.
    watch.child.kill('SIGINT');
    const ended = await Promise.race([watch.exited, sleep(5000).then(() => null)]);
    check(ended !== null && ended.code === 0, `SIGINT stops the watch with status 0 (${JSON.stringify(ended)})`);
    check(/stopped watching/.test(watch.stderr()), 'it says it stopped');
    check(fs.readdirSync(outDir).sort().join(' ') === COMPILED(outDir).join(' '),
      `the folder holds the compiled files alone: ${fs.readdirSync(outDir).join(' ')}`);
    check(fs.readFileSync(trainPath, 'latin1') === row.withValue(finalPosition), "the author's file is as saved");
  } finally {
    if (errors.length) console.log(`script errors: ${errors.join('; ')}`);
    watch.child.kill('SIGKILL');
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
